// Host services, fetched by name on first use and cached per resolver.
#include "host.h"

#include "imaging/imaging.h"

#include <cstdlib>
#include <cstring>

namespace grab {

namespace {

REALResolver gResolver = nullptr;
unsigned gGeneration = 1;

struct Slot {
    const char *name;
    void *fn = nullptr;
    unsigned generation = 0;
    template <typename F> F get() {
        if (generation != gGeneration) {
            fn = gResolver ? gResolver(name) : nullptr;
            generation = gGeneration;
        }
        return reinterpret_cast<F>(fn);
    }
};

#define SERVICE(name, type) \
    static Slot slot{name}; \
    auto fn = slot.get<type>()

bool hostIsOld() {
    SERVICE("REALGetRBVersion", double (*)());
    return !fn || fn() < 5.9;
}

// Hosts older than 5.9 read 12-byte method records: hand them a copy of the
// list in that form, kept for the life of the process as the record is.
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

void setResolver(REALResolver resolver) {
    gResolver = resolver;
    ++gGeneration;
}

void announceVersion() {
    SERVICE("RegisterPluginVersion", void (*)(int));
    if (fn) fn(kCurrentREALControlVersion);
}

void registerClass(REALclassDefinition *def) {
    SERVICE("PluginRegisterClass", void (*)(REALclassDefinition *));
    if (!fn) return;
    shortenMethodsForOldHosts(def);
    fn(def);
}

void registerClassExtension(REALclassDefinition *def) {
    SERVICE("PluginRegisterClassExtension", void (*)(REALclassDefinition *));
    if (!fn) return;
    shortenMethodsForOldHosts(def);
    fn(def);
}

void registerMethod(REALmethodDefinition *def) {
    SERVICE("PluginRegisterMethod", void (*)(REALmethodDefinition *));
    if (fn) fn(def);
}

REALstring newString(const std::string &bytes) {
    SERVICE("REALBuildString", REALstring(*)(const char *, int));
    return fn ? fn(bytes.data(), int(bytes.size())) : nullptr;
}

bool stringBytes(REALstring s, std::string *out) {
    SERVICE("REALGetStringContents", const char *(*)(REALstring, size_t *));
    out->clear();
    if (!fn || !s) return false;
    size_t n = 0;
    const char *p = fn(s, &n);
    if (!p && n) return false;
    out->assign(p ? p : "", n);
    return true;
}

REALobject newInstance(const char *className) {
    SERVICE("PluginNewInstance", REALobject(*)(const char *));
    return fn ? fn(className) : nullptr;
}

void lockObject(REALobject o) {
    SERVICE("REALLockObject", void (*)(REALobject));
    if (fn && o) fn(o);
}

void unlockObject(REALobject o) {
    SERVICE("REALUnlockObject", void (*)(REALobject));
    if (fn && o) fn(o);
}

int objectIsA(REALobject o, const char *className) {
    SERVICE("REALObjectIsA", RBBoolean(*)(REALobject, const char *));
    if (!o) return 0;
    return fn ? fn(o, className) & 1 : -1;
}

void *loadObjectMethod(REALobject o, const char *declaration) {
    SERVICE("REALLoadObjectMethod", void *(*)(REALobject, const char *));
    return fn && o ? fn(o, declaration) : nullptr;
}

int64_t (*hostMicroseconds())() {
    SERVICE("RuntimeMicroseconds", int64_t(*)());
    return fn;
}

REALpicture pictureFromPicHandle(void *picHandle) {
    SERVICE("REALBuildPictureFromPicHandle", REALpicture(*)(void *, RBBoolean));
    REALpicture p = fn && picHandle ? fn(picHandle, 1) : nullptr;
    if (!p) imaging::DisposeHandle(static_cast<imaging::Handle>(picHandle));
    return p;
}

REALfolderItem folderItemFromPath(const std::string &path) {
    {
        SERVICE("FolderItemFromPath", REALfolderItem(*)(const char *));
        if (fn) return fn(path.c_str());
    }
    SERVICE("FolderItemFromFSSpec", REALfolderItem(*)(const imaging::FSSpec *));
    if (!fn || path.size() >= sizeof(imaging::FSSpec::path)) return nullptr;
    imaging::FSSpec spec{};
    std::memcpy(spec.path, path.data(), path.size());
    return fn(&spec);
}

bool paintWindow(REALobject window, int left, int top, int width, int height, const uint32_t *pixels) {
    SERVICE("PaintWindowSurface", RBBoolean(*)(REALobject, int32_t, int32_t, int32_t, int32_t, const uint32_t *));
    if (!fn || !window || width < 1 || height < 1) return false;
    return fn(window, left, top, width, height, pixels) & 1;
}

}  // namespace grab
