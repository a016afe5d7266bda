// Runtime exceptions.
//
// Framework classes: "RuntimeException" (properties "ErrorNumber" integer and
// "Message" String) with the subclasses "NilObjectException" and
// "RuntimeError" (a plug-in member that is not available, and other runtime
// faults). Plug-in classes may extend them (e.g. "AVCException").
//
// On the C++ side an exception object travels in rb::Exception. A plug-in
// raises through the "RuntimeRaiseException" service: the exception is kept
// pending on the calling thread and thrown when the plug-in function returns
// to rb::call (or to the event loop).
#pragma once

#include <rb/object.h>

#include <exception>
#include <string>

namespace rb {

struct ExceptionFields {
    int32_t errorNumber = 0;
    String message;
};

ClassInfo *runtimeExceptionClass();

class Exception : public std::exception {
public:
    explicit Exception(ObjRef obj);
    REALobject object() const { return obj_.get(); }
    std::string className() const;
    std::string message() const;
    int32_t errorNumber() const;
    const char *what() const noexcept override { return what_.c_str(); }

private:
    ObjRef obj_;
    std::string what_;
};

// A new exception object of a RuntimeException class (nullptr if the class
// is unknown or no RuntimeException).
ObjRef newException(const char *className, const std::string &message, int32_t errorNumber = 0);

[[noreturn]] void raise(REALobject exceptionObject);  // throws rb::Exception
[[noreturn]] void raise(const char *className, const std::string &message, int32_t errorNumber = 0);

// Pending exception of this thread (set by "RuntimeRaiseException").
void setPending(REALobject exceptionObject);  // retains; replaces an older one
bool hasPending();
void clearPending();
void raisePending();  // throws the pending exception, if any, and clears it

}  // namespace rb
