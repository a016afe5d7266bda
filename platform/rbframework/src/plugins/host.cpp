// The resolver handed to plug-ins, the table of host services it answers
// from, and the core services: strings, objects, properties, methods, object
// arrays and memory blocks.
#include "core.h"

#include <rb/exception.h>
#include <rb/host.h>
#include <rb/memory.h>
#include <rb/thread.h>

#include <map>
#include <new>
#include <set>
#include <string>

namespace rb {

namespace {

std::map<std::string, void *> &services() {
    static std::map<std::string, void *> m;
    return m;
}
std::set<std::string> &withheld() {
    static std::set<std::string> s;
    return s;
}
std::map<std::string, void *> &globals() {
    static std::map<std::string, void *> m;
    return m;
}
double gHostVersion = 2008.0;

}  // namespace

void registerService(const char *name, void *fn) {
    if (name) services()[name] = fn;
}

extern "C" void *resolve(const char *name) {
    if (!name || withheld().count(name)) return nullptr;
    auto it = services().find(name);
    return it == services().end() ? nullptr : it->second;
}

void withholdService(const char *name) { withheld().insert(name); }
void restoreServices() { withheld().clear(); }
bool serviceWithheld(const char *name) { return withheld().count(name) != 0; }

void setHostVersion(double v) { gHostVersion = v; }
double hostVersion() { return gHostVersion; }

void addGlobalMethod(const std::string &declaration, void *fn) { globals()[declaration] = fn; }
void *findGlobalMethod(const std::string &declaration) {
    auto it = globals().find(declaration);
    return it == globals().end() ? nullptr : it->second;
}

namespace {

extern "C" {

double svcGetRBVersion() { return gHostVersion; }
void *svcGetEventInstance(REALobject obj, intptr_t token) { return eventHandler(obj, token); }
REALobject svcNewInstance(const char *className) { return className ? newObject(className) : nullptr; }
void svcRaiseException(REALobject e) { setPending(e); }

REALstring svcBuildString(const char *bytes, int length) {
    if (!bytes || length < 0) length = 0;
    return newString(std::string_view(bytes ? bytes : "", size_t(length)), kEncodingUnknown);
}
void svcLockString(REALstring s) { retainString(s); }
void svcUnlockString(REALstring s) { releaseString(s); }
void svcLockObject(REALobject o) { retain(o); }
void svcUnlockObject(REALobject o) { release(o); }
uint32_t svcGetStringEncoding(REALstring s) { return s ? s->encoding : kEncodingUnknown; }
void svcSetStringEncoding(REALstring s, uint32_t enc) {
    if (s) s->encoding = enc;
}
REALstring svcConvertString(REALstring s, uint32_t enc) { return convertString(s, enc); }
// Every font of this host draws Unicode text.
uint32_t svcGetFontEncoding(const char *) { return kEncodingUTF8; }

}  // extern "C"

// Property services: true and the value when obj has the property. A
// member that raises leaves the exception pending for the plug-in's caller.
template <class T> RBBoolean getProp(REALobject obj, const char *name, T *out, T (*conv)(const Value &)) {
    if (!obj || !name || !out) return 0;
    try {
        Value v = getPropValue(obj, name);
        if (std::holds_alternative<std::monostate>(v)) return 0;
        *out = conv(v);
        return 1;
    } catch (const Exception &e) {
        setPending(e.object());
        return 0;
    }
}

RBBoolean setProp(REALobject obj, const char *name, const Value &v) {
    if (!obj || !name) return 0;
    try {
        return setPropValue(obj, name, v) ? 1 : 0;
    } catch (const Exception &e) {
        setPending(e.object());
        return 0;
    }
}

int32_t toInt(const Value &v) {
    if (auto *i = std::get_if<int64_t>(&v)) return int32_t(*i);
    if (auto *b = std::get_if<bool>(&v)) return *b;
    if (auto *d = std::get_if<double>(&v)) return int32_t(*d);
    return 0;
}
RBBoolean toBool(const Value &v) { return toInt(v) ? 1 : 0; }
double toDouble(const Value &v) {
    if (auto *d = std::get_if<double>(&v)) return *d;
    return toInt(v);
}
REALstring toStr(const Value &v) {
    auto *s = std::get_if<String>(&v);
    if (!s) return nullptr;
    retainString(s->get());
    return s->get();
}
REALobject toObj(const Value &v) {
    auto *o = std::get_if<ObjRef>(&v);
    if (!o) return nullptr;
    retain(o->get());
    return o->get();
}

extern "C" {

RBBoolean svcGetInt(REALobject o, const char *n, int32_t *out) { return getProp(o, n, out, toInt); }
RBBoolean svcGetBool(REALobject o, const char *n, RBBoolean *out) { return getProp(o, n, out, toBool); }
RBBoolean svcGetDouble(REALobject o, const char *n, double *out) { return getProp(o, n, out, toDouble); }
RBBoolean svcGetString(REALobject o, const char *n, REALstring *out) { return getProp(o, n, out, toStr); }
RBBoolean svcGetObject(REALobject o, const char *n, REALobject *out) { return getProp(o, n, out, toObj); }
RBBoolean svcSetInt(REALobject o, const char *n, int32_t v) { return setProp(o, n, int64_t(v)); }
RBBoolean svcSetBool(REALobject o, const char *n, RBBoolean v) { return setProp(o, n, (v & 1) != 0); }
RBBoolean svcSetDouble(REALobject o, const char *n, double v) { return setProp(o, n, v); }
RBBoolean svcSetString(REALobject o, const char *n, REALstring v) { return setProp(o, n, String::retain(v)); }
RBBoolean svcSetObject(REALobject o, const char *n, REALobject v) { return setProp(o, n, ObjRef::retain(v)); }

void *svcLoadGlobalMethod(REALobject, const char *decl) { return decl ? findGlobalMethod(decl) : nullptr; }
void *svcLoadObjectMethod(REALobject obj, const char *decl) {
    return obj && decl ? findMethod(obj->klass, decl) : nullptr;
}

void svcYield() {
    try {
        yield();
    } catch (const ThreadStopped &) {
        // The thread stops at its next own yield point.
    }
}

int32_t svcUBound(REALarray a) {
    auto *o = reinterpret_cast<REALobject>(a);
    if (!o || !isA(o->klass, objectArrayClass())) return -1;
    return int32_t(fields<ObjectArrayFields>(o, objectArrayClass())->items.size()) - 1;
}
REALobject svcReadObjectArray(REALarray a, int32_t index) {
    auto *o = reinterpret_cast<REALobject>(a);
    if (!o || !isA(o->klass, objectArrayClass())) return nullptr;
    auto &items = fields<ObjectArrayFields>(o, objectArrayClass())->items;
    if (index < 0 || size_t(index) >= items.size()) return nullptr;
    retain(items[size_t(index)].get());
    return items[size_t(index)].get();
}

REALmemoryBlock svcNewMemoryBlock(int32_t size) {
    if (size < 0) return nullptr;
    try {
        return reinterpret_cast<REALmemoryBlock>(newMemoryBlock(uint32_t(size)).detach());
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}
void *svcMemoryBlockPtr(REALmemoryBlock mb) {
    auto *o = reinterpret_cast<REALobject>(mb);
    return o && isA(o->klass, memoryBlockClass()) ? memoryBlockData(o) : nullptr;
}
int32_t svcMemoryBlockSize(REALmemoryBlock mb) {
    auto *o = reinterpret_cast<REALobject>(mb);
    return o && isA(o->klass, memoryBlockClass()) ? int32_t(memoryBlockSize(o)) : 0;
}

// "REALGetStringContents"(string, size out) -> its bytes (valid while the
// string lives), nullptr for nil.
const char *svcGetStringContents(REALstring s, size_t *size) {
    if (size) *size = s ? s->bytes.size() : 0;
    return s ? s->bytes.data() : nullptr;
}

// "REALObjectIsA"(object, class name) -> whether the object is of that class
// or a subclass of it.
RBBoolean svcObjectIsA(REALobject obj, const char *className) {
    return obj && className && isA(obj, className) ? 1 : 0;
}

}  // extern "C"

}  // namespace

RB_SERVICE("REALGetRBVersion", svcGetRBVersion);
RB_SERVICE("GetEventInstance", svcGetEventInstance);
RB_SERVICE("PluginNewInstance", svcNewInstance);
RB_SERVICE("RuntimeRaiseException", svcRaiseException);
RB_SERVICE("REALBuildString", svcBuildString);
RB_SERVICE("REALLockString", svcLockString);
RB_SERVICE("REALUnlockString", svcUnlockString);
RB_SERVICE("REALLockObject", svcLockObject);
RB_SERVICE("REALUnlockObject", svcUnlockObject);
RB_SERVICE("REALGetStringEncoding", svcGetStringEncoding);
RB_SERVICE("REALSetStringEncoding", svcSetStringEncoding);
RB_SERVICE("REALConvertString", svcConvertString);
RB_SERVICE("REALGetFontEncoding", svcGetFontEncoding);
RB_SERVICE("REALGetPropValueInt", svcGetInt);
RB_SERVICE("REALGetPropValueBool", svcGetBool);
RB_SERVICE("REALGetPropValueDouble", svcGetDouble);
RB_SERVICE("REALGetPropValueString", svcGetString);
RB_SERVICE("REALGetPropValueObject", svcGetObject);
RB_SERVICE("REALSetPropValueInt", svcSetInt);
RB_SERVICE("REALSetPropValueBoolean", svcSetBool);
RB_SERVICE("REALSetPropValueDouble", svcSetDouble);
RB_SERVICE("REALSetPropValueString", svcSetString);
RB_SERVICE("REALSetPropValueObject", svcSetObject);
RB_SERVICE("REALLoadGlobalMethod", svcLoadGlobalMethod);
RB_SERVICE("REALLoadObjectMethod", svcLoadObjectMethod);
RB_SERVICE("REALYieldToRB", svcYield);
RB_SERVICE("RuntimeUBound", svcUBound);
RB_SERVICE("RuntimeDirectReadObjectArray", svcReadObjectArray);
RB_SERVICE("newMemoryBlock", svcNewMemoryBlock);
RB_SERVICE("memoryBlockGetPtr", svcMemoryBlockPtr);
RB_SERVICE("REALGetStringContents", svcGetStringContents);
RB_SERVICE("REALObjectIsA", svcObjectIsA);
RB_SERVICE("memoryBlockGetSize", svcMemoryBlockSize);

}  // namespace rb
