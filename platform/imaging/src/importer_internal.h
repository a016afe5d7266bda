// Links between the component registry (components.cpp) and the importer's
// own state (importer.cpp). Internal to the imaging library.
#pragma once

#include "imaging/imaging.h"

namespace imaging::importer {

// The bytes an importer reads and the format it reads them as (its subtype,
// else what the data reference's hints named, else 0: by content).
struct Source {
    Handle data = nullptr;
    OSType subtype = 0;
    OSType hint = 0;
};
bool sourceOf(ComponentInstance ci, Source *out);

// Told by the registry: the importer's data changed, or it is gone.
void dataChanged(ComponentInstance ci);
void closed(ComponentInstance ci);

// GraphicsImportGetAsPicture: the current image as a new picture handle.
ComponentResult currentPicture(ComponentInstance ci, PicHandle *pic);

// GetGraphicsImporterForDataRef with a 'url ' data reference.
OSErr forURL(Handle dataRef, ComponentInstance *out);

}  // namespace imaging::importer
