#include "string_functions.h"

#include "lookup.h"

using namespace hostwrap;

// Each row becomes one exported function with its own slot.
#define LOGGED(name, R, miss, res, params, args)                          \
    R name(STRIP_PARENS params) {                                        \
        static Slot _fp{nullptr};                                        \
        return loggedResolver<R>(_fp, res, R(miss), STRIP_PARENS args); \
    }
#define SIGFIRST(name, R, miss, sig, res, params, args)                             \
    R name(STRIP_PARENS params) {                                                  \
        static Slot _fp{nullptr};                                                  \
        return signatureFirst<R>(_fp, sig, res, #name, R(miss), STRIP_PARENS args); \
    }
#define RESFIRST(name, R, miss, res, sig, params, args)                           \
    R name(STRIP_PARENS params) {                                                \
        static Slot _fp{nullptr};                                                \
        return resolverFirst<R>(_fp, res, sig, res, R(miss), STRIP_PARENS args); \
    }
#define SIGONLY(name, R, miss, sig, params, args)                                       \
    R name(STRIP_PARENS params) {                                                      \
        static Slot _fp{nullptr};                                                      \
        return signatureFirst<R>(_fp, sig, nullptr, #name, R(miss), STRIP_PARENS args); \
    }
#include "string_functions.def"

namespace {

constexpr const char *kEndOfLine = "EndOfLine() as EndOfLine";

// The EndOfLine object through its global method, asked on every call.
REALobject endOfLine(const char *name) {
    void *fn = loadGlobalMethod(kEndOfLine);
    if (!fn) {
        logFailure(kDynamic, name);
        return nullptr;
    }
    return reinterpret_cast<REALobject (*)()>(fn)();
}

REALstring endOfLineProperty(const char *property, const char *name) {
    REALobject eol = endOfLine(name);
    if (!eol) return nullptr;
    REALstring s = nullptr;
    if (!getPropString(eol, property, &s)) s = nullptr;
    unlockObject(eol);
    return s;
}

}  // namespace

REALobject String_EndOfLine() { return endOfLine("String_EndOfLine"); }
REALstring String_EndOfLineMac() { return endOfLineProperty("Macintosh", "String_EndOfLineMac"); }
REALstring String_EndOfLineWindows() { return endOfLineProperty("Windows", "String_EndOfLineWindows"); }
REALstring String_EndOfLineUnix() { return endOfLineProperty("Unix", "String_EndOfLineUnix"); }
