// Image services: the small platform layer under pictures and the graphics
// plug-in. Memory handles, offscreen worlds, picture handles, user data,
// image compression and the graphics exporter and importer components.
//
// The functions are plain C-style calls named after what their callers ask
// for (NewHandle, NewGWorld, GraphicsExportDoExport, ...). Components and
// offscreen worlds are referred to by 32-bit reference numbers, so they fit
// the 32-bit integer fields and properties that carry them; a stale or
// unknown number is refused with a status, never followed.
//
// Nothing here prints or exits: every library error becomes a status.
// Single-threaded by contract except where noted (the host runs plug-ins on
// its main thread or inside cooperative threads that hold one baton).
#pragma once

#include <cstddef>
#include <cstdint>

namespace imaging {

using OSErr = int16_t;
using OSStatus = int32_t;
using ComponentResult = int32_t;
using OSType = uint32_t;
using Fixed = int32_t;    // 16.16
using CodecQ = uint32_t;  // 0 .. codecLosslessQuality

// Four-character code, first character in the high byte.
constexpr OSType FourCC(const char (&s)[5]) {
    return (OSType(uint8_t(s[0])) << 24) | (OSType(uint8_t(s[1])) << 16) | (OSType(uint8_t(s[2])) << 8) |
           OSType(uint8_t(s[3]));
}

// ---- status codes -------------------------------------------------------------
enum : int32_t {
    noErr = 0,
    unimpErr = -4,
    ioErr = -36,
    fnfErr = -43,
    fBsyErr = -47,  // the component is busy (an export is running)
    paramErr = -50,
    memFullErr = -108,
    nilHandleErr = -109,
    userCanceledErr = -128,
    cantFindHandler = -2003,
    invalidComponentID = -3000,
    codecErr = -8960,
    codecSpoolErr = -8966,
    noCodecErr = -8961,
    couldntGetRequiredComponent = -9405,
    badComponentInstance = int32_t(0x80008001),
    badComponentSelector = int32_t(0x80008002),
};

// ---- handles --------------------------------------------------------------------
// A resizable block of memory. Picture handles, user-data flattening,
// profiles and export output all travel in handles.
struct HandleRec;
using Handle = HandleRec *;

Handle NewHandle(size_t size);               // zero-filled; 0 when it cannot be made
Handle NewEmptyHandle();                     // size 0
void DisposeHandle(Handle h);                // 0 is fine
size_t GetHandleSize(Handle h);              // 0 for 0
OSErr SetHandleSize(Handle h, size_t size);  // new bytes zero-filled
uint8_t *HandleData(Handle h);               // the bytes (0 for 0 or an empty handle)
void HLock(Handle h);                        // a locked handle cannot be resized
void HUnlock(Handle h);
OSErr PtrToHand(const void *src, Handle *out, size_t size);
OSErr PtrAndHand(const void *src, Handle h, size_t size);  // append

// Largest block the layer hands out (guards sizes taken from untrusted data).
constexpr size_t kMaxBlockSize = size_t(1) << 30;

// ---- geometry, worlds -----------------------------------------------------------
struct Rect {
    int32_t top, left, bottom, right;
};
inline int32_t RectWidth(const Rect &r) { return r.right - r.left; }
inline int32_t RectHeight(const Rect &r) { return r.bottom - r.top; }

// Offscreen world: pixels are stored 4 bytes per pixel in the order A, R, G,
// B (a 32-bit ARGB world); `depth` is what the world claims to hold: 32
// (alpha meaningful), 24 (colour, alpha ignored), 8 or 40 (grey).
//
// A world made over packed rows (NewGWorldFromPtr) stores 3 bytes per pixel,
// R, G, B, and claims depth 24. Its pixels are the caller's: it is read
// (exported, compressed, copied and drawn from) but never drawn into, and
// calls that would draw into it answer paramErr.
using GWorldRef = uint32_t;  // 0 = none
enum { useTempMem = 4 };
constexpr int32_t kMaxImageSide = 32768;
// Pixel formats as worlds store them.
constexpr OSType k24RGBPixelFormat = 24;   // R G B, 3 bytes a pixel
constexpr OSType k32ARGBPixelFormat = 32;  // A R G B, 4 bytes a pixel

OSErr NewGWorld(GWorldRef *out, int16_t depth, const Rect *bounds, uint32_t flags);
// A 24-bit world over `buffer`, rows of the bounds' width `rowBytes` apart,
// in k24RGBPixelFormat (the only format taken; paramErr for another, a bad
// size or rows shorter than 3 bytes a pixel). Nothing is copied: the buffer
// must outlive the world and stay unchanged while the world is read.
OSErr NewGWorldFromPtr(GWorldRef *out, OSType pixelFormat, const Rect *bounds, const uint8_t *buffer, int32_t rowBytes);
void DisposeGWorld(GWorldRef world);
bool GWorldExists(GWorldRef world);

struct PixMapInfo {
    uint8_t *baseAddr;  // first row
    int32_t rowBytes;
    Rect bounds;
    int16_t depth;
    int16_t pixelSize;  // bits a pixel takes in memory: 32 (A R G B) or 24 (R G B)
};
bool GetGWorldPixMap(GWorldRef world, PixMapInfo *out);

// Converts one row of `width` pixels between the formats worlds store:
// ARGB to RGB drops the alpha byte, RGB to ARGB makes each pixel opaque
// (alpha 0xFF), the same format is copied. The rows must not overlap.
void ConvertPixelRow(const uint8_t *src, OSType srcFormat, uint8_t *dst, OSType dstFormat, int32_t width);

// The current drawing port (saved and restored around callbacks).
GWorldRef GetGWorld();
void SetGWorld(GWorldRef world);

// ---- picture handles ----------------------------------------------------------------
// Our picture format: a handle holding a 16-byte header ('TPIC', width,
// height, depth as 32-bit native integers) and then width*height ARGB pixels.
using PicHandle = Handle;
constexpr OSType kPictureTag = FourCC("TPIC");
constexpr size_t kPictureHeaderSize = 16;

// A picture whose pixels the caller writes, every one of them, before it is
// read: they hold whatever the memory held (it may be the last picture's
// disposed of, taken again without being cleared).
PicHandle NewPictureForOverwrite(int32_t width, int32_t height, int16_t depth);
PicHandle NewPicture(int32_t width, int32_t height, int16_t depth);  // opaque black
PicHandle PictureFromGWorld(GWorldRef world);                        // ARGB whatever the world stores
// Width, height, depth of a well-formed picture handle; false for anything else.
bool GetPictureInfo(PicHandle pic, int32_t *width, int32_t *height, int16_t *depth);
uint8_t *PicturePixels(PicHandle pic);  // ARGB rows, width*4 bytes each
// Draws a picture into a world at its top-left corner, clipped.
OSErr DrawPicture(PicHandle pic, GWorldRef world);
// Copies one world into another at (left, top) of the destination, clipped;
// packed RGB pixels become opaque ARGB ones.
OSErr CopyWorld(GWorldRef src, GWorldRef dst, int32_t left, int32_t top);

// ---- user data --------------------------------------------------------------------
// A list of typed items. Flattened form: per item a 32-bit big-endian size
// (8 + data), the type (big-endian) and the data.
struct UserDataRec;
using UserData = UserDataRec *;

OSErr NewUserData(UserData *out);
void DisposeUserData(UserData ud);
OSErr NewUserDataFromHandle(Handle h, UserData *out);  // paramErr on malformed data
OSErr PutUserDataIntoHandle(UserData ud, Handle h);
OSErr AddUserData(UserData ud, Handle data, OSType type);
OSErr AddUserDataText(UserData ud, const char *text, OSType type);
OSErr GetUserData(UserData ud, Handle data, OSType type, int32_t index);  // index from 1
int32_t CountUserDataType(UserData ud, OSType type);
OSErr CopyUserData(UserData src, UserData dst);  // replaces dst's items

// ---- components -------------------------------------------------------------------
using ComponentInstance = uint32_t;  // 0 = none
using Component = uint32_t;          // 0 = none

constexpr OSType GraphicsExporterComponentType = FourCC("grex");
constexpr OSType GraphicsImporterComponentType = FourCC("grip");
constexpr OSType HandleDataHandlerSubType = FourCC("hndl");

struct ComponentDescription {
    OSType componentType;
    OSType componentSubType;
    OSType componentManufacturer;
    uint32_t componentFlags;
    uint32_t componentFlagsMask;
};

OSErr OpenADefaultComponent(OSType type, OSType subType, ComponentInstance *out);
OSErr CloseComponent(ComponentInstance ci);
bool ComponentInstanceExists(ComponentInstance ci);
OSType GetComponentSubType(ComponentInstance ci);  // 0 for none
// 1 when the component implements the selector, else 0.
ComponentResult CallComponentCanDo(ComponentInstance ci, int16_t selector);
// 0 starts the walk; 0 ends it. Zero fields of the description match anything
// (the flags are compared under the mask).
Component FindNextComponent(Component previous, const ComponentDescription *looking);
OSErr GetComponentInfo(Component c, ComponentDescription *out);

// Selectors as CallComponentCanDo knows them.
enum : int16_t {
    kGraphicsExportRequestSettingsSelect = 11,
    kGraphicsExportSetThumbnailEnabledSelect = 76,
    kGraphicsExportGetThumbnailEnabledSelect = 77,
    kGraphicsExportSetExifEnabledSelect = 78,
    kGraphicsExportGetExifEnabledSelect = 79,
};

// Progress procedure: message 0 open, 1 update (completeness 0..0x10000), 2
// close. A non-zero answer to an update cancels the work with that status.
enum { codecProgressOpen = 0, codecProgressUpdatePercent = 1, codecProgressClose = 2 };
using ICMProgressProcPtr = OSErr (*)(int16_t message, Fixed completeness, void *refCon);
struct ICMProgressProcRecord {
    ICMProgressProcPtr progressProc;  // 0 removes the procedure
    void *progressRefCon;
};
using ICMProgressUPP = ICMProgressProcPtr;
inline ICMProgressUPP NewICMProgressUPP(ICMProgressProcPtr p) { return p; }

// A file, as the exporter writes it.
struct FSSpec {
    char path[4096];
};

// ---- graphics exporter -----------------------------------------------------------------
// Types: 'TIFF', 'JPEG' (default), 'PNGf', 'BMPf'.
// Inputs are referenced, not copied: the caller keeps a picture handle or
// world alive while it is the input (set another input or 0 to let go).
ComponentResult GraphicsExportSetInputPicture(ComponentInstance ci, PicHandle pic);
ComponentResult GraphicsExportGetInputPicture(ComponentInstance ci, PicHandle *pic);
ComponentResult GraphicsExportSetInputGWorld(ComponentInstance ci, GWorldRef world);
ComponentResult GraphicsExportGetInputGWorld(ComponentInstance ci, GWorldRef *world);
ComponentResult GraphicsExportSetInputGraphicsImporter(ComponentInstance ci, ComponentInstance importer);
ComponentResult GraphicsExportSetOutputHandle(ComponentInstance ci, Handle h);
ComponentResult GraphicsExportSetOutputFile(ComponentInstance ci, const FSSpec *file);
ComponentResult GraphicsExportGetOutputFile(ComponentInstance ci, FSSpec *file);
ComponentResult GraphicsExportDoExport(ComponentInstance ci, uint32_t *actualSizeWritten);
ComponentResult GraphicsExportSetProgressProc(ComponentInstance ci, const ICMProgressProcRecord *proc);

ComponentResult GraphicsExportSetDepth(ComponentInstance ci, int32_t depth);  // 0 = from the input
ComponentResult GraphicsExportGetDepth(ComponentInstance ci, int32_t *depth);
ComponentResult GraphicsExportSetResolution(ComponentInstance ci, Fixed h, Fixed v);
ComponentResult GraphicsExportGetResolution(ComponentInstance ci, Fixed *h, Fixed *v);
enum : CodecQ {
    codecMinQuality = 0,
    codecLowQuality = 0x100,
    codecNormalQuality = 0x200,
    codecHighQuality = 0x300,
    codecMaxQuality = 0x3FF,
    codecLosslessQuality = 0x400
};
ComponentResult GraphicsExportSetCompressionQuality(ComponentInstance ci, CodecQ q);
ComponentResult GraphicsExportGetCompressionQuality(ComponentInstance ci, CodecQ *q);
// TIFF: 1 none, 5 LZW, 8 Deflate, 32773 PackBits; PNG: zlib level 0..9 (or -1
// default). Other formats refuse the call.
ComponentResult GraphicsExportSetCompressionMethod(ComponentInstance ci, int32_t method);
ComponentResult GraphicsExportGetCompressionMethod(ComponentInstance ci, int32_t *method);
ComponentResult GraphicsExportSetDontRecompress(ComponentInstance ci, bool dont);
ComponentResult GraphicsExportGetDontRecompress(ComponentInstance ci, bool *dont);
// 0 none, 1 interlaced (PNG Adam7, progressive JPEG).
ComponentResult GraphicsExportSetInterlaceStyle(ComponentInstance ci, uint32_t style);
ComponentResult GraphicsExportGetInterlaceStyle(ComponentInstance ci, uint32_t *style);
// JPEG: the largest output wanted in bytes (0 none); quality is lowered to fit.
ComponentResult GraphicsExportSetTargetDataSize(ComponentInstance ci, uint32_t size);
ComponentResult GraphicsExportGetTargetDataSize(ComponentInstance ci, uint32_t *size);
// Metadata: copied in and out. Items that the format carries are written:
// '©nam' title, '©des'/'©inf' description, '©cpy' copyright, '©ART' artist,
// '©mak' make, '©mod' model, '©swr' software, '©day' date.
ComponentResult GraphicsExportSetMetaData(ComponentInstance ci, UserData ud);
ComponentResult GraphicsExportGetMetaData(ComponentInstance ci, UserData ud);
ComponentResult GraphicsExportSetColorSyncProfile(ComponentInstance ci, Handle profile);   // copied; 0 clears
ComponentResult GraphicsExportGetColorSyncProfile(ComponentInstance ci, Handle *profile);  // new handle or 0
ComponentResult GraphicsExportGetSettingsAsAtomContainer(ComponentInstance ci, Handle *settings);
ComponentResult GraphicsExportSetSettingsFromAtomContainer(ComponentInstance ci, Handle settings);
ComponentResult GraphicsExportGetSettingsAsText(ComponentInstance ci, Handle *text);
ComponentResult GraphicsExportRequestSettings(ComponentInstance ci, void *filterProc, void *refCon);
ComponentResult GraphicsExportGetDefaultFileNameExtension(ComponentInstance ci, OSType *ext);
ComponentResult GraphicsExportGetDefaultFileTypeAndCreator(ComponentInstance ci, OSType *type, OSType *creator);
ComponentResult GraphicsExportGetOutputFileTypeAndCreator(ComponentInstance ci, OSType *type, OSType *creator);
ComponentResult GraphicsExportSetOutputFileTypeAndCreator(ComponentInstance ci, OSType type, OSType creator);

// The optional exporter calls, found by name (LookupExporterFunction) like the
// running system's library would offer them. Their types:
using GraphicsExportGetThumbnailEnabledProc = ComponentResult (*)(ComponentInstance, bool *, int32_t *, int32_t *);
using GraphicsExportSetThumbnailEnabledProc = ComponentResult (*)(ComponentInstance, bool, int32_t, int32_t);
using GraphicsExportSetExifEnabledProc = ComponentResult (*)(ComponentInstance, bool);
using GraphicsExportGetExifEnabledProc = ComponentResult (*)(ComponentInstance, bool *);

// A loaded system library ("QuickTime.framework" is the one known here).
struct BundleRec;
using BundleRef = BundleRec *;
BundleRef LoadSystemFramework(const char *name);  // 0 when unknown
void *BundleGetFunctionPointerForName(BundleRef bundle, const char *name);
// Test seam: make the library answer 0 for a name (0 restores all).
void WithholdFunction(const char *name);

// ---- graphics importer ---------------------------------------------------------------
// Reads TIFF, JPEG, PNG and BMP into picture handles.
ComponentResult GraphicsImportSetDataHandle(ComponentInstance ci, Handle data);
ComponentResult GraphicsImportGetAsPicture(ComponentInstance ci, PicHandle *pic);
// A handle data reference: the data handle (a pointer-sized word), a
// length-prefixed file name, then optional extensions (32-bit big-endian
// size, type, payload): 'mime' (a length-prefixed MIME text), 'ftyp'
// (big-endian file type). Picks the importer by content, then by the hints.
OSErr GetGraphicsImporterForDataRef(Handle dataRef, OSType dataRefType, ComponentInstance *out);

// ---- image compression -------------------------------------------------------------
// Codec types: 'jpeg', 'png ', 'tiff', 'raw ' (uncompressed ARGB), 'WRLE' (BMP).
struct ImageDescription {  // 86 bytes, native byte order
    int32_t idSize;
    OSType cType;
    int32_t resvd1;
    int16_t resvd2;
    int16_t dataRefIndex;
    int16_t version;
    int16_t revisionLevel;
    int32_t vendor;
    CodecQ temporalQuality;
    CodecQ spatialQuality;
    int16_t width, height;
    Fixed hRes, vRes;
    int32_t dataSize;
    int16_t frameCount;
    uint8_t name[32];
    int16_t depth;
    int16_t clutID;
} __attribute__((packed));
static_assert(sizeof(ImageDescription) == 86, "image description is 86 bytes");
using ImageDescriptionHandle = Handle;
using CompressorComponent = uint32_t;
constexpr CompressorComponent anyCodec = 0;

OSErr GetMaxCompressionSize(const PixMapInfo *src, const Rect *srcRect, int16_t depth, CodecQ quality, OSType cType,
                            CompressorComponent codec, int32_t *size);
// Compresses into `data` (capacity `dataCapacity`); fills the description
// (grown to 86 bytes when smaller). codecSpoolErr when the output does not fit.
OSErr CompressImage(const PixMapInfo *src, const Rect *srcRect, CodecQ quality, OSType cType,
                    ImageDescriptionHandle desc, void *data, size_t dataCapacity);

}  // namespace imaging
