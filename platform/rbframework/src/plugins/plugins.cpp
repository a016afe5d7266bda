// Plug-in loading and the registration services.
#include "core.h"
#include "files/folderitem_object.h"

#include <rb/graphics.h>
#include <rb/host.h>
#include <rb/picture.h>
#include <rb/plugins.h>
#include <rb/stringarray.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <dlfcn.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace rb {

namespace {

// A plug-in class's own instance data; far above what any record needs, and
// well below where the 32-bit object size could wrap.
constexpr uint32_t kMaxPluginDataSize = 16u << 20;

// Method lists arrive as 16-byte records, or as 12-byte records from a
// plug-in that was told (or had to assume) the host is older than 5.9.
bool shortMethodRecords() { return serviceWithheld("REALGetRBVersion") || hostVersion() < 5.9; }

std::vector<MethodInfo> readMethods(const REALclassDefinition *def) {
    std::vector<MethodInfo> out;
    if (!def->methods) return out;
    bool isShort = shortMethodRecords();
    for (uint32_t i = 0; i < def->methodCount; ++i) {
        void *fn, *setter;
        const char *decl;
        if (isShort) {
            const auto &m = reinterpret_cast<const REALmethodDefinitionShort *>(def->methods)[i];
            fn = m.function, setter = m.setterFunction, decl = m.declaration;
        } else {
            const auto &m = def->methods[i];
            fn = m.function, setter = m.setterFunction, decl = m.declaration;
        }
        if (decl) out.push_back({decl, fn, setter});
    }
    return out;
}

std::vector<PropertyInfo> readProperties(const REALclassDefinition *def) {
    std::vector<PropertyInfo> out;
    for (uint32_t i = 0; def->properties && i < def->propertyCount; ++i) {
        const REALpropertyDefinition &p = def->properties[i];
        if (!p.name) continue;
        PropertyInfo info;
        info.name = p.name;
        info.type = p.type ? p.type : "integer";
        info.kind = kindOfType(info.type);
        info.getter = p.getter;
        info.setter = p.setter;
        info.param = p.param;
        out.push_back(std::move(info));
    }
    return out;
}

// The plug-in whose entry is running, for the messages about its records.
std::string &currentPlugin() {
    static std::string name;
    return name;
}

std::string pluginName() { return currentPlugin().empty() ? "(no plug-in loading)" : currentPlugin(); }

void refuse(const char *className, const std::string &why) {
    std::fprintf(stderr, "rbframework: plug-in %s: class \"%s\" refused: %s\n", pluginName().c_str(), className,
                 why.c_str());
}

// Host classes built on first use elsewhere in the framework that cannot
// live with a plug-in class of their name: their names are the host's even
// before they exist. (Windows and controls can: a plug-in may supply a
// control class such as a BevelButton, and the host then uses its own base.)
bool isReservedHostName(const std::string &name) {
    static const std::vector<std::string> names{"binarystream", "variant", "endofline"};
    return std::find(names.begin(), names.end(), core::lower(name)) != names.end();
}

// The host's own classes, defined before any plug-in can take their names.
void defineHostClasses() {
    core::classes();
    pictureClass();
    graphicsClass();
    stringArrayClass();
    folderItemClass();
}

size_t fieldWidth(ValueKind k) {
    switch (k) {
        case ValueKind::Boolean:
            return 1;
        case ValueKind::Integer:
        case ValueKind::Single:
            return 4;
        case ValueKind::Double:
            return 8;
        case ValueKind::String:
        case ValueKind::Object:
            return sizeof(void *);
    }
    return 8;
}

// Direct-access properties read and write the instance data at `param`:
// each field must lie inside the class's data, and two fields may share
// bytes only as two names of one field (same place, same kind): an integer
// or half a string reference written over a string reference would be read
// back as a pointer. Empty when sound, else the reason.
std::string checkDirectFields(const REALclassDefinition *def, const std::vector<PropertyInfo> &props) {
    struct Field {
        const PropertyInfo *p;
        size_t at, width;
    };
    std::vector<Field> fields;
    for (const PropertyInfo &p : props) {
        if (p.getter != REALstandardGetter && p.setter != REALstandardSetter) continue;
        size_t width = fieldWidth(p.kind);
        if (p.param < 0 || uint64_t(p.param) > def->dataSize || def->dataSize - uint64_t(p.param) < width)
            return "property \"" + p.name + "\" at byte " + std::to_string(p.param) + " (" + std::to_string(width) +
                   " bytes) lies outside its " + std::to_string(def->dataSize) + " bytes of instance data";
        fields.push_back({&p, size_t(p.param), width});
    }
    for (size_t i = 0; i < fields.size(); ++i)
        for (size_t j = i + 1; j < fields.size(); ++j) {
            const Field &a = fields[i], &b = fields[j];
            bool overlap = a.at < b.at + b.width && b.at < a.at + a.width;
            bool alias = a.at == b.at && a.p->kind == b.p->kind;  // two names for one field
            if (overlap && !alias)
                return "properties \"" + a.p->name + "\" and \"" + b.p->name + "\" overlap in the instance data";
        }
    return {};
}

extern "C" {

void svcRegisterPluginVersion(int) {}

void svcRegisterClass(REALclassDefinition *def) {
    if (!def) return;
    if (!def->name || !*def->name) {
        refuse("", "a class needs a name");
        return;
    }
    if (ClassInfo *taken = findClass(def->name)) {
        refuse(def->name,
               taken->def ? "a class of that name is already registered" : "the host defines a class of that name");
        return;
    }
    if (isReservedHostName(def->name)) {
        refuse(def->name, "the host defines a class of that name");
        return;
    }
    if (def->dataSize > kMaxPluginDataSize) {
        refuse(def->name, "instance data of " + std::to_string(def->dataSize) + " bytes is more than the " +
                              std::to_string(kMaxPluginDataSize) + " a class may have");
        return;
    }
    std::vector<PropertyInfo> props = readProperties(def);
    if (std::string why = checkDirectFields(def, props); !why.empty()) {
        refuse(def->name, why);
        return;
    }
    ClassInfo *super = nullptr;
    if (def->superName && *def->superName) {
        super = findClass(def->superName);
        if (!super)
            std::fprintf(stderr, "rbframework: plug-in %s: class %s: superclass %s is unknown; registered without it\n",
                         pluginName().c_str(), def->name, def->superName);
    }
    ClassInfo *cls = defineClassRaw(def->name, super, def->dataSize, 8);
    if (!cls) {
        refuse(def->name, "its instances would be too large");
        return;
    }
    cls->def = def;
    def->forSystemUse = cls->dataOffset;
    cls->properties = std::move(props);
    cls->methods = readMethods(def);
    for (uint32_t i = 0; def->events && i < def->eventCount; ++i) {
        intptr_t token = core::newEventToken(cls, int(i));
        def->events[i].forSystemUse = token;
        cls->events.push_back({def->events[i].declaration ? def->events[i].declaration : "", token, int(i)});
    }
}

void svcRegisterClassExtension(REALclassDefinition *def) {
    if (!def || !def->name) return;
    ClassInfo *cls = findClass(def->name);
    if (!cls) {
        std::fprintf(stderr, "rbframework: extension of unknown class %s ignored\n", def->name);
        return;
    }
    for (MethodInfo &m : readMethods(def)) cls->methods.push_back(std::move(m));
    for (PropertyInfo &p : readProperties(def))
        if (p.getter != REALstandardGetter && p.setter != REALstandardSetter) cls->properties.push_back(std::move(p));
}

void svcRegisterMethod(REALmethodDefinition *def) {
    // Only the first three words are read, so a short record does as well.
    if (def && def->declaration) addGlobalMethod(def->declaration, def->function);
}

}  // extern "C"

// Libraries whose entry ran, with the outcome, so a second load repeats it.
std::map<void *, PluginLoad> &loaded() {
    static std::map<void *, PluginLoad> l;
    return l;
}

}  // namespace

RB_SERVICE("RegisterPluginVersion", svcRegisterPluginVersion);
RB_SERVICE("PluginRegisterClass", svcRegisterClass);
RB_SERVICE("PluginRegisterClassExtension", svcRegisterClassExtension);
RB_SERVICE("PluginRegisterMethod", svcRegisterMethod);

PluginLoad loadPlugin(const std::string &path) {
    defineHostClasses();  // framework classes come before plug-in classes
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {false, "plug-in library not found: " + path};
    void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        const char *err = dlerror();
        return {false, "cannot load plug-in " + path + ": " + (err ? err : "unknown error")};
    }
    if (auto it = loaded().find(h); it != loaded().end()) {
        dlclose(h);  // drops the extra reference only
        return it->second;
    }
    auto entry = reinterpret_cast<REALPluginMainProc>(dlsym(h, "REALPluginMain"));
    if (!entry) {
        dlclose(h);
        return {false, "no REALPluginMain in " + path};
    }
    // From here the library stays loaded: its records belong to the host.
    PluginLoad &result = loaded()[h];
    currentPlugin() = path.substr(path.rfind('/') + 1);
    RBBoolean ok = entry(&resolve);
    currentPlugin().clear();
    result = (ok & 1) ? PluginLoad{true, {}} : PluginLoad{false, "REALPluginMain of " + path + " returned false"};
    return result;
}

std::vector<PluginLoad> loadPlugins(const std::string &folder) {
    std::vector<PluginLoad> out;
    DIR *d = opendir(folder.c_str());
    if (!d) {
        out.push_back({false, "cannot open plug-in folder " + folder});
        return out;
    }
    std::vector<std::string> names;
    while (dirent *e = readdir(d)) {
        std::string n = e->d_name;
        if (n.size() > 3 && n.compare(n.size() - 3, 3, ".so") == 0) names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string &n : names) out.push_back(loadPlugin(folder + "/" + n));
    return out;
}

std::vector<std::string> pluginFolders() {
    std::vector<std::string> out;
    if (const char *env = std::getenv("TAVRIN_PLUGIN_PATH")) {
        std::string s = env;
        size_t start = 0;
        while (start <= s.size()) {
            size_t end = s.find(':', start);
            if (end == std::string::npos) end = s.size();
            if (end > start) out.push_back(s.substr(start, end - start));
            start = end + 1;
        }
        return out;
    }
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) {
        std::string exe(buf, size_t(n));
        out.push_back(exe.substr(0, exe.rfind('/')) + "/plugins");
    }
    return out;
}

}  // namespace rb

extern "C" int RuntimeInitExternalClasses() {
    int count = 0;
    for (const std::string &folder : rb::pluginFolders())
        for (const rb::PluginLoad &l : rb::loadPlugins(folder)) {
            if (l.ok) ++count;
            else std::fprintf(stderr, "rbframework: %s\n", l.error.c_str());
        }
    return count;
}
