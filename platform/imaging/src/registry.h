// The component registry: the exporter and importer components made from
// the image formats (format.h), and the open component instances. Internal to
// the imaging library.
#pragma once

#include "exporter.h"
#include "format.h"
#include "importer_internal.h"

#include <memory>
#include <string>

namespace imaging {

constexpr OSType kManufacturer = FourCC("tavr");

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
