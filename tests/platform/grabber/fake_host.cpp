#include "fake_host.h"

#include "imaging/imaging.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

namespace fake {

namespace {

Host gHost;

struct FakeString {
    int refs = 1;
    std::string bytes;
};

// Host-side class of an object, kept in the header's hostData word.
struct Klass {
    std::string name;
    REALclassDefinition *def = nullptr;
    size_t dataSize = 0;
};

std::map<std::string, std::unique_ptr<Klass>> &klasses() {
    static std::map<std::string, std::unique_ptr<Klass>> k;
    return k;
}

Klass *klass(const std::string &name) {
    auto &k = klasses()[name];
    if (!k) {
        k = std::make_unique<Klass>();
        k->name = name;
        if (name == "Picture" || name == "FolderItem" || name == "Window") k->dataSize = sizeof(void *);
    }
    return k.get();
}

Klass *klassOf(REALobject o) { return static_cast<Klass *>(o->hostData); }

void registerVersion(int v) { gHost.announcedVersion = v; }
void registerClass(REALclassDefinition *def) {
    Klass *k = klass(def->name);
    k->def = def;
    k->dataSize = def->dataSize;
    def->forSystemUse = 24;
    gHost.classes.push_back(def);
}
void registerExtension(REALclassDefinition *def) { gHost.extensions.push_back(def); }
void registerMethod(REALmethodDefinition *def) { gHost.globals.push_back(def); }
double version() { return gHost.version; }
REALobject newInstance(const char *name) { return klasses().count(name) ? newObject(name) : nullptr; }
REALstring buildString(const char *bytes, int n) {
    auto *s = new FakeString;
    s->bytes.assign(bytes, size_t(n));
    ++gHost.liveStrings;
    return reinterpret_cast<REALstring>(s);
}
void lockString(REALstring s) {
    if (s) ++reinterpret_cast<FakeString *>(s)->refs;
}
const char *stringContents(REALstring s, size_t *n) {
    auto *f = reinterpret_cast<FakeString *>(s);
    *n = f->bytes.size();
    return f->bytes.data();
}
RBBoolean objectIsA(REALobject o, const char *name) { return klassOf(o)->name == name; }
void *loadObjectMethod(REALobject o, const char *decl) {
    const REALclassDefinition *d = o ? klassOf(o)->def : nullptr;
    for (uint32_t i = 0; d && i < d->methodCount; ++i)
        if (std::strcmp(d->methods[i].declaration, decl) == 0) return d->methods[i].function;
    return nullptr;
}
REALpicture pictureFromPicHandle(void *h, RBBoolean) {
    REALobject o = newObject("Picture");
    *data<void *>(o) = h;
    return reinterpret_cast<REALpicture>(o);
}
REALfolderItem folderItemFromPath(const char *path) {
    REALobject o = newObject("FolderItem");
    *data<std::string *>(o) = new std::string(path);
    return reinterpret_cast<REALfolderItem>(o);
}

#define S(n, f) {n, reinterpret_cast<void *>(f)}
const std::map<std::string, void *> kServices = {
    S("RegisterPluginVersion", registerVersion),
    S("PluginRegisterClass", registerClass),
    S("PluginRegisterClassExtension", registerExtension),
    S("PluginRegisterMethod", registerMethod),
    S("REALGetRBVersion", version),
    S("PluginNewInstance", newInstance),
    S("REALBuildString", buildString),
    S("REALLockString", lockString),
    S("REALUnlockString", static_cast<void (*)(REALstring)>(release)),
    S("REALGetStringContents", stringContents),
    S("REALLockObject", retain),
    S("REALUnlockObject", static_cast<void (*)(REALobject)>(release)),
    S("REALObjectIsA", objectIsA),
    S("REALLoadObjectMethod", loadObjectMethod),
    S("REALBuildPictureFromPicHandle", pictureFromPicHandle),
    S("FolderItemFromPath", folderItemFromPath),
};

}  // namespace

Host &host() { return gHost; }

void *resolve(const char *name) {
    if (gHost.withheld.count(name)) return nullptr;
    auto it = kServices.find(name);
    return it == kServices.end() ? nullptr : it->second;
}

REALstring str(const std::string &s) { return buildString(s.data(), int(s.size())); }
std::string text(REALstring s) { return s ? reinterpret_cast<FakeString *>(s)->bytes : std::string(); }
void release(REALstring s) {
    auto *f = reinterpret_cast<FakeString *>(s);
    if (f && --f->refs == 0) {
        delete f;
        --gHost.liveStrings;
    }
}

REALobject newObject(const char *className) {
    Klass *k = klass(className);
    auto *o = static_cast<REALobject>(std::calloc(1, 24 + k->dataSize));
    o->refCount = 1;
    o->hostData = k;
    ++gHost.liveObjects;
    if (k->def && k->def->constructor) k->def->constructor(o);
    return o;
}

void retain(REALobject o) {
    if (o) ++o->refCount;
}

void release(REALobject o) {
    if (!o || --o->refCount > 0) return;
    Klass *k = klassOf(o);
    if (k->def && k->def->destructor) k->def->destructor(o);
    if (k->name == "Picture") imaging::DisposeHandle(static_cast<imaging::Handle>(*data<void *>(o)));
    if (k->name == "FolderItem") delete *data<std::string *>(o);
    std::free(o);
    --gHost.liveObjects;
}

int refs(REALobject o) { return o->refCount; }
std::string className(REALobject o) { return klassOf(o)->name; }
void *pictureHandle(REALobject p) { return *data<void *>(p); }
std::string folderPath(REALobject f) { return **data<std::string *>(f); }

Plugin::Plugin(bool privateCopy) {
    std::string path = GRABBERPLUGIN_PATH;
    if (privateCopy) {
        copy = std::filesystem::temp_directory_path() / ("grabberplugin-copy-" + std::to_string(getpid()) + ".so");
        std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
        path = copy;
    }
    lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ok = reRegister();
}

bool Plugin::reRegister() {
    gHost.classes.clear(), gHost.extensions.clear(), gHost.globals.clear();
    auto entry = lib ? reinterpret_cast<REALPluginMainProc>(dlsym(lib, "REALPluginMain")) : nullptr;
    return entry && (entry(resolve) & 1);
}

Plugin::~Plugin() {
    // A private copy stays loaded: the method lists it made for an old host
    // live as long as the process, as they do in a host.
    if (!copy.empty()) std::filesystem::remove(copy);
}

Binding binding(bool shortRecords) {
    Binding b;
    auto add = [&](const std::string &t, void *fn) {
        b.texts.push_back(t);
        b.entry[t] = fn;
    };
    auto method = [&](const REALclassDefinition *d, uint32_t i) {
        if (shortRecords) {
            auto *m = reinterpret_cast<const REALmethodDefinitionShort *>(d->methods) + i;
            return REALmethodDefinition{m->function, m->setterFunction, m->declaration, 0};
        }
        return d->methods[i];
    };
    for (const REALclassDefinition *d : gHost.classes) {
        std::string cls = std::string(d->name) + ".";
        if (d->constructor) add(cls + "__init", reinterpret_cast<void *>(d->constructor));
        if (d->destructor) add(cls + "__exit", reinterpret_cast<void *>(d->destructor));
        for (uint32_t i = 0; i < d->methodCount; ++i) add(cls + method(d, i).declaration, method(d, i).function);
        for (uint32_t i = 0; i < d->methodCount; ++i)
            if (method(d, i).setterFunction) add(cls + method(d, i).declaration + ".Set", method(d, i).setterFunction);
        for (uint32_t i = 0; i < d->propertyCount; ++i) {
            const REALpropertyDefinition &p = d->properties[i];
            if (p.getter && p.getter != REALstandardGetter) add(cls + p.name + ".Get", p.getter);
            if (p.setter && p.setter != REALstandardSetter) add(cls + p.name + ".Set", p.setter);
        }
    }
    for (const REALclassDefinition *d : gHost.extensions)
        for (uint32_t i = 0; i < d->methodCount; ++i)
            add(std::string("application.") + method(d, i).declaration, method(d, i).function);
    for (const REALmethodDefinition *m : gHost.globals) add(m->declaration, m->function);
    return b;
}

}  // namespace fake
