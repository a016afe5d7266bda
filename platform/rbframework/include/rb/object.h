// The object model: class records, objects, reference counting.
//
// Every object is a block of the class's instance size that starts with the
// 24-byte REALobjectStruct header. A class's own fields follow its
// superclass's: a root plug-in class has its data at byte 24; a framework or
// application class whose fields are a C++ struct T has T placed after the
// superclass's fields (rb::defineClass<T>). Objects are created zero-filled,
// constructed from base to derived and destructed from derived to base when
// the last reference goes.
//
// Class names are looked up case-insensitively and keep their declared case.
// Everything here belongs to the thread holding the runtime baton (the main
// thread or a cooperative thread), see rb/thread.h.
#pragma once

#include <rb/plugin.h>
#include <rb/string.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <new>
#include <string>
#include <typeinfo>
#include <variant>
#include <vector>

namespace rb {

template <class T = REALobjectStruct> class Ref;
using ObjRef = Ref<REALobjectStruct>;

// A property value as the reflective model passes it around.
using Value = std::variant<std::monostate, int64_t, double, bool, String, ObjRef>;

// How a property's value is stored and passed, from its type text.
enum class ValueKind { Integer, Boolean, Double, Single, String, Object };
ValueKind kindOfType(const std::string &typeText);

struct PropertyInfo {
    std::string name;
    std::string type;
    ValueKind kind = ValueKind::Integer;
    // Plug-in property: functions (object, param[, value]), REALstandardGetter /
    // REALstandardSetter for direct access at data + param, or nullptr.
    void *getter = nullptr;
    void *setter = nullptr;
    intptr_t param = 0;
    // Framework property: host functions (used when set).
    std::function<Value(REALobject)> hostGet;
    std::function<void(REALobject, const Value &)> hostSet;
};

struct MethodInfo {
    std::string declaration;  // exactly as declared
    void *function = nullptr;
    void *setter = nullptr;  // method-style property setter, or nullptr
};

struct EventInfo {
    std::string declaration;
    intptr_t token = 0;
    int position = 0;
};

}  // namespace rb

// The host's class record. Plug-ins see it only as a forward declaration.
struct RBClassInfo {
    std::string name;  // declared case
    RBClassInfo *super = nullptr;
    uint32_t instanceSize = 24;                  // whole object, header included
    uint32_t dataOffset = 24;                    // where this class's own fields start
    REALclassDefinition *def = nullptr;          // plug-in classes
    const std::type_info *fieldsType = nullptr;  // T of rb::defineClass<T>
    std::function<void(REALobject)> construct;   // framework/app classes
    std::function<void(REALobject)> destruct;
    std::vector<rb::PropertyInfo> properties;
    std::vector<rb::MethodInfo> methods;
    std::vector<rb::EventInfo> events;
    // Application subclasses: handler per event position of the plug-in
    // superclass (nullptr = none).
    std::vector<void *> eventHandlers;
    // Framework classes: handlers by event name.
    std::map<std::string, std::function<void(REALobject)>> namedHandlers;
};

namespace rb {

using ClassInfo = ::RBClassInfo;

// ---- registry ----------------------------------------------------------------

ClassInfo *findClass(const std::string &name);  // case-insensitive; nullptr if unknown
std::vector<ClassInfo *> allClasses();
bool isA(const ClassInfo *cls, const ClassInfo *base);
bool isA(REALobject obj, const char *className);

// A class without fields of its own (e.g. an application subclass of a
// plug-in class that only adds event handlers). Nullptr if the name is taken.
ClassInfo *defineSubclass(const std::string &name, ClassInfo *super);

// The largest object the registry builds, header and all fields included.
constexpr size_t kMaxInstanceSize = size_t(64) << 20;

// Lower-level: a class with `fieldSize` bytes of fields of its own placed
// after the superclass's fields at `fieldAlign`. Nullptr if the name is
// empty or taken, or the object would be larger than kMaxInstanceSize.
ClassInfo *defineClassRaw(const std::string &name, ClassInfo *super, size_t fieldSize, size_t fieldAlign);

// A framework or application class whose fields are a C++ T, placement-built
// on construction and destroyed on destruction.
template <class T> ClassInfo *defineClass(const std::string &name, ClassInfo *super = nullptr) {
    ClassInfo *c = defineClassRaw(name, super, sizeof(T), alignof(T));
    if (!c) return nullptr;
    uint32_t off = c->dataOffset;
    c->fieldsType = &typeid(T);
    c->construct = [off](REALobject o) { new (reinterpret_cast<char *>(o) + off) T(); };
    c->destruct = [off](REALobject o) { reinterpret_cast<T *>(reinterpret_cast<char *>(o) + off)->~T(); };
    return c;
}

// ---- objects -------------------------------------------------------------------

// New object with one reference owned by the caller; nullptr for nullptr or
// an unknown class name.
REALobject newObject(ClassInfo *cls);
REALobject newObject(const char *className);
void retain(REALobject obj);   // nullptr is ignored
void release(REALobject obj);  // nullptr is ignored
int32_t refCount(REALobject obj);

// Throws rb::Exception of class NilObjectException when obj is nil.
void requireObject(const void *obj);

// The fields of class `cls` in obj (NilObjectException for nil).
// RuntimeError unless obj is of class cls (or a subclass).
void requireClass(REALobject obj, const ClassInfo *cls);
inline void *classData(REALobject obj, const ClassInfo *cls) {
    requireObject(obj);
    requireClass(obj, cls);
    return reinterpret_cast<char *>(obj) + cls->dataOffset;
}

// The fields of class `cls` as a T.
template <class T> T *fields(REALobject obj, const ClassInfo *cls) { return static_cast<T *>(classData(obj, cls)); }
// The class in obj's chain that was made with defineClass<T>, or nullptr.
const ClassInfo *classWithFields(REALobject obj, const std::type_info &t);
// The T of an object whose class (or a superclass) was made with
// defineClass<T>; throws NilObjectException for nil and RuntimeError when
// the object has no such fields.
template <class T> T *fields(REALobject obj) {
    requireObject(obj);
    return static_cast<T *>(classData(obj, classWithFields(obj, typeid(T))));
}

// RAII holder of one object reference.
template <class T> class Ref {
public:
    Ref() = default;
    // Takes over a reference the caller owns.
    static Ref adopt(T *p) {
        Ref r;
        r.p_ = p;
        return r;
    }
    // Adds a reference of its own.
    static Ref retain(T *p) {
        rb::retain(obj(p));
        return adopt(p);
    }
    Ref(const Ref &o) : p_(o.p_) { rb::retain(obj(p_)); }
    Ref(Ref &&o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    Ref &operator=(Ref o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~Ref() { rb::release(obj(p_)); }

    T *get() const { return p_; }
    T *operator->() const { return p_; }
    T *detach() {
        T *p = p_;
        p_ = nullptr;
        return p;
    }
    explicit operator bool() const { return p_ != nullptr; }
    bool operator==(const Ref &o) const { return p_ == o.p_; }

private:
    static REALobject obj(T *p) { return reinterpret_cast<REALobject>(p); }
    T *p_ = nullptr;
};

inline ObjRef make(const char *className) { return ObjRef::adopt(newObject(className)); }
inline ObjRef make(ClassInfo *cls) { return ObjRef::adopt(newObject(cls)); }

// ---- reflective properties and methods -----------------------------------------

// Properties by name (case-insensitive, walking up the class chain).
const PropertyInfo *findProperty(const ClassInfo *cls, const std::string &name);
// Value of a property; std::monostate when obj has no such property.
Value getPropValue(REALobject obj, const std::string &name);
// False when obj has no such property or it is read-only.
bool setPropValue(REALobject obj, const std::string &name, const Value &v);
// A method's function by exact declaration text, walking up the class chain.
void *findMethod(const ClassInfo *cls, const std::string &declaration);

// A framework class property backed by host functions.
void addHostProperty(ClassInfo *cls, const std::string &name, const std::string &type,
                     std::function<Value(REALobject)> get, std::function<void(REALobject, const Value &)> set = {});

// ---- events ----------------------------------------------------------------------

// Handler table by event position for an application subclass of a plug-in class.
void setEventHandlers(ClassInfo *subclass, std::vector<void *> handlers);
// The handler for `token` that obj's class (or the nearest subclass above the
// declaring class) installed, or nullptr.
void *eventHandler(REALobject obj, intptr_t token);
// Framework classes' events by name.
void setNamedHandler(ClassInfo *cls, const std::string &event, std::function<void(REALobject)> fn);
// Runs obj's own handler of the event (see below), else the named handler of
// obj's class or the nearest superclass; false if none.
bool raiseNamedEvent(REALobject obj, const std::string &event);

// Handlers of one object: a plug-in installs a plain function for an event
// of one instance by the event's name (case-insensitive). It is asked before
// the class's handler, called with the object first, and dropped with the
// object. Installing again replaces it. False for nil or an empty name or
// function.
bool installInstanceHandler(REALobject obj, const std::string &event, void *fn);
void *instanceHandler(REALobject obj, const std::string &event);  // or nullptr
// Calls obj's own handler of the event; false when it has none.
bool raiseInstanceEvent(REALobject obj, const std::string &event);

// The application object (of framework class "Application"), created on first use.
REALobject applicationObject();

}  // namespace rb
