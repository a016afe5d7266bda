#include "xstring.h"

#include "resolver.h"
#include "string_functions.h"

#include <cstring>

namespace {

// A host service kept by the calling function once found.
#define SERVICE(var, type, name)                  \
    static HostService<type> var##_service(name); \
    auto var = var##_service.get()

REALstring build(const char *bytes, size_t length) {
    SERVICE(fn, REALstring(*)(const char *, int), "REALBuildString");
    return fn ? fn(bytes, int(length)) : nullptr;
}

// The host string's own bytes (writable: XString::setat writes into them).
char *bytesOf(REALstring s, size_t *length) {
    SERVICE(fn, const char *(*)(REALstring, size_t *), "REALGetStringContents");
    *length = 0;
    return s && fn ? const_cast<char *>(fn(s, length)) : nullptr;
}

void unlockString(REALstring s) {
    SERVICE(fn, void (*)(REALstring), "REALUnlockString");
    if (fn && s) fn(s);
}

}  // namespace

XString::XString(const char *text) : s_(text ? build(text, std::strlen(text)) : nullptr) {}

XString::XString(const unsigned char *pascal)
    : s_(pascal ? build(reinterpret_cast<const char *>(pascal + 1), pascal[0]) : nullptr) {}

XString::XString(unsigned long code) {
    const char bytes[4] = {char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
    s_ = build(bytes, 4);
}

XString::operator unsigned long() const {
    size_t n = 0;
    const char *b = bytesOf(s_, &n);
    unsigned long code = 0;
    for (size_t i = 0; i < 4; ++i) code = code << 8 | (i < n && b ? uint8_t(b[i]) : 0x20);
    return code;
}

XString::operator const char *() const {
    size_t n = 0;
    const char *b = bytesOf(s_, &n);
    return b ? b : "";
}

XString::operator const unsigned char *() const {
    size_t n = 0;
    const char *b = bytesOf(s_, &n);
    if (n > 255) n = 255;
    thread_local unsigned char pascal[256];  // keeps XString one pointer wide
    pascal[0] = uint8_t(n);
    if (b) std::memcpy(pascal + 1, b, n);
    return pascal;
}

char XString::getat(long pos) const {
    size_t n = 0;
    const char *b = bytesOf(s_, &n);
    return b && pos >= 0 && size_t(pos) < n ? b[pos] : 0;
}

void XString::setat(long pos, char ch) {
    size_t n = 0;
    char *b = bytesOf(s_, &n);
    if (b && pos >= 0 && size_t(pos) < n) b[pos] = ch;
}

long XString::length() const {
    size_t n = 0;
    bytesOf(s_, &n);
    return long(n);
}

long XString::len() const { return String_Len(s_); }
long XString::lenB() const { return String_LenB(s_); }

void XString::lock() {
    SERVICE(fn, void (*)(REALstring), "REALLockString");
    if (fn && s_) fn(s_);
}

void XString::unlock() { unlockString(s_); }

long XString::compare(const XString &o) const { return String_StringCompare(s_, o.s_); }
long XString::compare(const XString &o, long mode) const { return String_StrCompare(s_, o.s_, int32_t(mode)); }
double XString::val() const { return String_Val(s_); }
long XString::asc() const { return String_Asc(s_); }
long XString::ascB() const { return String_AscB(s_); }
long XString::instr(long start, const XString &f) const { return String_InStr(int32_t(start), s_, f.s_); }
long XString::instrB(long start, const XString &f) const { return String_InStrB(int32_t(start), s_, f.s_); }
long XString::countfields(const XString &sep) const { return String_CountFields(s_, sep.s_); }

uint32_t XString::encoding() const {
    SERVICE(fn, uint32_t(*)(REALstring), "REALGetStringEncoding");
    return fn && s_ ? fn(s_) : 0xFFFF;
}

void XString::encoding(uint32_t value) {
    SERVICE(fn, void (*)(REALstring, uint32_t), "REALSetStringEncoding");
    if (fn && s_) fn(s_, value);
}

uint32_t XString::fontencoding() const {
    SERVICE(fn, uint32_t(*)(const char *), "REALGetFontEncoding");
    return fn ? fn(static_cast<const char *>(*this)) : 0xFFFF;
}

// Releases the string held before and holds the result.
XString XString::hold(REALstring result) {
    unlockString(s_);
    s_ = result;
    return *this;
}

XString XString::add(const XString &s) { return hold(String_AddString(s_, s.s_)); }
XString XString::left(long n) { return hold(String_Left(s_, int32_t(n))); }
XString XString::leftB(long n) { return hold(String_LeftB(s_, int32_t(n))); }
XString XString::mid(long st) { return hold(String_Mid(s_, int32_t(st))); }
XString XString::mid(long st, long n) { return hold(String_Mid(s_, int32_t(st), int32_t(n))); }
XString XString::midB(long st) { return hold(String_MidB(s_, int32_t(st))); }
XString XString::midB(long st, long n) { return hold(String_MidB(s_, int32_t(st), int32_t(n))); }
XString XString::replace(const XString &o, const XString &n) { return hold(String_Replace(s_, o.s_, n.s_)); }
XString XString::replaceB(const XString &o, const XString &n) { return hold(String_ReplaceB(s_, o.s_, n.s_)); }
XString XString::replaceall(const XString &o, const XString &n) { return hold(String_ReplaceAll(s_, o.s_, n.s_)); }
XString XString::replaceallB(const XString &o, const XString &n) { return hold(String_ReplaceAllB(s_, o.s_, n.s_)); }
XString XString::chr(long code) { return hold(String_Chr(int32_t(code))); }
XString XString::chrB(long code) { return hold(String_ChrB(int32_t(code))); }
XString XString::uppercase() { return hold(String_UpperCase(s_)); }
XString XString::lowercase() { return hold(String_LowerCase(s_)); }
XString XString::ltrim() { return hold(String_LTrim(s_)); }
XString XString::trim() { return hold(String_Trim(s_)); }
XString XString::rtrim() { return hold(String_RTrim(s_)); }
XString XString::nthfield(const XString &sep, long n) { return hold(String_NthField(s_, sep.s_, int32_t(n))); }

XString XString::replacelineendings() {
    REALobject eol = String_EndOfLine();
    REALstring ending = nullptr;
    if (eol) {
        // The host's default line ending is the EndOfLine object's text.
        SERVICE(get, RBBoolean(*)(REALobject, const char *, REALstring *), "REALGetPropValueString");
        if (get && !(get(eol, "Unix", &ending) & 1)) ending = nullptr;
        SERVICE(unlock, void (*)(REALobject), "REALUnlockObject");
        if (unlock) unlock(eol);
    }
    XString r = hold(String_ReplaceLineEndings(s_, ending));
    unlockString(ending);
    return r;
}

XString XString::convertencoding(uint32_t enc) {
    SERVICE(fn, REALstring(*)(REALstring, uint32_t), "REALConvertString");
    return hold(fn && s_ ? fn(s_, enc) : nullptr);
}

XString XString::decodebase64() { return hold(String_DecodeBase64(s_)); }
XString XString::encodebase64() { return hold(String_EncodeBase64(s_)); }

// These two do not release the string held before.
XString XString::str(double x) {
    s_ = String_Str(x);
    return *this;
}

XString XString::format(double x, XString fmt) {
    s_ = String_Format(x, fmt.s_);
    fmt.unlock();
    return *this;
}
