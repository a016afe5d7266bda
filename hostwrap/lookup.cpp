#include "lookup.h"

#include "debug.h"
#include "resolver.h"

#include <cstdint>

namespace hostwrap {

namespace {
template <class F> F service(const char *name) { return reinterpret_cast<F>(hostService(name)); }
}  // namespace

void logText(const char *text) {
    if (IsMacOSX())
        dlog("%s", text);
    else
        dprintf("%s\n", text);
}

void logFailure(const char *prefix, const char *name) {
    if (IsMacOSX())
        dlog("%s %s", prefix, name);
    else
        dprintf("%s %s\n", prefix, name);
}

void entryTrace(const char *name, const void *slotValue) {
    logFailure("in", name);
    // Pointers print by their low 32 bits: %x takes an unsigned int.
    unsigned low = unsigned(reinterpret_cast<uintptr_t>(slotValue) & 0xFFFFFFFFu);
    if (IsMacOSX())
        dlog("_fp Address->(%x)", low);
    else
        dprintf("_fp Address->(%x)\n", low);
}

void *KespResolver(const char *name) { return gResolver ? gResolver(name) : nullptr; }

void *loadGlobalMethod(const char *signature) {
    auto fn = service<void *(*)(REALobject, const char *)>("REALLoadGlobalMethod");
    return fn ? fn(nullptr, signature) : nullptr;
}

void *loadObjectMethod(REALobject object, const char *signature) {
    auto fn = service<void *(*)(REALobject, const char *)>("REALLoadObjectMethod");
    return fn ? fn(object, signature) : nullptr;
}

bool getPropString(REALobject object, const char *name, REALstring *out) {
    auto fn = service<RBBoolean (*)(REALobject, const char *, REALstring *)>("REALGetPropValueString");
    return fn && (fn(object, name, out) & 1);
}

#define GET(T, service_name)                                                                  \
    bool getProperty(REALobject object, const char *name, T *out) {                          \
        auto fn = service<RBBoolean (*)(REALobject, const char *, T *)>(service_name);       \
        return fn && object && (fn(object, name, out) & 1);                                   \
    }
#define SET(T, service_name)                                                                  \
    bool setProperty(REALobject object, const char *name, T value) {                         \
        auto fn = service<RBBoolean (*)(REALobject, const char *, T)>(service_name);         \
        return fn && object && (fn(object, name, value) & 1);                                 \
    }
GET(int32_t, "REALGetPropValueInt")
GET(uint8_t, "REALGetPropValueBool")
GET(double, "REALGetPropValueDouble")
GET(REALstring, "REALGetPropValueString")
GET(REALobject, "REALGetPropValueObject")
SET(int32_t, "REALSetPropValueInt")
SET(uint8_t, "REALSetPropValueBoolean")
SET(double, "REALSetPropValueDouble")
SET(REALstring, "REALSetPropValueString")
SET(REALobject, "REALSetPropValueObject")

void unlockObject(REALobject object) {
    auto fn = service<void (*)(REALobject)>("REALUnlockObject");
    if (fn && object) fn(object);
}

}  // namespace hostwrap
