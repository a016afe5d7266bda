#include "host.h"

#include <cstring>

namespace avc {

REALobject newInstance(const char *className) {
    HOST_SERVICE(fn, "PluginNewInstance", REALobject (*)(const char *));
    return fn ? fn(className) : nullptr;
}

void raiseException(REALobject exception) {
    HOST_SERVICE(fn, "RuntimeRaiseException", void (*)(REALobject));
    if (fn && exception) fn(exception);
}

void setPropInt(REALobject obj, const char *name, int32_t value) {
    HOST_SERVICE(fn, "REALSetPropValueInt", RBBoolean (*)(REALobject, const char *, int32_t));
    if (fn && obj) fn(obj, name, value);
}

void setPropString(REALobject obj, const char *name, REALstring value) {
    HOST_SERVICE(fn, "REALSetPropValueString", RBBoolean (*)(REALobject, const char *, REALstring));
    if (fn && obj) fn(obj, name, value);
}

REALstring buildString(const char *bytes, int length) {
    HOST_SERVICE(fn, "REALBuildString", REALstring (*)(const char *, int));
    return fn ? fn(bytes, length) : nullptr;
}

void unlockString(REALstring s) {
    HOST_SERVICE(fn, "REALUnlockString", void (*)(REALstring));
    if (fn && s) fn(s);
}

void lockObject(REALobject obj) {
    HOST_SERVICE(fn, "REALLockObject", void (*)(REALobject));
    if (fn && obj) fn(obj);
}

void unlockObject(REALobject obj) {
    HOST_SERVICE(fn, "REALUnlockObject", void (*)(REALobject));
    if (fn && obj) fn(obj);
}

const char *stringBytes(REALstring s, size_t *length) {
    HOST_SERVICE(fn, "REALGetStringContents", const char *(*)(REALstring, size_t *));
    *length = 0;
    return fn && s ? fn(s, length) : nullptr;
}

uint32_t stringEncoding(REALstring s) {
    HOST_SERVICE(fn, "REALGetStringEncoding", uint32_t (*)(REALstring));
    return fn && s ? fn(s) : 0xFFFF;
}

void *eventHandler(REALobject obj, intptr_t token) {
    HOST_SERVICE(fn, "GetEventInstance", void *(*)(REALobject, intptr_t));
    return fn && obj ? fn(obj, token) : nullptr;
}

bool folderItemRef(REALobject folderItem, FSRef *ref) {
    HOST_SERVICE(fn, "REALFSRefFromFolderItem", RBBoolean (*)(REALobject, FSRef *));
    return fn && folderItem && ref && (fn(folderItem, ref) & 1);
}

}  // namespace avc
