// Class registry, object lifetime, reflective properties and events.
#include "core.h"

#include <rb/exception.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

namespace rb {

namespace core {

std::string lower(std::string s) {
    for (char &ch : s) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

const Classes &classes() {
    static Classes c;
    static bool built = false;
    if (!built) {
        built = true;
        defineExceptionClasses(c);
        c.application = defineClassRaw("Application", nullptr, 0, 1);
        defineMemoryClasses(c);
        defineTimerClass(c);
        defineThreadClass(c);
    }
    return c;
}

namespace {
struct Token {
    ClassInfo *cls;
    int position;
};
std::vector<Token> &tokens() {
    static std::vector<Token> t;
    return t;
}
}  // namespace

intptr_t newEventToken(ClassInfo *cls, int position) {
    tokens().push_back({cls, position});
    return intptr_t(tokens().size());  // never 0
}

static const Token *findToken(intptr_t token) {
    if (token <= 0 || size_t(token) > tokens().size()) return nullptr;
    return &tokens()[size_t(token) - 1];
}

std::string eventName(intptr_t token) {
    const Token *t = findToken(token);
    if (!t || !t->cls) return {};
    for (const EventInfo &e : t->cls->events)
        if (e.position == t->position) return e.declaration.substr(0, e.declaration.find('('));
    return {};
}

}  // namespace core

namespace {

struct Registry {
    std::unordered_map<std::string, std::unique_ptr<ClassInfo>> byName;  // lower-case key
    std::vector<ClassInfo *> order;
};

Registry &registry() {
    static Registry r;
    return r;
}

constexpr uint32_t kDying = core::kObjectDying;

uint32_t alignUp(uint32_t v, size_t a) { return uint32_t((v + a - 1) / a * a); }

}  // namespace

ClassInfo *findClass(const std::string &name) {
    core::classes();
    auto it = registry().byName.find(core::lower(name));
    return it == registry().byName.end() ? nullptr : it->second.get();
}

std::vector<ClassInfo *> allClasses() {
    core::classes();
    return registry().order;
}

bool isA(const ClassInfo *cls, const ClassInfo *base) {
    for (; cls; cls = cls->super)
        if (cls == base) return true;
    return false;
}

bool isA(REALobject obj, const char *className) {
    ClassInfo *base = findClass(className);
    return obj && base && isA(obj->klass, base);
}

ClassInfo *defineClassRaw(const std::string &name, ClassInfo *super, size_t fieldSize, size_t fieldAlign) {
    core::classes();
    std::string key = core::lower(name);
    if (name.empty() || registry().byName.count(key) || fieldAlign > 16) return nullptr;
    auto c = std::make_unique<ClassInfo>();
    c->name = name;
    c->super = super;
    uint32_t base = super ? super->instanceSize : 24;
    // The whole object must stay addressable with the 32-bit sizes.
    if (fieldSize + 16 > kMaxInstanceSize || base > kMaxInstanceSize - 16 - fieldSize) return nullptr;
    c->dataOffset = alignUp(base, std::max<size_t>(fieldAlign, 1));
    c->instanceSize = uint32_t(c->dataOffset + fieldSize);
    ClassInfo *raw = c.get();
    registry().byName.emplace(key, std::move(c));
    registry().order.push_back(raw);
    return raw;
}

ClassInfo *defineSubclass(const std::string &name, ClassInfo *super) { return defineClassRaw(name, super, 0, 1); }

// ---- objects -------------------------------------------------------------------

REALobject newObject(ClassInfo *cls) {
    if (!cls) return nullptr;
    auto *obj = static_cast<REALobject>(std::calloc(1, cls->instanceSize));
    if (!obj) return nullptr;
    obj->klass = cls;
    obj->refCount = 1;
    std::vector<ClassInfo *> chain;
    for (ClassInfo *c = cls; c; c = c->super) chain.push_back(c);
    std::reverse(chain.begin(), chain.end());
    for (ClassInfo *c : chain) {
        if (c->def && c->def->constructor) c->def->constructor(obj);
        else if (c->construct) c->construct(obj);
    }
    return obj;
}

REALobject newObject(const char *className) { return className ? newObject(findClass(className)) : nullptr; }

void retain(REALobject obj) {
    if (obj) ++obj->refCount;
}

void release(REALobject obj) {
    if (!obj || --obj->refCount > 0 || (obj->flags & kDying)) return;
    // Last reference: references taken and dropped by the destructors no
    // longer free the object.
    obj->flags |= kDying;
    for (const ClassInfo *c = obj->klass; c; c = c->super) {
        if (c->def && c->def->destructor) c->def->destructor(obj);
        else if (c->destruct) c->destruct(obj);
    }
    if (obj->flags & core::kObjectHasInstanceHandlers) core::dropInstanceHandlers(obj);
    std::free(obj);
}

const ClassInfo *classWithFields(REALobject obj, const std::type_info &t) {
    for (const ClassInfo *c = obj ? obj->klass : nullptr; c; c = c->super)
        if (c->fieldsType && *c->fieldsType == t) return c;
    return nullptr;
}

void requireClass(REALobject obj, const ClassInfo *cls) {
    if (!cls || !isA(obj->klass, cls))
        raise("RuntimeError", "An object of class " + obj->klass->name + " was used as another class.");
}

int32_t refCount(REALobject obj) { return obj ? obj->refCount : 0; }

void requireObject(const void *obj) {
    if (!obj) raise("NilObjectException", "A nil object was used where an object is needed.");
}

// ---- properties ------------------------------------------------------------------

ValueKind kindOfType(const std::string &typeText) {
    std::string t = core::lower(typeText);
    if (t == "boolean") return ValueKind::Boolean;
    if (t == "double") return ValueKind::Double;
    if (t == "single") return ValueKind::Single;
    if (t == "string") return ValueKind::String;
    if (t == "integer" || t == "int32" || t == "uint32" || t == "int16" || t == "uint16" || t == "int8" ||
        t == "uint8" || t == "color" || t == "int64" || t == "uint64")
        return ValueKind::Integer;
    return ValueKind::Object;
}

const PropertyInfo *findProperty(const ClassInfo *cls, const std::string &name) {
    std::string key = core::lower(name);
    for (; cls; cls = cls->super)
        for (const PropertyInfo &p : cls->properties)
            if (core::lower(p.name) == key) return &p;
    return nullptr;
}

static const ClassInfo *ownerOf(const ClassInfo *cls, const PropertyInfo *p) {
    for (; cls; cls = cls->super)
        for (const PropertyInfo &q : cls->properties)
            if (&q == p) return cls;
    return nullptr;
}

void *findMethod(const ClassInfo *cls, const std::string &declaration) {
    for (; cls; cls = cls->super)
        for (const MethodInfo &m : cls->methods)
            if (m.declaration == declaration) return m.function;
    return nullptr;
}

void addHostProperty(ClassInfo *cls, const std::string &name, const std::string &type,
                     std::function<Value(REALobject)> get, std::function<void(REALobject, const Value &)> set) {
    PropertyInfo p;
    p.name = name;
    p.type = type;
    p.kind = kindOfType(type);
    p.hostGet = std::move(get);
    p.hostSet = std::move(set);
    cls->properties.push_back(std::move(p));
}

namespace {

int64_t asInt(const Value &v) {
    if (auto *i = std::get_if<int64_t>(&v)) return *i;
    if (auto *b = std::get_if<bool>(&v)) return *b;
    if (auto *d = std::get_if<double>(&v)) return int64_t(*d);
    return 0;
}
double asDouble(const Value &v) {
    if (auto *d = std::get_if<double>(&v)) return *d;
    return double(asInt(v));
}
REALstring asString(const Value &v) {
    auto *s = std::get_if<String>(&v);
    return s ? s->get() : nullptr;
}
REALobject asObject(const Value &v) {
    auto *o = std::get_if<ObjRef>(&v);
    return o ? o->get() : nullptr;
}

Value readField(const char *at, ValueKind k) {
    switch (k) {
        case ValueKind::Integer: {
            int32_t v;
            std::memcpy(&v, at, 4);
            return int64_t(v);
        }
        case ValueKind::Boolean:
            return (*reinterpret_cast<const uint8_t *>(at) & 1) != 0;
        case ValueKind::Double: {
            double v;
            std::memcpy(&v, at, 8);
            return v;
        }
        case ValueKind::Single: {
            float v;
            std::memcpy(&v, at, 4);
            return double(v);
        }
        case ValueKind::String: {
            REALstring s;
            std::memcpy(&s, at, sizeof s);
            return String::retain(s);
        }
        case ValueKind::Object: {
            REALobject o;
            std::memcpy(&o, at, sizeof o);
            return ObjRef::retain(o);
        }
    }
    return {};
}

void writeField(char *at, ValueKind k, const Value &v) {
    switch (k) {
        case ValueKind::Integer: {
            int32_t x = int32_t(asInt(v));
            std::memcpy(at, &x, 4);
            break;
        }
        case ValueKind::Boolean:
            *reinterpret_cast<uint8_t *>(at) = asInt(v) ? 1 : 0;
            break;
        case ValueKind::Double: {
            double x = asDouble(v);
            std::memcpy(at, &x, 8);
            break;
        }
        case ValueKind::Single: {
            float x = float(asDouble(v));
            std::memcpy(at, &x, 4);
            break;
        }
        case ValueKind::String: {
            REALstring old, s = asString(v);
            std::memcpy(&old, at, sizeof old);
            retainString(s);
            std::memcpy(at, &s, sizeof s);
            releaseString(old);
            break;
        }
        case ValueKind::Object: {
            REALobject old, o = asObject(v);
            std::memcpy(&old, at, sizeof old);
            retain(o);
            std::memcpy(at, &o, sizeof o);
            release(old);
            break;
        }
    }
}

}  // namespace

Value getPropValue(REALobject obj, const std::string &name) {
    if (!obj) return {};
    const PropertyInfo *p = findProperty(obj->klass, name);
    if (!p) return {};
    if (p->hostGet) return p->hostGet(obj);
    if (!p->getter) return {};
    ObjRef hold = ObjRef::retain(obj);
    if (p->getter == REALstandardGetter)
        return readField(reinterpret_cast<const char *>(obj) + ownerOf(obj->klass, p)->dataOffset + p->param, p->kind);
    void *g = p->getter;
    Value r;
    switch (p->kind) {
        case ValueKind::Integer:
            r = int64_t(reinterpret_cast<int32_t (*)(REALobject, intptr_t)>(g)(obj, p->param));
            break;
        case ValueKind::Boolean:
            r = (reinterpret_cast<RBBoolean (*)(REALobject, intptr_t)>(g)(obj, p->param) & 1) != 0;
            break;
        case ValueKind::Double:
            r = reinterpret_cast<double (*)(REALobject, intptr_t)>(g)(obj, p->param);
            break;
        case ValueKind::Single:
            r = double(reinterpret_cast<float (*)(REALobject, intptr_t)>(g)(obj, p->param));
            break;
        case ValueKind::String:
            r = String::adopt(reinterpret_cast<REALstring (*)(REALobject, intptr_t)>(g)(obj, p->param));
            break;
        case ValueKind::Object:
            r = ObjRef::adopt(reinterpret_cast<REALobject (*)(REALobject, intptr_t)>(g)(obj, p->param));
            break;
    }
    raisePending();
    return r;
}

bool setPropValue(REALobject obj, const std::string &name, const Value &v) {
    if (!obj) return false;
    const PropertyInfo *p = findProperty(obj->klass, name);
    if (!p) return false;
    if (p->hostGet || p->hostSet) {
        if (!p->hostSet) return false;
        p->hostSet(obj, v);
        return true;
    }
    if (!p->setter) return false;
    ObjRef hold = ObjRef::retain(obj);
    if (p->setter == REALstandardSetter) {
        writeField(reinterpret_cast<char *>(obj) + ownerOf(obj->klass, p)->dataOffset + p->param, p->kind, v);
        return true;
    }
    void *s = p->setter;
    intptr_t k = p->param;
    switch (p->kind) {
        case ValueKind::Integer:
            reinterpret_cast<void (*)(REALobject, intptr_t, int32_t)>(s)(obj, k, int32_t(asInt(v)));
            break;
        case ValueKind::Boolean:
            reinterpret_cast<void (*)(REALobject, intptr_t, RBBoolean)>(s)(obj, k, asInt(v) ? 1 : 0);
            break;
        case ValueKind::Double:
            reinterpret_cast<void (*)(REALobject, intptr_t, double)>(s)(obj, k, asDouble(v));
            break;
        case ValueKind::Single:
            reinterpret_cast<void (*)(REALobject, intptr_t, float)>(s)(obj, k, float(asDouble(v)));
            break;
        case ValueKind::String:
            reinterpret_cast<void (*)(REALobject, intptr_t, REALstring)>(s)(obj, k, asString(v));
            break;
        case ValueKind::Object:
            reinterpret_cast<void (*)(REALobject, intptr_t, REALobject)>(s)(obj, k, asObject(v));
            break;
    }
    raisePending();
    return true;
}

// ---- events ----------------------------------------------------------------------

void setEventHandlers(ClassInfo *subclass, std::vector<void *> handlers) {
    if (subclass) subclass->eventHandlers = std::move(handlers);
}

void *eventHandler(REALobject obj, intptr_t token) {
    const core::Token *t = core::findToken(token);
    if (!obj || !t || !isA(obj->klass, t->cls)) return nullptr;
    if (obj->flags & core::kObjectHasInstanceHandlers)
        if (void *own = instanceHandler(obj, core::eventName(token))) return own;
    size_t pos = size_t(t->position);
    for (const ClassInfo *c = obj->klass; c != t->cls; c = c->super)
        if (pos < c->eventHandlers.size() && c->eventHandlers[pos]) return c->eventHandlers[pos];
    return nullptr;
}

void setNamedHandler(ClassInfo *cls, const std::string &event, std::function<void(REALobject)> fn) {
    if (cls) cls->namedHandlers[core::lower(event)] = std::move(fn);
}

bool raiseNamedEvent(REALobject obj, const std::string &event) {
    if (!obj) return false;
    if (raiseInstanceEvent(obj, event)) return true;
    std::string key = core::lower(event);
    for (const ClassInfo *c = obj->klass; c; c = c->super) {
        auto it = c->namedHandlers.find(key);
        if (it != c->namedHandlers.end() && it->second) {
            ObjRef hold = ObjRef::retain(obj);
            auto fn = it->second;
            fn(obj);
            return true;
        }
    }
    return false;
}

REALobject applicationObject() {
    static REALobject app = newObject(core::classes().application);
    return app;
}

}  // namespace rb
