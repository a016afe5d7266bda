#include "host_api.h"

#include <cstdlib>

namespace plugin {

namespace {

bool hostIsOld() {
    HOST_SERVICE(fn, "REALGetRBVersion", double (*)());
    return !fn || fn() < 5.9;
}

void shortenMethodsForOldHosts(REALclassDefinition *def) {
    if (!def->methods || !def->methodCount || !hostIsOld()) return;
    auto *list =
        static_cast<REALmethodDefinitionShort *>(std::calloc(def->methodCount, sizeof(REALmethodDefinitionShort)));
    if (!list) return;
    for (uint32_t i = 0; i < def->methodCount; ++i)
        list[i] = {def->methods[i].function, def->methods[i].setterFunction, def->methods[i].declaration};
    def->methods = reinterpret_cast<REALmethodDefinition *>(list);
}

}  // namespace

void announceVersion() {
    HOST_SERVICE(fn, "RegisterPluginVersion", void (*)(int));
    if (fn) fn(kCurrentREALControlVersion);
}

void registerClass(REALclassDefinition *def) {
    HOST_SERVICE(fn, "PluginRegisterClass", void (*)(REALclassDefinition *));
    if (!fn || !def) return;
    shortenMethodsForOldHosts(def);
    fn(def);
}

void registerClassExtension(REALclassDefinition *def) {
    HOST_SERVICE(fn, "PluginRegisterClassExtension", void (*)(REALclassDefinition *));
    if (!fn || !def) return;
    shortenMethodsForOldHosts(def);
    fn(def);
}

void registerMethod(REALmethodDefinition *def) {
    HOST_SERVICE(fn, "PluginRegisterMethod", void (*)(REALmethodDefinition *));
    if (fn && def) fn(def);
}

REALstring buildString(const char *bytes, int32_t length) {
    HOST_SERVICE(fn, "REALBuildString", REALstring(*)(const char *, int));
    return fn ? fn(bytes, length) : nullptr;
}

void unlockString(REALstring s) {
    HOST_SERVICE(fn, "REALUnlockString", void (*)(REALstring));
    if (fn && s) fn(s);
}

const char *stringBytes(REALstring s, size_t *length) {
    HOST_SERVICE(fn, "REALGetStringContents", const char *(*)(REALstring, size_t *));
    *length = 0;
    return fn && s ? fn(s, length) : nullptr;
}

REALobject newInstance(const char *className) {
    HOST_SERVICE(fn, "PluginNewInstance", REALobject(*)(const char *));
    return fn ? fn(className) : nullptr;
}

void lockObject(REALobject o) {
    HOST_SERVICE(fn, "REALLockObject", void (*)(REALobject));
    if (fn && o) fn(o);
}

void unlockObject(REALobject o) {
    HOST_SERVICE(fn, "REALUnlockObject", void (*)(REALobject));
    if (fn && o) fn(o);
}

void *eventInstance(REALobject o, intptr_t token) {
    HOST_SERVICE(fn, "GetEventInstance", void *(*)(REALobject, intptr_t));
    return fn && o ? fn(o, token) : nullptr;
}

int objectIsA(REALobject o, const char *className) {
    HOST_SERVICE(fn, "REALObjectIsA", RBBoolean(*)(REALobject, const char *));
    if (!o) return 0;
    return fn ? fn(o, className) & 1 : -1;
}

void *loadObjectMethod(REALobject o, const char *declaration) {
    HOST_SERVICE(fn, "REALLoadObjectMethod", void *(*)(REALobject, const char *));
    return fn ? fn(o, declaration) : nullptr;
}

void *memoryBlockBytes(REALmemoryBlock block) {
    HOST_SERVICE(fn, "memoryBlockGetPtr", void *(*)(REALmemoryBlock));
    return fn && block ? fn(block) : nullptr;
}

int32_t memoryBlockSize(REALmemoryBlock block) {
    HOST_SERVICE(fn, "memoryBlockGetSize", int32_t(*)(REALmemoryBlock));
    return fn && block ? fn(block) : 0;
}

}  // namespace plugin
