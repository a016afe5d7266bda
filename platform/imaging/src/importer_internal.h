// What the component registry keeps of a graphics importer: the bytes it
// reads and what names their format. The rest of an importer's state lives
// in importer.cpp. Internal to the imaging library.
#pragma once

#include "imaging/imaging.h"

namespace imaging::importer {

// The bytes an importer reads and the format it reads them as (its subtype,
// else what the data reference's hints named, else 0: by content).
struct Source {
    Handle data = nullptr;  // not owned
    OSType subtype = 0;     // 0: whatever the content is
    OSType hint = 0;        // format named by the data reference's hints
};

// Told by the registry: the importer is gone.
void closed(ComponentInstance ci);

}  // namespace imaging::importer
