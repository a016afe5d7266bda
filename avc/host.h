// Host services of the AV/C plug-in beyond the shared ones (host_api.h),
// fetched by name on first use and kept. A missing service yields nothing
// and the caller does nothing.
#pragma once

#include "host_api.h"

#include <fw/Carbon.h>

#include <cstddef>
#include <cstdint>

namespace avc {

using plugin::buildString;
using plugin::eventInstance;
using plugin::lockObject;
using plugin::newInstance;
using plugin::stringBytes;
using plugin::unlockObject;
using plugin::unlockString;

void raiseException(REALobject exception);
uint32_t stringEncoding(REALstring s);
// A folder item as a file reference; false when the host yields none.
bool folderItemRef(REALobject folderItem, FSRef *ref);

}  // namespace avc
