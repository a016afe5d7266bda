// Host services, fetched by name on first use and cached.
#include "host.h"

#include <cstdlib>
#include <cstring>

namespace gp {

REALResolver gResolver = nullptr;

namespace {

unsigned gGeneration = 1;

// One cached service: fetched on first use after each new resolver.
struct Slot {
    const char *name;
    void *fn = nullptr;
    unsigned generation = 0;
    template <typename F>
    F get() {
        if (generation != gGeneration) {
            fn = gResolver ? gResolver(name) : nullptr;
            generation = gGeneration;
        }
        return reinterpret_cast<F>(fn);
    }
};

#define SERVICE(var, name, type) \
    static Slot var{name};       \
    auto fn = var.get<type>()

}  // namespace

void setResolver(REALResolver resolver) {
    gResolver = resolver;
    ++gGeneration;
}

void announceVersion() {
    SERVICE(slot, "RegisterPluginVersion", void (*)(int));
    if (fn) fn(kCurrentREALControlVersion);
}

namespace {

bool hostIsOld() {
    SERVICE(slot, "REALGetRBVersion", double (*)());
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
    SERVICE(slot, "PluginRegisterClass", void (*)(REALclassDefinition *));
    shortenMethodsForOldHosts(def, !fn);
    if (fn) fn(def);
}

void REALRegisterClassExtension(REALclassDefinition *def) {
    SERVICE(slot, "PluginRegisterClassExtension", void (*)(REALclassDefinition *));
    shortenMethodsForOldHosts(def, !fn);
    if (fn) fn(def);
}

void REALRegisterMethod(REALmethodDefinition *def) {
    SERVICE(slot, "PluginRegisterMethod", void (*)(REALmethodDefinition *));
    if (fn) fn(def);
}

REALstring buildString(const void *bytes, int32_t length) {
    SERVICE(slot, "REALBuildString", REALstring (*)(const char *, int));
    return fn ? fn(static_cast<const char *>(bytes), length) : nullptr;
}

void setStringEncoding(REALstring s, uint32_t encoding) {
    SERVICE(slot, "REALSetStringEncoding", void (*)(REALstring, uint32_t));
    if (fn && s) fn(s, encoding);
}

REALstring convertString(REALstring s, uint32_t encoding) {
    SERVICE(slot, "REALConvertString", REALstring (*)(REALstring, uint32_t));
    return fn && s ? fn(s, encoding) : nullptr;
}

const char *stringBytes(REALstring s, size_t *length) {
    SERVICE(slot, "REALGetStringContents", const char *(*)(REALstring, size_t *));
    *length = 0;
    return fn && s ? fn(s, length) : nullptr;
}

void unlockString(REALstring s) {
    SERVICE(slot, "REALUnlockString", void (*)(REALstring));
    if (fn && s) fn(s);
}

void lockObject(REALobject o) {
    SERVICE(slot, "REALLockObject", void (*)(REALobject));
    if (fn && o) fn(o);
}

void unlockObject(REALobject o) {
    SERVICE(slot, "REALUnlockObject", void (*)(REALobject));
    if (fn && o) fn(o);
}

REALobject newInstance(const char *className) {
    SERVICE(slot, "PluginNewInstance", REALobject (*)(const char *));
    return fn ? fn(className) : nullptr;
}

void *eventInstance(REALobject o, intptr_t token) {
    SERVICE(slot, "GetEventInstance", void *(*)(REALobject, intptr_t));
    return fn && o ? fn(o, token) : nullptr;
}

bool objectIsA(REALobject o, const char *className) {
    SERVICE(slot, "REALObjectIsA", RBBoolean (*)(REALobject, const char *));
    return fn && o && (fn(o, className) & 1);
}

bool enterMovies() {
    SERVICE(slot, "REALenterMovies", RBBoolean (*)());
    return fn && (fn() & 1);
}

bool lockPictureDescription(REALpicture p, REALpictureDescription *out) {
    SERVICE(slot, "lockPictureDescription", void (*)(REALpicture, REALpictureDescription *));
    std::memset(out, 0, sizeof *out);
    if (!fn || !p) return false;
    fn(p, out);
    return true;
}

void unlockPictureDescription(REALpicture p) {
    SERVICE(slot, "unlockPictureDescription", void (*)(REALpicture));
    if (fn && p) fn(p);
}

REALpicture buildPictureFromPicHandle(imaging::PicHandle h) {
    SERVICE(slot, "REALBuildPictureFromPicHandle", REALpicture (*)(void *, RBBoolean));
    return fn && h ? fn(h, 1) : nullptr;
}

void *memoryBlockPtr(REALmemoryBlock m) {
    SERVICE(slot, "memoryBlockGetPtr", void *(*)(REALmemoryBlock));
    return fn && m ? fn(m) : nullptr;
}

size_t memoryBlockSize(REALmemoryBlock m) {
    SERVICE(slot, "memoryBlockGetSize", int32_t (*)(REALmemoryBlock));
    if (!fn || !m) return 0;
    int32_t n = fn(m);
    return n > 0 ? size_t(n) : 0;
}

bool fsSpecFromFolderItem(REALfolderItem f, imaging::FSSpec *out) {
    SERVICE(slot, "REALFSSpecFromFolderItem", RBBoolean (*)(REALfolderItem, imaging::FSSpec *));
    return fn && f && (fn(f, out) & 1);
}

REALfolderItem folderItemFromFSSpec(const imaging::FSSpec *spec) {
    SERVICE(slot, "FolderItemFromFSSpec", REALfolderItem (*)(const imaging::FSSpec *));
    return fn ? fn(spec) : nullptr;
}

void yieldToHost() {
    SERVICE(slot, "REALYieldToRB", void (*)());
    if (fn) fn();
}

bool selectGraphics(REALgraphics g) {
    SERVICE(slot, "SelectGraphics", RBBoolean (*)(REALgraphics));
    return fn && g && (fn(g) & 1);
}

void *windowHandle(REALwindow w) {
    SERVICE(slot, "REALGetWindowHandle", void *(*)(REALwindow));
    return fn && w ? fn(w) : nullptr;
}

REALpicture buildPictureFromGWorld(imaging::GWorldRef world) {
    SERVICE(slot, "REALBuildPictureFromGWorld", REALpicture (*)(uint32_t, RBBoolean));
    return fn && world ? fn(world, 1) : nullptr;
}

int32_t arrayUBound(REALarray a) {
    SERVICE(slot, "RuntimeUBound", int32_t (*)(REALarray));
    return fn && a ? fn(a) : -1;
}

REALobject arrayElement(REALarray a, int32_t index) {
    SERVICE(slot, "RuntimeDirectReadObjectArray", REALobject (*)(REALarray, int32_t));
    return fn && a ? fn(a, index) : nullptr;
}

}  // namespace gp
