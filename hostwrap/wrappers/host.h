// Reference counting and block services as the wrappers use them, over the
// plug-in's host services: any host handle is an object.
#pragma once

#include "host_services.h"

#include <type_traits>

namespace hostwrap {

template <class H> REALobject asObject(H *handle) {
    return reinterpret_cast<REALobject>(const_cast<std::remove_const_t<H> *>(handle));
}
template <class H> void retain(H *handle) { REALLockObject(asObject(handle)); }
template <class H> void release(H *handle) {
    if (handle) REALUnlockObject(asObject(handle));
}
inline void releaseString(REALstring s) {
    if (s) REALUnlockString(s);
}

}  // namespace hostwrap
