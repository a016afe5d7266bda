// The graphics importer: opening an image by file, bytes or URL, its
// geometry, drawing it into a world through a matrix, several images of one
// file (multi-page TIFF), and what it knows about the image (description,
// metadata, colour profile). The basic calls (GraphicsImportSetDataHandle,
// GraphicsImportGetAsPicture, GetGraphicsImporterForDataRef) are in
// imaging.h; this header adds the rest.
//
// Rectangles are in the image's pixels. The natural bounds are (0, 0,
// height, width); the source rectangle (the part drawn) starts as the
// natural bounds and the matrix as identity; the bounds and destination
// rectangles are the source rectangle through the matrix, and setting either
// sets the matrix to map the source rectangle onto it.
#pragma once

#include "imaging/imaging.h"
#include "imaging/matrix.h"

namespace imaging {

constexpr OSType URLDataHandlerSubType = FourCC("url ");

// Flag of GetGraphicsImporterForFileWithFlags: choose by the file name's
// extension before looking at the content.
enum { kDontUseValidateToFindGraphicsImporter = 1 };

// Reads the file and opens an importer for its content (or, failing that,
// its extension); the importer keeps the bytes and the file as its data file.
OSErr GetGraphicsImporterForFile(const FSSpec *file, ComponentInstance *out);
OSErr GetGraphicsImporterForFileWithFlags(const FSSpec *file, ComponentInstance *out, int32_t flags);

// URL data references ('url ' to GetGraphicsImporterForDataRef): the handle
// holds the URL text. "file:" URLs are read from disk; other schemes go to
// the fetcher the host installs (none: cantFindHandler).
using URLFetcher = OSErr (*)(const char *url, Handle *bytesOut);
void SetURLFetcher(URLFetcher fetcher);

// Windows as drawing ports: the host says which world stands for a window
// (0 when none), and is told after something was drawn into a world.
using WindowPortProvider = GWorldRef (*)(void *window);
using PortDrawnHook = void (*)(GWorldRef world);
void SetWindowPortProvider(WindowPortProvider provider);
void SetPortDrawnHook(PortDrawnHook hook);
GWorldRef GetWindowPort(void *window);

// The file name extension (e.g. 'tif ') an importer component reads.
OSErr GetComponentFileNameExtension(Component c, OSType *ext);

struct RGBColor {
    uint16_t red, green, blue;
};
// Graphics modes the importer draws with.
enum : int32_t {
    srcCopy = 0,
    blend = 32,
    transparent = 36,
    ditherCopy = 64,
    graphicsModeStraightAlpha = 256,
};

ComponentResult GraphicsImportGetNaturalBounds(ComponentInstance ci, Rect *r);
ComponentResult GraphicsImportGetBoundsRect(ComponentInstance ci, Rect *r);
ComponentResult GraphicsImportSetBoundsRect(ComponentInstance ci, const Rect *r);
ComponentResult GraphicsImportGetSourceRect(ComponentInstance ci, Rect *r);
ComponentResult GraphicsImportSetSourceRect(ComponentInstance ci, const Rect *r);
ComponentResult GraphicsImportGetDestRect(ComponentInstance ci, Rect *r);
ComponentResult GraphicsImportSetDestRect(ComponentInstance ci, const Rect *r);
ComponentResult GraphicsImportGetDefaultSourceRect(ComponentInstance ci, Rect *r);
ComponentResult GraphicsImportGetMatrix(ComponentInstance ci, MatrixRecord *m);
ComponentResult GraphicsImportSetMatrix(ComponentInstance ci, const MatrixRecord *m);
ComponentResult GraphicsImportGetDefaultMatrix(ComponentInstance ci, MatrixRecord *m);

// Drawing: into the world set with SetGWorld (0: the current port).
ComponentResult GraphicsImportSetGWorld(ComponentInstance ci, GWorldRef port);
ComponentResult GraphicsImportGetGWorld(ComponentInstance ci, GWorldRef *port);
ComponentResult GraphicsImportDraw(ComponentInstance ci);
ComponentResult GraphicsImportSetProgressProc(ComponentInstance ci, const ICMProgressProcRecord *proc);

// Images of the data: count, and the current one (from 1).
ComponentResult GraphicsImportGetImageCount(ComponentInstance ci, uint32_t *count);
ComponentResult GraphicsImportGetImageIndex(ComponentInstance ci, uint32_t *index);
ComponentResult GraphicsImportSetImageIndex(ComponentInstance ci, uint32_t index);

ComponentResult GraphicsImportGetQuality(ComponentInstance ci, CodecQ *q);
ComponentResult GraphicsImportSetQuality(ComponentInstance ci, CodecQ q);
ComponentResult GraphicsImportGetFlags(ComponentInstance ci, int32_t *flags);
ComponentResult GraphicsImportSetFlags(ComponentInstance ci, int32_t flags);
ComponentResult GraphicsImportGetGraphicsMode(ComponentInstance ci, int32_t *mode, RGBColor *opColor);
// opColor 0 keeps the colour.
ComponentResult GraphicsImportSetGraphicsMode(ComponentInstance ci, int32_t mode, const RGBColor *opColor);

// A new handle holding an ImageDescription (86 bytes) followed by its
// extensions (32-bit big-endian size, type, payload; 'cpsc' for the colour
// space when the image carries a profile), and the codec name.
ComponentResult GraphicsImportGetImageDescription(ComponentInstance ci, ImageDescriptionHandle *desc);
ComponentResult GraphicsImportGetDataFile(ComponentInstance ci, FSSpec *file);
ComponentResult GraphicsImportSetDataFile(ComponentInstance ci, const FSSpec *file);
// Adds the image's text items to ud.
ComponentResult GraphicsImportGetMetaData(ComponentInstance ci, UserData ud);
// A new handle with the ICC profile, or 0 when the image has none.
ComponentResult GraphicsImportGetColorSyncProfile(ComponentInstance ci, Handle *profile);
ComponentResult GraphicsImportValidate(ComponentInstance ci, bool *valid);
// The current image as a picture file (our picture format) or as a TIFF.
ComponentResult GraphicsImportSaveAsPicture(ComponentInstance ci, const FSSpec *file, int16_t scriptTag);
ComponentResult GraphicsImportSaveAsQuickTimeImageFile(ComponentInstance ci, const FSSpec *file, int16_t scriptTag);

}  // namespace imaging
