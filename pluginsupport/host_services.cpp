#include "host_services.h"

#include "resolver.h"

// Each function keeps its own service; a missing service (or, for the
// object services, a nil object) yields 0.
#define SERVICE(type, name) static HostService<type> service(name); auto fn = service.get()

void *KespResolver(const char *name) { return hostService(name); }

void *REALLoadObjectMethod(REALobject object, const char *signature) {
    SERVICE(void *(*)(REALobject, const char *), "REALLoadObjectMethod");
    return fn ? fn(object, signature) : nullptr;
}

void *REALLoadGlobalMethod(REALobject unused, const char *signature) {
    SERVICE(void *(*)(REALobject, const char *), "REALLoadGlobalMethod");
    return fn ? fn(unused, signature) : nullptr;
}

#define GETTER(function, T, name)                                                \
    RBBoolean function(REALobject object, const char *property, T *value) {     \
        SERVICE(RBBoolean (*)(REALobject, const char *, T *), name);             \
        return fn && object ? RBBoolean(fn(object, property, value) & 1) : 0;    \
    }
#define SETTER(function, T, name)                                                \
    RBBoolean function(REALobject object, const char *property, T value) {      \
        SERVICE(RBBoolean (*)(REALobject, const char *, T), name);               \
        return fn && object ? RBBoolean(fn(object, property, value) & 1) : 0;    \
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

#define NEW_VARIANT(function, T, name)                  \
    REALobject function(T value) {                      \
        SERVICE(REALobject (*)(T), name);               \
        return fn ? fn(value) : nullptr;                \
    }
NEW_VARIANT(REALNewVariantString, REALstring, "StringToVariant")
NEW_VARIANT(REALNewVariantInteger, int32_t, "Int32ToVariant")
NEW_VARIANT(REALNewVariantDouble, double, "DoubleToVariant")
NEW_VARIANT(REALNewVariantBoolean, RBBoolean, "BooleanToVariant")
NEW_VARIANT(REALNewVariantColor, uint32_t, "ColorToVariant")

REALmemoryBlock REALNewMemoryBlock(int32_t size) {
    SERVICE(REALmemoryBlock (*)(int32_t), "newMemoryBlock");
    return fn ? fn(size) : nullptr;
}

void *REALMemoryBlockGetPtr(REALmemoryBlock block) {
    SERVICE(void *(*)(REALmemoryBlock), "memoryBlockGetPtr");
    return fn && block ? fn(block) : nullptr;
}

int32_t REALMemoryBlockGetSize(REALmemoryBlock block) {
    SERVICE(int32_t (*)(REALmemoryBlock), "memoryBlockGetSize");
    return fn && block ? fn(block) : 0;
}

REALstring REALpathFromFolderItem(REALfolderItem item) {
    SERVICE(REALstring (*)(REALfolderItem), "REALpathFromFolderItem");
    return fn && item ? fn(item) : nullptr;
}

RBBoolean REALGetControlFocus(REALobject control) {
    SERVICE(RBBoolean (*)(REALobject), "REALGetControlFocus");
    return fn && control ? RBBoolean(fn(control) & 1) : 0;
}

void REALSetControlFocus(REALobject control, RBBoolean focus) {
    SERVICE(void (*)(REALobject, RBBoolean), "REALSetControlFocus");
    if (fn && control) fn(control, focus);
}

void REALLockObject(REALobject object) {
    SERVICE(void (*)(REALobject), "REALLockObject");
    if (fn && object) fn(object);
}

void REALUnlockObject(REALobject object) {
    SERVICE(void (*)(REALobject), "REALUnlockObject");
    if (fn && object) fn(object);
}

void REALUnlockString(REALstring string) {
    SERVICE(void (*)(REALstring), "REALUnlockString");
    if (fn && string) fn(string);
}
