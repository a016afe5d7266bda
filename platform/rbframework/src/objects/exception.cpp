// Runtime exception classes and the pending exception of each thread.
#include "core.h"

#include <rb/exception.h>

namespace rb {

void core::defineExceptionClasses(Classes &c) {
    c.runtimeException = defineClass<ExceptionFields>("RuntimeException");
    ClassInfo *re = c.runtimeException;
    addHostProperty(
        re, "ErrorNumber", "integer",
        [re](REALobject o) -> Value { return int64_t(fields<ExceptionFields>(o, re)->errorNumber); },
        [re](REALobject o, const Value &v) {
            if (auto *i = std::get_if<int64_t>(&v)) fields<ExceptionFields>(o, re)->errorNumber = int32_t(*i);
        });
    addHostProperty(
        re, "Message", "String", [re](REALobject o) -> Value { return fields<ExceptionFields>(o, re)->message; },
        [re](REALobject o, const Value &v) {
            auto *s = std::get_if<String>(&v);
            fields<ExceptionFields>(o, re)->message = s ? *s : String();
        });
    c.nilObjectException = defineSubclass("NilObjectException", re);
    c.runtimeError = defineSubclass("RuntimeError", re);
}

ClassInfo *runtimeExceptionClass() { return core::classes().runtimeException; }

Exception::Exception(ObjRef obj) : obj_(std::move(obj)) {
    what_ = "An exception of class " + className() + " was raised";
    std::string m = message();
    if (!m.empty()) what_ += ": " + m;
}

std::string Exception::className() const { return obj_ ? obj_->klass->name : "nil"; }

std::string Exception::message() const {
    Value v = getPropValue(obj_.get(), "Message");
    auto *s = std::get_if<String>(&v);
    return s ? s->str() : std::string();
}

int32_t Exception::errorNumber() const {
    Value v = getPropValue(obj_.get(), "ErrorNumber");
    auto *i = std::get_if<int64_t>(&v);
    return i ? int32_t(*i) : 0;
}

ObjRef newException(const char *className, const std::string &message, int32_t errorNumber) {
    ClassInfo *cls = findClass(className ? className : "");
    if (!cls || !isA(cls, runtimeExceptionClass())) return {};
    ObjRef e = make(cls);
    auto *f = fields<ExceptionFields>(e.get(), runtimeExceptionClass());
    f->errorNumber = errorNumber;
    f->message = String(message);
    return e;
}

void raise(REALobject exceptionObject) {
    if (!exceptionObject) raise("NilObjectException", "A nil exception was raised.");
    throw Exception(ObjRef::retain(exceptionObject));
}

void raise(const char *className, const std::string &message, int32_t errorNumber) {
    ObjRef e = newException(className, message, errorNumber);
    if (!e) e = newException("RuntimeError", message, errorNumber);
    throw Exception(e);
}

static thread_local REALobject tPending = nullptr;

void setPending(REALobject exceptionObject) {
    retain(exceptionObject);
    release(tPending);
    tPending = exceptionObject;
}

bool hasPending() { return tPending != nullptr; }

void clearPending() {
    release(tPending);
    tPending = nullptr;
}

void raisePending() {
    if (!tPending) return;
    ObjRef e = ObjRef::adopt(tPending);
    tPending = nullptr;
    throw Exception(std::move(e));
}

}  // namespace rb
