#include "plugin_host.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

namespace fake {

namespace {

Host gHost;

std::map<std::string, std::unique_ptr<ClassInfo>> &classInfos() {
    static std::map<std::string, std::unique_ptr<ClassInfo>> infos;
    return infos;
}

// The host's own classes, with the size of their instance data.
size_t ownDataSize(const std::string &name) {
    if (name == "Picture") return sizeof(PictureData);
    if (name == "QTUserDataPlyx") return sizeof(UserDataData);
    if (name == "MemoryBlock") return sizeof(MemoryBlockData);
    if (name == "FolderItem" || name == "Window") return sizeof(void *);
    return 0;
}
bool isOwnClass(const std::string &name) { return ownDataSize(name) > 0; }

ClassInfo *classNamed(const std::string &name) {
    auto &slot = classInfos()[name];
    if (!slot) {
        slot = std::make_unique<ClassInfo>();
        slot->name = name;
        slot->dataSize = ownDataSize(name);
    }
    return slot.get();
}

const ClassInfo *infoOf(REALobject o) { return reinterpret_cast<const ClassInfo *>(o->klass); }

// ---- services ----

void registerVersion(int v) { gHost.announcedVersion = v; }
void registerClass(REALclassDefinition *def) {
    ClassInfo *info = classNamed(def->name);
    info->def = def;
    info->dataSize = def->dataSize;
    def->forSystemUse = 24;
    for (uint32_t i = 0; i < def->eventCount; ++i)
        def->events[i].forSystemUse = intptr_t(1000 * gHost.classes.size() + i + 1);
    gHost.classes.push_back(def);
    gHost.shortRecords.push_back(!gHost.hasVersion || gHost.version < 5.9);
}
void registerExtension(REALclassDefinition *def) { gHost.extensions.push_back(def); }
void registerMethod(REALmethodDefinition *def) { gHost.globals.push_back(def); }
double getVersion() { return gHost.version; }
void *getEventInstance(REALobject, intptr_t token) {
    auto it = gHost.handlers.find(token);
    return it == gHost.handlers.end() ? nullptr : it->second;
}
// Only classes the host knows: its own and the registered ones.
REALobject newInstance(const char *name) {
    auto it = classInfos().find(name);
    bool known = isOwnClass(name) || (it != classInfos().end() && it->second->def);
    return known ? newObject(name) : nullptr;
}
REALstring buildString(const char *bytes, int length) {
    auto *s = new FakeString;
    s->bytes.assign(bytes, size_t(length));
    ++gHost.liveStrings;
    return reinterpret_cast<REALstring>(s);
}
void lockString(REALstring s) {
    if (s) ++reinterpret_cast<FakeString *>(s)->refs;
}
void setEncoding(REALstring s, uint32_t e) { reinterpret_cast<FakeString *>(s)->encoding = e; }
REALstring convertString(REALstring s, uint32_t e) {
    auto *f = reinterpret_cast<FakeString *>(s);
    REALstring c = buildString(f->bytes.data(), int(f->bytes.size()));
    setEncoding(c, e);
    return c;
}
const char *stringContents(REALstring s, size_t *length) {
    auto *f = reinterpret_cast<FakeString *>(s);
    *length = f->bytes.size();
    return f->bytes.data();
}
RBBoolean objectIsA(REALobject o, const char *name) { return infoOf(o)->name == name; }
void *loadObjectMethod(REALobject o, const char *decl) {
    const REALclassDefinition *d = o ? infoOf(o)->def : nullptr;
    for (uint32_t i = 0; d && i < d->methodCount; ++i)
        if (std::strcmp(d->methods[i].declaration, decl) == 0) return d->methods[i].function;
    return nullptr;
}
RBBoolean enterMovies() { return 1; }
void lockPictureDescription(REALpicture p, REALpictureDescription *d) {
    auto *pd = data<PictureData>(reinterpret_cast<REALobject>(p));
    ++pd->locks;
    *d = {pd->kind, pd->data, pd->width, pd->height, pd->depth, nullptr, 0};
}
void unlockPictureDescription(REALpicture p) { --data<PictureData>(reinterpret_cast<REALobject>(p))->locks; }
REALpicture buildPictureFromPicHandle(void *h, RBBoolean) {
    int32_t w, hh;
    int16_t d;
    if (!imaging::GetPictureInfo(static_cast<imaging::PicHandle>(h), &w, &hh, &d)) return nullptr;
    REALobject o = newObject("Picture");
    *data<PictureData>(o) = {1, h, w, hh, d, 0};
    return reinterpret_cast<REALpicture>(o);
}
REALfolderItem folderItemFromPath(const char *path) {
    REALobject o = newObject("FolderItem");
    *data<std::string *>(o) = new std::string(path);
    return reinterpret_cast<REALfolderItem>(o);
}
RBBoolean fsSpecFromFolderItem(REALfolderItem, imaging::FSSpec *) { return 0; }
void *memoryBlockPtr(REALmemoryBlock m) { return data<MemoryBlockData>(reinterpret_cast<REALobject>(m))->bytes; }
int32_t memoryBlockSize(REALmemoryBlock m) {
    return int32_t(data<MemoryBlockData>(reinterpret_cast<REALobject>(m))->size);
}
void yieldToHost() {
    if (gHost.onYield) gHost.onYield();
}
int64_t hostMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Service {
    const char *name;
    void *fn;
};
#define S(n, f) \
    { n, reinterpret_cast<void *>(f) }
const Service kServices[] = {
    S("RegisterPluginVersion", registerVersion),
    S("PluginRegisterClass", registerClass),
    S("PluginRegisterClassExtension", registerExtension),
    S("PluginRegisterMethod", registerMethod),
    S("REALGetRBVersion", getVersion),
    S("GetEventInstance", getEventInstance),
    S("PluginNewInstance", newInstance),
    S("REALBuildString", buildString),
    S("REALLockString", lockString),
    S("REALUnlockString", static_cast<void (*)(REALstring)>(release)),
    S("REALSetStringEncoding", setEncoding),
    S("REALConvertString", convertString),
    S("REALGetStringContents", stringContents),
    S("REALLockObject", retain),
    S("REALUnlockObject", static_cast<void (*)(REALobject)>(release)),
    S("REALObjectIsA", objectIsA),
    S("REALLoadObjectMethod", loadObjectMethod),
    S("REALenterMovies", enterMovies),
    S("lockPictureDescription", lockPictureDescription),
    S("unlockPictureDescription", unlockPictureDescription),
    S("REALBuildPictureFromPicHandle", buildPictureFromPicHandle),
    S("FolderItemFromPath", folderItemFromPath),
    S("REALFSSpecFromFolderItem", fsSpecFromFolderItem),
    S("memoryBlockGetPtr", memoryBlockPtr),
    S("memoryBlockGetSize", memoryBlockSize),
    S("REALYieldToRB", yieldToHost),
    S("RuntimeMicroseconds", hostMicroseconds),
};
#undef S

// Method i of a class record, read as the short records of an old host or
// as full ones.
REALmethodDefinition methodAt(const REALclassDefinition *def, uint32_t i, bool shortRecords) {
    if (shortRecords) {
        auto *m = reinterpret_cast<const REALmethodDefinitionShort *>(def->methods) + i;
        return REALmethodDefinition{m->function, m->setterFunction, m->declaration, 0};
    }
    return def->methods[i];
}

// Calls `add(text, function)` for each binding text of a class record.
void eachBindingText(const REALclassDefinition *def, bool shortRecords,
                     const std::function<void(const std::string &, void *)> &add) {
    auto method = [&](uint32_t i) { return methodAt(def, i, shortRecords); };
    std::string prefix = std::string(def->name) + ".";
    if (def->constructor) add(prefix + "__init", reinterpret_cast<void *>(def->constructor));
    if (def->destructor) add(prefix + "__exit", reinterpret_cast<void *>(def->destructor));
    for (uint32_t i = 0; i < def->methodCount; ++i) add(prefix + method(i).declaration, method(i).function);
    for (uint32_t i = 0; i < def->methodCount; ++i)
        if (method(i).setterFunction) add(prefix + method(i).declaration + ".Set", method(i).setterFunction);
    for (uint32_t i = 0; i < def->propertyCount; ++i) {
        const REALpropertyDefinition &p = def->properties[i];
        if (p.getter && p.getter != REALstandardGetter) add(prefix + p.name + ".Get", p.getter);
        if (p.setter && p.setter != REALstandardSetter) add(prefix + p.name + ".Set", p.setter);
    }
}

}  // namespace

Host &host() { return gHost; }

void reset() {
    gHost = Host();
    for (auto &c : classInfos()) c.second->def = nullptr;
}

void *resolve(const char *name) {
    if (gHost.withheld.count(name)) return nullptr;
    if (!gHost.hasVersion && std::strcmp(name, "REALGetRBVersion") == 0) return nullptr;
    if (auto it = gHost.added.find(name); it != gHost.added.end()) return it->second;
    for (const auto &s : kServices)
        if (std::strcmp(s.name, name) == 0) return s.fn;
    return nullptr;
}

REALstring str(const std::string &s, uint32_t enc) {
    REALstring r = buildString(s.data(), int(s.size()));
    setEncoding(r, enc);
    return r;
}
std::string text(REALstring s) { return s ? reinterpret_cast<FakeString *>(s)->bytes : std::string(); }
uint32_t encoding(REALstring s) { return reinterpret_cast<FakeString *>(s)->encoding; }
void release(REALstring s) {
    auto *f = reinterpret_cast<FakeString *>(s);
    if (f && --f->refs == 0) {
        delete f;
        --gHost.liveStrings;
    }
}

REALobject newObject(const char *className) {
    ClassInfo *info = classNamed(className);
    auto *o = static_cast<REALobject>(std::calloc(1, 24 + info->dataSize));
    o->klass = reinterpret_cast<const RBClassInfo *>(info);
    o->refCount = 1;
    ++gHost.liveObjects;
    if (!info->def && info->name == "QTUserDataPlyx") data<UserDataData>(o)->tag = 0x51545544;
    if (info->def && info->def->constructor) info->def->constructor(o);
    return o;
}

void retain(REALobject o) {
    if (o) ++o->refCount;
}

void release(REALobject o) {
    if (!o || --o->refCount > 0) return;
    const ClassInfo *info = infoOf(o);
    if (info->def) {
        if (info->def->destructor) info->def->destructor(o);
    } else if (info->name == "Picture") {
        auto *pd = data<PictureData>(o);
        if (pd->kind == 1) imaging::DisposeHandle(static_cast<imaging::PicHandle>(pd->data));
        if (pd->kind == 4) imaging::DisposeGWorld(imaging::GWorldRef(reinterpret_cast<uintptr_t>(pd->data)));
    } else if (info->name == "QTUserDataPlyx") {
        if (data<UserDataData>(o)->owns) imaging::DisposeUserData(data<UserDataData>(o)->userData);
    } else if (info->name == "MemoryBlock") {
        std::free(data<MemoryBlockData>(o)->bytes);
    } else if (info->name == "FolderItem") {
        delete *data<std::string *>(o);
    }
    std::free(o);
    --gHost.liveObjects;
}

int refs(REALobject o) { return o->refCount; }
const std::string &className(REALobject o) { return infoOf(o)->name; }

REALpicture newPicture(int32_t w, int32_t h, uint32_t kind, int16_t depth) {
    imaging::GWorldRef world = 0;
    imaging::Rect r{0, 0, h, w};
    imaging::NewGWorld(&world, depth, &r, 0);
    imaging::PixMapInfo pm;
    imaging::GetGWorldPixMap(world, &pm);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t *p = pm.baseAddr + size_t(y) * pm.rowBytes + size_t(x) * 4;
            p[0] = 0xFF, p[1] = uint8_t(x + y), p[2] = uint8_t(x * 7), p[3] = uint8_t(y * 3);
        }
    REALobject o = newObject("Picture");
    void *payload = reinterpret_cast<void *>(uintptr_t(world));
    if (kind == 1) {
        payload = imaging::PictureFromGWorld(world);
        imaging::DisposeGWorld(world);
    } else if (kind != 4) {
        imaging::DisposeGWorld(world);
        payload = nullptr;
    }
    *data<PictureData>(o) = {kind, payload, w, h, depth, 0};
    return reinterpret_cast<REALpicture>(o);
}

REALpicture newPackedPicture(int32_t w, int32_t h, std::vector<uint8_t> &rows) {
    rows.resize(size_t(w) * size_t(h) * 3);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t *p = &rows[(size_t(y) * size_t(w) + size_t(x)) * 3];
            p[0] = uint8_t(x + y), p[1] = uint8_t(x * 7), p[2] = uint8_t(y * 3);
        }
    imaging::GWorldRef world = 0;
    imaging::Rect r{0, 0, h, w};
    if (imaging::NewGWorldFromPtr(&world, imaging::k24RGBPixelFormat, &r, rows.data(), w * 3) != 0) return nullptr;
    REALobject o = newObject("Picture");
    *data<PictureData>(o) = {4, reinterpret_cast<void *>(uintptr_t(world)), w, h, 24, 0};
    return reinterpret_cast<REALpicture>(o);
}

void *pictureHandle(REALobject p) { return data<PictureData>(p)->data; }
std::string folderPath(REALobject f) { return **data<std::string *>(f); }

REALmemoryBlock newMemoryBlock(const std::string &bytes) {
    REALobject o = newObject("MemoryBlock");
    auto *m = data<MemoryBlockData>(o);
    m->size = uint32_t(bytes.size());
    m->bytes = static_cast<uint8_t *>(std::malloc(bytes.size() + 1));
    std::memcpy(m->bytes, bytes.data(), bytes.size());
    return reinterpret_cast<REALmemoryBlock>(o);
}

// ---- the plug-in ----

Plugin::Plugin(const std::string &path, bool privateCopy) {
    std::string file = path;
    if (privateCopy) {
        std::string name = std::filesystem::path(path).stem().string() + "-copy-" + std::to_string(getpid()) + ".so";
        copy = std::filesystem::temp_directory_path() / name;
        std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
        file = copy;
    }
    lib = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    ok = reRegister();
}

bool Plugin::reRegister() {
    gHost.classes.clear(), gHost.extensions.clear(), gHost.globals.clear(), gHost.shortRecords.clear();
    auto entry = lib ? reinterpret_cast<REALPluginMainProc>(dlsym(lib, "REALPluginMain")) : nullptr;
    return entry && (entry(resolve) & 1);
}

Plugin::~Plugin() {
    if (!copy.empty()) std::filesystem::remove(copy);
    else if (lib) dlclose(lib);
}

REALclassDefinition *Plugin::cls(const char *name) const {
    for (auto *c : gHost.classes)
        if (std::strcmp(c->name, name) == 0) return c;
    for (auto *c : gHost.extensions)
        if (std::strcmp(c->name, name) == 0) return c;
    return nullptr;
}

void *Plugin::method(const char *c, const char *decl) const {
    REALclassDefinition *def = cls(c);
    for (uint32_t i = 0; def && i < def->methodCount; ++i)
        if (std::strcmp(def->methods[i].declaration, decl) == 0) return def->methods[i].function;
    return nullptr;
}

void *Plugin::setter(const char *c, const char *decl) const {
    REALclassDefinition *def = cls(c);
    for (uint32_t i = 0; def && i < def->methodCount; ++i)
        if (std::strcmp(def->methods[i].declaration, decl) == 0) return def->methods[i].setterFunction;
    return nullptr;
}

REALpropertyDefinition *Plugin::property(const char *c, const char *name) const {
    REALclassDefinition *def = cls(c);
    for (uint32_t i = 0; def && i < def->propertyCount; ++i)
        if (std::strcmp(def->properties[i].name, name) == 0) return &def->properties[i];
    return nullptr;
}

void *Plugin::global(const char *decl) const {
    for (auto *m : gHost.globals)
        if (std::strcmp(m->declaration, decl) == 0) return m->function;
    return nullptr;
}

std::vector<std::string> bindingTexts(const REALclassDefinition *def, bool shortRecords) {
    std::vector<std::string> out;
    eachBindingText(def, shortRecords, [&](const std::string &t, void *) { out.push_back(t); });
    return out;
}

Binding binding(bool shortRecords) {
    Binding b;
    auto add = [&](const std::string &t, void *fn) {
        b.texts.push_back(t);
        b.entry[t] = fn;
    };
    for (const REALclassDefinition *d : gHost.classes) eachBindingText(d, shortRecords, add);
    for (const REALclassDefinition *d : gHost.extensions)
        for (uint32_t i = 0; i < d->methodCount; ++i) {
            REALmethodDefinition m = methodAt(d, i, shortRecords);
            add(std::string("application.") + m.declaration, m.function);
        }
    for (const REALmethodDefinition *m : gHost.globals) add(m->declaration, m->function);
    return b;
}

}  // namespace fake
