// The plug-in's class records, global functions and shared state.
#pragma once

#include <rb/plugin.h>

#include "imaging/imaging.h"
#include "imaging/matrix.h"

namespace gp {

// Set during registration; live until the process ends.
extern bool gQuickTimePresent;
extern imaging::GraphicsExportGetThumbnailEnabledProc gGetThumbnailEnabled;
extern imaging::GraphicsExportSetThumbnailEnabledProc gSetThumbnailEnabled;
extern imaging::GraphicsExportSetExifEnabledProc gSetExifEnabled;
extern imaging::GraphicsExportGetExifEnabledProc gGetExifEnabled;
extern imaging::ICMProgressUPP gExporterProgressUPP;

extern REALclassDefinition gExporterClass;
// The importer's record once that class is declared (0 until then).
extern REALclassDefinition *gImporterClass;
extern REALclassDefinition gImporterClassRecord;
extern REALclassDefinition gMatrixClass;
extern REALclassDefinition gImageDescriptionClass;
extern imaging::ICMProgressUPP gImporterProgressUPP;

imaging::OSErr importerProgressProc(int16_t message, imaging::Fixed completeness, void *refCon);
// New objects of the matrix and image description classes, filled from a
// matrix or a description handle; 0 when the host cannot make them.
REALobject newMatrixObject(const imaging::MatrixRecord &matrix);
REALobject newImageDescriptionObject(imaging::ImageDescriptionHandle desc);
// The matrix held by a matrix object, or 0.
imaging::MatrixRecord *matrixOfObject(REALobject object);

extern REALclassDefinition gMemoryBlockExtension;
extern REALmethodDefinition gGlobalMethods[];
extern size_t gGlobalMethodCount;

imaging::OSErr exporterProgressProc(int16_t message, imaging::Fixed completeness, void *refCon);

// A handle data reference for importing `data` with name hints; 0 when it
// cannot be made (a name or MIME text over 255 bytes is refused).
imaging::Handle buildNamedDataRef(imaging::Handle data, const char *name, size_t nameLength, const char *mime,
                                  size_t mimeLength);

}  // namespace gp
