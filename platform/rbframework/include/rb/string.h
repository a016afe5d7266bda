// Host strings: reference-counted byte strings with a text encoding.
//
// A REALstring is opaque to plug-ins; they reach it only through the
// resolver's string services. Bytes may contain NUL.
#pragma once

#include <rb/plugin.h>

#include <cstdint>
#include <string>
#include <string_view>

// Text encodings, as 32-bit values.
enum : uint32_t {
    kEncodingMacRoman = 0,
    kEncodingLatin1 = 0x0500,
    kEncodingASCII = 0x0600,
    kEncodingUTF8 = 0x08000100,
    kEncodingUnknown = 0xFFFF,
};

struct REALstringStruct {
    int32_t refCount;
    uint32_t encoding;
    std::string bytes;
};

namespace rb {

// A new string with one reference owned by the caller.
REALstring newString(std::string_view bytes, uint32_t encoding = kEncodingUTF8);
void retainString(REALstring s);   // nullptr is ignored
void releaseString(REALstring s);  // frees on the last reference
std::string toStd(REALstring s);   // "" for nullptr
// A new string holding `s` converted to `encoding` (nullptr for nullptr).
// Unknown source encodings are relabelled without touching the bytes;
// characters the target cannot hold become '?'.
REALstring convertString(REALstring s, uint32_t encoding);

// RAII holder of one string reference.
class String {
public:
    String() = default;
    String(const char *text) : s_(newString(text ? text : "")) {}
    String(const std::string &text, uint32_t enc = kEncodingUTF8) : s_(newString(text, enc)) {}
    // Takes over a reference the caller owns (e.g. a plug-in's result).
    static String adopt(REALstring s) {
        String r;
        r.s_ = s;
        return r;
    }
    // Adds a reference of its own.
    static String retain(REALstring s) {
        retainString(s);
        return adopt(s);
    }
    String(const String &o) : s_(o.s_) { retainString(s_); }
    String(String &&o) noexcept : s_(o.s_) { o.s_ = nullptr; }
    String &operator=(String o) noexcept {
        std::swap(s_, o.s_);
        return *this;
    }
    ~String() { releaseString(s_); }

    REALstring get() const { return s_; }
    REALstring detach() {
        REALstring s = s_;
        s_ = nullptr;
        return s;
    }  // hand the reference on
    std::string str() const { return toStd(s_); }
    uint32_t encoding() const { return s_ ? s_->encoding : kEncodingUnknown; }
    explicit operator bool() const { return s_ != nullptr; }
    bool operator==(const String &o) const { return str() == o.str(); }

private:
    REALstring s_ = nullptr;
};

}  // namespace rb
