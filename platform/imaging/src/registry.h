// The component registry: the image formats, the exporter and importer
// components made from them, and the open component instances. Internal to
// the imaging library.
#pragma once

#include "codecs.h"
#include "exporter.h"
#include "importer_internal.h"

#include <memory>
#include <string>

namespace imaging {

// One image format: an exporter and an importer component, a codec of image
// compression, and the names files and data references give it.
struct Format {
    OSType type;        // exporter/importer subtype
    OSType extension;   // default file name extension
    OSType codec;       // image compression codec type
    OSErr (*encode)(const codec::Image &, const codec::Options &, std::vector<uint8_t> &);
    const char *fileExtensions[2];   // lower case; the second may be 0
    const char *mimeTypes[2];
};

constexpr OSType kManufacturer = FourCC("tavr");

const Format *formatOf(OSType type);            // by subtype; 0 when unknown
const Format *formatOfCodec(OSType codecType);  // by compression codec; 0 when unknown
// By a file name's extension ("a/b.TIF") or a MIME type, any case; 0 when none.
const Format *formatOfFileName(const std::string &name);
const Format *formatOfMimeType(const std::string &mime);

struct Instance {
    Component component = 0;
    int busy = 0;               // inside a call that runs the progress procedure
    bool closePending = false;  // closed while busy: freed when the call ends
    std::unique_ptr<Exporter> exporter;
    std::unique_ptr<importer::Source> importer;
};

// A live instance (not closed, not waiting to be freed), or 0.
Instance *findInstance(ComponentInstance ci);
Exporter *exporterOf(ComponentInstance ci);
importer::Source *importerOf(ComponentInstance ci);
// Frees an instance now, whatever its state (after a deferred close).
void freeInstance(ComponentInstance ci);

}  // namespace imaging
