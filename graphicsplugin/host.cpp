// Host services, fetched by name on first use and kept (pluginsupport).
#include "host.h"

#include <cstdlib>
#include <cstring>

namespace gp {

void announceVersion() {
    HOST_SERVICE(fn, "RegisterPluginVersion", void (*)(int));
    if (fn) fn(kCurrentREALControlVersion);
}

namespace {

bool hostIsOld() {
    HOST_SERVICE(fn, "REALGetRBVersion", double (*)());
    return !fn || fn() < 5.9;
}

// Hosts older than 5.9 read 12-byte method records: give them a copy of the
// list in that form (kept for the life of the process, as the record is).
void shortenMethodsForOldHosts(REALclassDefinition *def, bool serviceMissing) {
    if (!def->methods || !def->methodCount || !(serviceMissing || hostIsOld())) return;
    auto *list = static_cast<REALmethodDefinitionShort *>(std::calloc(def->methodCount, sizeof(REALmethodDefinitionShort)));
    if (!list) return;
    for (uint32_t i = 0; i < def->methodCount; ++i)
        list[i] = {def->methods[i].function, def->methods[i].setterFunction, def->methods[i].declaration};
    def->methods = reinterpret_cast<REALmethodDefinition *>(list);
}

}  // namespace

void REALRegisterClass(REALclassDefinition *def) {
    HOST_SERVICE(fn, "PluginRegisterClass", void (*)(REALclassDefinition *));
    shortenMethodsForOldHosts(def, !fn);
    if (fn) fn(def);
}

void REALRegisterClassExtension(REALclassDefinition *def) {
    HOST_SERVICE(fn, "PluginRegisterClassExtension", void (*)(REALclassDefinition *));
    shortenMethodsForOldHosts(def, !fn);
    if (fn) fn(def);
}

void REALRegisterMethod(REALmethodDefinition *def) {
    HOST_SERVICE(fn, "PluginRegisterMethod", void (*)(REALmethodDefinition *));
    if (fn) fn(def);
}

REALstring buildString(const void *bytes, int32_t length) {
    HOST_SERVICE(fn, "REALBuildString", REALstring (*)(const char *, int));
    return fn ? fn(static_cast<const char *>(bytes), length) : nullptr;
}

void setStringEncoding(REALstring s, uint32_t encoding) {
    HOST_SERVICE(fn, "REALSetStringEncoding", void (*)(REALstring, uint32_t));
    if (fn && s) fn(s, encoding);
}

REALstring convertString(REALstring s, uint32_t encoding) {
    HOST_SERVICE(fn, "REALConvertString", REALstring (*)(REALstring, uint32_t));
    return fn && s ? fn(s, encoding) : nullptr;
}

const char *stringBytes(REALstring s, size_t *length) {
    HOST_SERVICE(fn, "REALGetStringContents", const char *(*)(REALstring, size_t *));
    *length = 0;
    return fn && s ? fn(s, length) : nullptr;
}

void unlockString(REALstring s) {
    HOST_SERVICE(fn, "REALUnlockString", void (*)(REALstring));
    if (fn && s) fn(s);
}

void lockObject(REALobject o) {
    HOST_SERVICE(fn, "REALLockObject", void (*)(REALobject));
    if (fn && o) fn(o);
}

void unlockObject(REALobject o) {
    HOST_SERVICE(fn, "REALUnlockObject", void (*)(REALobject));
    if (fn && o) fn(o);
}

REALobject newInstance(const char *className) {
    HOST_SERVICE(fn, "PluginNewInstance", REALobject (*)(const char *));
    return fn ? fn(className) : nullptr;
}

void *eventInstance(REALobject o, intptr_t token) {
    HOST_SERVICE(fn, "GetEventInstance", void *(*)(REALobject, intptr_t));
    return fn && o ? fn(o, token) : nullptr;
}

bool objectIsA(REALobject o, const char *className) {
    HOST_SERVICE(fn, "REALObjectIsA", RBBoolean (*)(REALobject, const char *));
    return fn && o && (fn(o, className) & 1);
}

bool enterMovies() {
    HOST_SERVICE(fn, "REALenterMovies", RBBoolean (*)());
    return fn && (fn() & 1);
}

bool lockPictureDescription(REALpicture p, REALpictureDescription *out) {
    HOST_SERVICE(fn, "lockPictureDescription", void (*)(REALpicture, REALpictureDescription *));
    std::memset(out, 0, sizeof *out);
    if (!fn || !p) return false;
    fn(p, out);
    return true;
}

void unlockPictureDescription(REALpicture p) {
    HOST_SERVICE(fn, "unlockPictureDescription", void (*)(REALpicture));
    if (fn && p) fn(p);
}

REALpicture buildPictureFromPicHandle(imaging::PicHandle h) {
    HOST_SERVICE(fn, "REALBuildPictureFromPicHandle", REALpicture (*)(void *, RBBoolean));
    return fn && h ? fn(h, 1) : nullptr;
}

void *memoryBlockPtr(REALmemoryBlock m) {
    HOST_SERVICE(fn, "memoryBlockGetPtr", void *(*)(REALmemoryBlock));
    return fn && m ? fn(m) : nullptr;
}

size_t memoryBlockSize(REALmemoryBlock m) {
    HOST_SERVICE(fn, "memoryBlockGetSize", int32_t (*)(REALmemoryBlock));
    if (!fn || !m) return 0;
    int32_t n = fn(m);
    return n > 0 ? size_t(n) : 0;
}

bool fsSpecFromFolderItem(REALfolderItem f, imaging::FSSpec *out) {
    HOST_SERVICE(fn, "REALFSSpecFromFolderItem", RBBoolean (*)(REALfolderItem, imaging::FSSpec *));
    return fn && f && (fn(f, out) & 1);
}

REALfolderItem folderItemFromFSSpec(const imaging::FSSpec *spec) {
    HOST_SERVICE(fn, "FolderItemFromFSSpec", REALfolderItem (*)(const imaging::FSSpec *));
    return fn ? fn(spec) : nullptr;
}

void yieldToHost() {
    HOST_SERVICE(fn, "REALYieldToRB", void (*)());
    if (fn) fn();
}

bool selectGraphics(REALgraphics g) {
    HOST_SERVICE(fn, "SelectGraphics", RBBoolean (*)(REALgraphics));
    return fn && g && (fn(g) & 1);
}

void *windowHandle(REALwindow w) {
    HOST_SERVICE(fn, "REALGetWindowHandle", void *(*)(REALwindow));
    return fn && w ? fn(w) : nullptr;
}

REALpicture buildPictureFromGWorld(imaging::GWorldRef world) {
    HOST_SERVICE(fn, "REALBuildPictureFromGWorld", REALpicture (*)(uint32_t, RBBoolean));
    return fn && world ? fn(world, 1) : nullptr;
}

int32_t arrayUBound(REALarray a) {
    HOST_SERVICE(fn, "RuntimeUBound", int32_t (*)(REALarray));
    return fn && a ? fn(a) : -1;
}

REALobject arrayElement(REALarray a, int32_t index) {
    HOST_SERVICE(fn, "RuntimeDirectReadObjectArray", REALobject (*)(REALarray, int32_t));
    return fn && a ? fn(a, index) : nullptr;
}

}  // namespace gp
