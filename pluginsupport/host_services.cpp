#include "host_services.h"

#include "host_api.h"

// Each function keeps its own service; a missing service (or, for the
// object services, a nil object) yields 0.

void *KespResolver(const char *name) { return hostService(name); }

void *REALLoadObjectMethod(REALobject object, const char *signature) {
    return plugin::loadObjectMethod(object, signature);
}

void *REALLoadGlobalMethod(REALobject unused, const char *signature) {
    HOST_SERVICE(fn, "REALLoadGlobalMethod", void *(*)(REALobject, const char *));
    return fn ? fn(unused, signature) : nullptr;
}

#define GETTER(function, T, name)                                             \
    RBBoolean function(REALobject object, const char *property, T *value) {   \
        HOST_SERVICE(fn, name, RBBoolean (*)(REALobject, const char *, T *)); \
        return fn && object ? RBBoolean(fn(object, property, value) & 1) : 0; \
    }
#define SETTER(function, T, name)                                             \
    RBBoolean function(REALobject object, const char *property, T value) {    \
        HOST_SERVICE(fn, name, RBBoolean (*)(REALobject, const char *, T));   \
        return fn && object ? RBBoolean(fn(object, property, value) & 1) : 0; \
    }
GETTER(REALGetPropValueInt32, int32_t, "REALGetPropValueInt")
GETTER(REALGetPropValueUInt8, uint8_t, "REALGetPropValueBool")
GETTER(REALGetPropValueObject, REALobject, "REALGetPropValueObject")
GETTER(REALGetPropValueString, REALstring, "REALGetPropValueString")
GETTER(REALGetPropValueDouble, double, "REALGetPropValueDouble")
SETTER(REALSetPropValueInt32, int32_t, "REALSetPropValueInt")
SETTER(REALSetPropValueUInt8, uint8_t, "REALSetPropValueBoolean")
SETTER(REALSetPropValueObject, REALobject, "REALSetPropValueObject")
SETTER(REALSetPropValueString, REALstring, "REALSetPropValueString")
SETTER(REALSetPropValueDouble, double, "REALSetPropValueDouble")

#define NEW_VARIANT(function, T, name)             \
    REALobject function(T value) {                 \
        HOST_SERVICE(fn, name, REALobject (*)(T)); \
        return fn ? fn(value) : nullptr;           \
    }
NEW_VARIANT(REALNewVariantString, REALstring, "StringToVariant")
NEW_VARIANT(REALNewVariantInteger, int32_t, "Int32ToVariant")
NEW_VARIANT(REALNewVariantDouble, double, "DoubleToVariant")
NEW_VARIANT(REALNewVariantBoolean, RBBoolean, "BooleanToVariant")
NEW_VARIANT(REALNewVariantColor, uint32_t, "ColorToVariant")

REALmemoryBlock REALNewMemoryBlock(int32_t size) {
    HOST_SERVICE(fn, "newMemoryBlock", REALmemoryBlock(*)(int32_t));
    return fn ? fn(size) : nullptr;
}

void *REALMemoryBlockGetPtr(REALmemoryBlock block) { return plugin::memoryBlockBytes(block); }

int32_t REALMemoryBlockGetSize(REALmemoryBlock block) { return plugin::memoryBlockSize(block); }

REALstring REALpathFromFolderItem(REALfolderItem item) {
    HOST_SERVICE(fn, "REALpathFromFolderItem", REALstring(*)(REALfolderItem));
    return fn && item ? fn(item) : nullptr;
}

RBBoolean REALGetControlFocus(REALobject control) {
    HOST_SERVICE(fn, "REALGetControlFocus", RBBoolean(*)(REALobject));
    return fn && control ? RBBoolean(fn(control) & 1) : 0;
}

void REALSetControlFocus(REALobject control, RBBoolean focus) {
    HOST_SERVICE(fn, "REALSetControlFocus", void (*)(REALobject, RBBoolean));
    if (fn && control) fn(control, focus);
}

void REALLockObject(REALobject object) { plugin::lockObject(object); }

void REALUnlockObject(REALobject object) { plugin::unlockObject(object); }

void REALUnlockString(REALstring string) { plugin::unlockString(string); }
