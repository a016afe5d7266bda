// The class records of the outside classes, built once from the member
// table (outside_members.def) and handed to the host, and the plug-in's
// entry REALPluginMain.
#include "host.h"
#include "members.h"

#include <cstring>
#include <deque>
#include <memory>
#include <vector>

namespace grab {

namespace {

enum Kind { CTOR, DTOR, METHOD, MSETTER, GET, SET, GLOBAL, EXTENSION };

struct Row {
    const char *cls;
    Kind kind;
    const char *text;
    const char *type;
};

const Row kRows[] = {
#define MEMBER(group, cls, kind, text, type) {cls, kind, text, type},
#include "outside_members.def"
};

// Instance data sizes and direct-access fields, which the table does not
// carry. Classes not listed have no instance data.
struct ClassExtra {
    const char *name;
    uint32_t dataSize;
    std::vector<std::pair<const char *, intptr_t>> directIntegers;  // name, byte in the data
};

const ClassExtra kExtras[] = {
    {"DoublePointPlyx", 16, {}},
    {"DoubleRectPlyx", 32, {}},
    {"IntegerPointPlyx", 8, {{"X", 0}, {"Y", 4}}},
    {"IntegerRectPlyx", 16, {{"Top", 0}, {"Bottom", 4}, {"Left", 8}, {"Right", 12}}},
    {"QTGrabberOutputPlyx", 8, {}},
    {"QTGrabberDevicePlyx", 8, {}},
    {"QTGrabberDeviceListPlyx", 8, {}},
    {"QTGrabberPlyx", 44, {}},
    {"QTGrabberDeviceInputPlyx", 8, {}},
    {"QTGrabberDeviceInputListPlyx", 8, {}},
    {"VideoGrabberDisplayPlyx", 8, {}},
};

// What a member without an implementation does: nothing, answering 0, nil
// or false (or 0.0 where the value is a double).
intptr_t answerNothing(REALobject, intptr_t, intptr_t) { return 0; }
double answerNoDouble(REALobject, intptr_t) { return 0.0; }
void destroyNothing(REALobject) {}

bool isDouble(const char *type) { return std::strcmp(type, "double") == 0; }

struct Built {
    REALclassDefinition def{};
    std::vector<REALmethodDefinition> methods;
    std::vector<REALpropertyDefinition> properties;
};

// The records and the texts cut for them live as long as the plug-in is
// loaded, through exit (the host may hold them until its very end).
std::deque<std::string> &names() {
    static auto *n = new std::deque<std::string>;  // property names and declarations cut from texts
    return *n;
}

std::vector<std::unique_ptr<Built>> &built() {
    static auto *b = new std::vector<std::unique_ptr<Built>>;
    return *b;
}

Built &recordFor(const char *cls) {
    for (auto &b : built())
        if (std::strcmp(b->def.name, cls) == 0) return *b;
    auto b = std::make_unique<Built>();
    b->def.version = kCurrentREALControlVersion;
    b->def.name = cls;
    for (const ClassExtra &e : kExtras)
        if (std::strcmp(e.name, cls) == 0) {
            b->def.dataSize = e.dataSize;
            for (auto &[name, at] : e.directIntegers)
                b->properties.push_back(
                    {nullptr, name, "integer", 0, REALstandardGetter, REALstandardSetter, at, nullptr, nullptr, 0});
        }
    built().push_back(std::move(b));
    return *built().back();
}

// "Class.Name.Get" -> "Name"; "Class.decl.Set" -> "decl".
const char *cut(const char *text, size_t prefix, size_t suffix) {
    size_t n = std::strlen(text);
    names().emplace_back(text + prefix, n - prefix - suffix);
    return names().back().c_str();
}

REALpropertyDefinition &propertyFor(Built &b, const char *name, const char *type) {
    for (auto &p : b.properties)
        if (std::strcmp(p.name, name) == 0) return p;
    b.properties.push_back({nullptr, name, type, 0, nullptr, nullptr, 0, nullptr, nullptr, 0});
    return b.properties.back();
}

REALmethodDefinition gGlobal{};
REALclassDefinition gApplicationExtension{};
REALmethodDefinition gApplicationMethods[1]{};

void buildAll() {
    ImplMap impl;
    addGrabberMembers(impl);
    addGeometryMembers(impl);
    addOutsideMembers(impl);
    auto functionFor = [&](const Row &r) -> void * {
        auto it = impl.find(r.text);
        if (it != impl.end()) return it->second;
        if (r.kind == DTOR) return reinterpret_cast<void *>(destroyNothing);
        if (r.kind == GET && isDouble(r.type)) return reinterpret_cast<void *>(answerNoDouble);
        return reinterpret_cast<void *>(answerNothing);
    };

    for (const Row &r : kRows) {
        size_t prefix = std::strlen(r.cls) + 1;
        switch (r.kind) {
            case GLOBAL:
                gGlobal = {functionFor(r), nullptr, r.text, 0};
                continue;
            case EXTENSION:
                gApplicationMethods[0] = {functionFor(r), nullptr, r.text + prefix, 0};
                gApplicationExtension.version = kCurrentREALControlVersion;
                gApplicationExtension.name = "Application";
                gApplicationExtension.methods = gApplicationMethods;
                gApplicationExtension.methodCount = 1;
                continue;
            default:
                break;
        }
        Built &b = recordFor(r.cls);
        switch (r.kind) {
            case CTOR:
                b.def.constructor = reinterpret_cast<void (*)(REALobject)>(functionFor(r));
                break;
            case DTOR:
                b.def.destructor = reinterpret_cast<void (*)(REALobject)>(functionFor(r));
                break;
            case METHOD:
                b.methods.push_back({functionFor(r), nullptr, r.text + prefix, 0});
                break;
            case MSETTER: {
                const char *decl = cut(r.text, prefix, 4);
                for (auto &m : b.methods)
                    if (std::strcmp(m.declaration, decl) == 0) m.setterFunction = functionFor(r);
                break;
            }
            case GET:
                propertyFor(b, cut(r.text, prefix, 4), r.type).getter = functionFor(r);
                break;
            case SET:
                propertyFor(b, cut(r.text, prefix, 4), r.type).setter = functionFor(r);
                break;
            default:
                break;
        }
    }
    // Classes the table names only through direct fields still need records.
    for (const ClassExtra &e : kExtras) recordFor(e.name);
    UserDataClass ud = userDataClass();
    Built &userData = recordFor("QTUserDataPlyx");
    userData.def.dataSize = ud.dataSize;
    userData.def.constructor = ud.constructor;
    userData.def.destructor = ud.destructor;

    for (auto &b : built()) {
        b->def.methods = b->methods.empty() ? nullptr : b->methods.data();
        b->def.methodCount = uint32_t(b->methods.size());
        b->def.properties = b->properties.empty() ? nullptr : b->properties.data();
        b->def.propertyCount = uint32_t(b->properties.size());
    }
}

}  // namespace

REALclassDefinition *classRecord(const char *name) {
    for (auto &b : built())
        if (std::strcmp(b->def.name, name) == 0) return &b->def;
    return nullptr;
}

void *instanceData(REALobject o, const char *className) {
    REALclassDefinition *def = classRecord(className);
    if (!o || !def || !def->forSystemUse || !def->dataSize) return nullptr;
    return REALGetClassData(o, def);
}

void registerAll() {
    if (built().empty()) buildAll();
    for (auto &b : built()) plugin::registerClass(&b->def);
    plugin::registerClassExtension(&gApplicationExtension);
    plugin::registerMethod(&gGlobal);
}

}  // namespace grab

extern "C" __attribute__((visibility("default"))) RBBoolean REALPluginMain(REALResolver resolver) {
    setResolver(resolver);
    plugin::announceVersion();
    grab::registerAll();
    return 1;
}
