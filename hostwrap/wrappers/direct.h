// Members that reach the held object without an accessor: properties by
// name (never cached) and methods by declaration (each member keeps its own
// entry once found; a miss is asked again on the next call).
#pragma once

#include "wrappers/host.h"

#include <atomic>
#include <cstdint>

namespace hostwrap::direct {

// The property read into a value that starts at 0: a missing property reads
// as 0, false or nil.
inline int32_t int32(const void *o, const char *name) {
    int32_t v = 0;
    REALGetPropValueInt32(asObject(o), name, &v);
    return v;
}
inline uint8_t uint8(const void *o, const char *name) {
    uint8_t v = 0;
    REALGetPropValueUInt8(asObject(o), name, &v);
    return v;
}
inline REALstring string(const void *o, const char *name) {
    REALstring v = nullptr;
    REALGetPropValueString(asObject(o), name, &v);
    return v;
}
inline REALobject object(const void *o, const char *name) {
    REALobject v = nullptr;
    REALGetPropValueObject(asObject(o), name, &v);
    return v;
}
inline RBBoolean setInt32(const void *o, const char *name, int32_t v) {
    return REALSetPropValueInt32(asObject(o), name, v);
}
inline RBBoolean setUInt8(const void *o, const char *name, uint8_t v) {
    return REALSetPropValueUInt8(asObject(o), name, v);
}
inline RBBoolean setString(const void *o, const char *name, REALstring v) {
    return REALSetPropValueString(asObject(o), name, v);
}

// One member's cached method entry.
using Entry = std::atomic<void *>;

// The member's entry, looked up on the object by declaration while unset.
inline void *method(Entry &entry, const void *o, const char *declaration) {
    void *fn = entry.load(std::memory_order_acquire);
    if (!fn) {
        fn = REALLoadObjectMethod(asObject(o), declaration);
        entry.store(fn, std::memory_order_release);
    }
    return fn;
}

// Whether the object's class has a method of that declaration (not cached).
inline uint8_t hasMethod(const void *o, const char *declaration) {
    return REALLoadObjectMethod(asObject(o), declaration) != nullptr;
}

}  // namespace hostwrap::direct
