// Host services of the AV/C plug-in, fetched by name on first use and kept.
// A missing service yields nothing and the caller does nothing.
#pragma once

#include "resolver.h"

#include <fw/Carbon.h>

#include <cstddef>
#include <cstdint>

namespace avc {

REALobject newInstance(const char *className);
void raiseException(REALobject exception);
void setPropInt(REALobject obj, const char *name, int32_t value);
void setPropString(REALobject obj, const char *name, REALstring value);
REALstring buildString(const char *bytes, int length);
void unlockString(REALstring s);
void lockObject(REALobject obj);
void unlockObject(REALobject obj);
// The bytes of a host string (nullptr for none) and its length.
const char *stringBytes(REALstring s, size_t *length);
uint32_t stringEncoding(REALstring s);
void *eventHandler(REALobject obj, intptr_t token);
// A folder item as a file reference; false when the host yields none.
bool folderItemRef(REALobject folderItem, FSRef *ref);

}  // namespace avc
