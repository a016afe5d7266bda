// Reading a binding text at compile time: what the member it names takes and
// gives, so that a call through its entry passes exactly the declared
// parameters (rb/entrypoints.h).
//
// Forms read (the class and its point may be absent: a global function):
//   "Class.__init" / "Class.__exit"              (object)
//   "Class.Name" / "Class.Name()"                 (object)
//   "Class.Name(p as T, q() as T, r As T = 76) as R"
//   "Class.Name(...) as R.Set"                    (object, params..., value R)
//   "Class.Prop.Get" / "Class.Prop.Set"           (object, 0[, value]); the
//                                                 property's declared type is
//                                                 given beside the text
// Types, by name in any case: integer and color (32-bit), boolean (one byte),
// string (a host string), double, single, and objects: object, the host's
// object classes and any class name; an array parameter "name()" is an
// object. A default is read for integer parameters only. Anything else
// (ByRef, ParamArray, Assigns, a 64-bit or unsigned integer type, a default of
// another type) is a form this binding does not know: the text is refused,
// and a call through it does not build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace rb {

// A text as a template argument: rb::Member<"AVC.PlayForward()">.
template <size_t N> struct Text {
    char chars[N]{};
    constexpr Text(const char (&s)[N]) {
        for (size_t i = 0; i < N; ++i) chars[i] = s[i];
    }
    constexpr explicit Text(std::string_view s) {
        for (size_t i = 0; i + 1 < N && i < s.size(); ++i) chars[i] = s[i];
    }
    constexpr std::string_view view() const { return {chars, N - 1}; }
};

// Two texts one after the other: rb::Text("Class.") + Member.
template <size_t N, size_t M> constexpr Text<N + M - 1> operator+(const Text<N> &a, const Text<M> &b) {
    Text<N + M - 1> t{std::string_view()};
    for (size_t i = 0; i + 1 < N; ++i) t.chars[i] = a.chars[i];
    for (size_t i = 0; i < M; ++i) t.chars[N - 1 + i] = b.chars[i];
    return t;
}

namespace decl {

// How a value is passed.
enum class Kind : uint8_t { Integer, Boolean, String, Double, Single, Object };

// What the function takes before the declared arguments.
enum class Form : uint8_t {
    Global,    // the arguments alone
    Method,    // the object, then the arguments (methods, lifecycle, ".Set" of a method)
    Property,  // the object, 0, then the value (setter) or nothing (getter)
};

inline constexpr int kMaxParams = 8;

struct Param {
    Kind kind = Kind::Integer;
    bool optional = false;
    int32_t fallback = 0;  // passed when the caller leaves an optional one out
    friend constexpr bool operator==(const Param &, const Param &) = default;
};

struct Signature {
    bool ok = false;
    Form form = Form::Global;
    bool hasResult = false;
    Kind result = Kind::Integer;
    int count = 0;     // arguments after the object (and 0)
    int required = 0;  // of which the caller must give the first `required`
    Param params[kMaxParams]{};
    friend constexpr bool operator==(const Signature &, const Signature &) = default;
};

constexpr char lowerChar(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

constexpr bool sameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerChar(a[i]) != lowerChar(b[i])) return false;
    return true;
}

constexpr bool isIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
constexpr bool isIdentChar(char c) { return isIdentStart(c) || (c >= '0' && c <= '9'); }

constexpr bool isIdentifier(std::string_view s) {
    if (s.empty() || !isIdentStart(s[0])) return false;
    for (char c : s)
        if (!isIdentChar(c)) return false;
    return true;
}

constexpr bool endsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// The kind of a type name; false for a name this binding does not pass.
constexpr bool kindOf(std::string_view type, Kind &kind) {
    if (!isIdentifier(type)) return false;
    constexpr std::string_view integers[] = {"integer", "color"};
    constexpr std::string_view refused[] = {"int8",    "int16",   "int32",      "int64",  "uint8",   "uint16",
                                            "uint32",  "uint64",  "uinteger",   "short",  "byte",    "ptr",
                                            "cstring", "wstring", "pstring",    "ostype", "variant", "currency",
                                            "text",    "auto",    "cfstringref"};
    for (std::string_view w : integers)
        if (sameWord(type, w)) return kind = Kind::Integer, true;
    for (std::string_view w : refused)
        if (sameWord(type, w)) return false;
    if (sameWord(type, "boolean")) kind = Kind::Boolean;
    else if (sameWord(type, "string")) kind = Kind::String;
    else if (sameWord(type, "double")) kind = Kind::Double;
    else if (sameWord(type, "single")) kind = Kind::Single;
    else kind = Kind::Object;  // object, folderitem, picture, window, a class name...
    return true;
}

// A small reader over one declaration.
struct Reader {
    std::string_view s;
    size_t at = 0;

    constexpr bool done() const { return at >= s.size(); }
    constexpr void spaces() {
        while (!done() && s[at] == ' ') ++at;
    }
    constexpr bool take(char c) {
        if (done() || s[at] != c) return false;
        ++at;
        return true;
    }
    constexpr std::string_view word() {
        size_t from = at;
        while (!done() && isIdentChar(s[at])) ++at;
        return s.substr(from, at - from);
    }
    // " as Type" (the word "as" in any case); false when it is not there.
    constexpr bool asType(Kind &kind) {
        size_t back = at;
        spaces();
        if (at == back) return false;
        if (!sameWord(word(), "as")) return at = back, false;
        size_t before = at;
        spaces();
        if (at == before) return false;
        return kindOf(word(), kind);
    }
    constexpr bool integer(int32_t &v) {
        bool negative = take('-');
        int64_t n = 0;
        size_t from = at;
        while (!done() && s[at] >= '0' && s[at] <= '9' && n <= INT32_MAX) n = n * 10 + (s[at++] - '0');
        if (at == from || n > INT32_MAX) return false;
        v = int32_t(negative ? -n : n);
        return true;
    }
};

// One parameter: "name as T", "name() as T" or "name as integer = 5".
constexpr bool readParam(Reader &r, Param &p) {
    r.spaces();
    if (!isIdentifier(r.word())) return false;
    bool array = r.take('(');
    if (array && !r.take(')')) return false;
    if (!r.asType(p.kind)) return false;
    if (array) p.kind = Kind::Object;  // an array is a host object
    size_t back = r.at;
    r.spaces();
    if (r.take('=')) {
        if (p.kind != Kind::Integer) return false;
        r.spaces();
        if (!r.integer(p.fallback)) return false;
        p.optional = true;
    } else {
        r.at = back;
    }
    r.spaces();
    return true;
}

// "Name", "Name()", "Name(params)", each with an optional " as R".
constexpr bool readMethod(std::string_view decl, Signature &sig) {
    Reader r{decl};
    if (!isIdentifier(r.word())) return false;
    if (r.take('(')) {
        r.spaces();
        if (!r.take(')')) {
            for (;;) {
                if (sig.count == kMaxParams) return false;
                Param &p = sig.params[sig.count++];
                if (!readParam(r, p)) return false;
                if (!p.optional) {
                    if (sig.required != sig.count - 1) return false;  // a required one after an optional one
                    sig.required = sig.count;
                }
                if (r.take(')')) break;
                if (!r.take(',')) return false;
            }
        }
    }
    if (!r.done()) {
        if (!r.asType(sig.result)) return false;
        sig.hasResult = true;
    }
    return r.done();
}

// Reads a binding text; `propertyType` is the declared type of the property a
// "Class.Prop.Get" / "Class.Prop.Set" text names (empty for other texts).
constexpr Signature parse(std::string_view text, std::string_view propertyType = {}) {
    Signature sig;
    size_t dot = 0;
    while (dot < text.size() && isIdentChar(text[dot])) ++dot;
    bool hasClass = dot < text.size() && text[dot] == '.' && dot > 0;
    std::string_view member = hasClass ? text.substr(dot + 1) : text;
    sig.form = hasClass ? Form::Method : Form::Global;

    if (hasClass && (member == "__init" || member == "__exit")) {
        sig.ok = true;
        return sig;
    }
    bool get = endsWith(member, ".Get"), set = endsWith(member, ".Set");
    std::string_view body = get || set ? member.substr(0, member.size() - 4) : member;
    if (hasClass && (get || set) && isIdentifier(body)) {  // "Class.Prop.Get"
        Kind kind{};
        if (!kindOf(propertyType, kind)) return sig;
        sig.form = Form::Property;
        if (get) sig.hasResult = true, sig.result = kind;
        else sig.count = sig.required = 1, sig.params[0].kind = kind;
        sig.ok = true;
        return sig;
    }
    if (!propertyType.empty()) return sig;  // a type given for a text that is no property
    if (get) return sig;                    // a method's getter is the method itself
    if (!readMethod(body, sig)) return sig;
    if (set) {  // the setter of a method-style property: the arguments, then the value
        if (!hasClass || !sig.hasResult || sig.count != sig.required || sig.count == kMaxParams) return sig;
        sig.params[sig.count++].kind = sig.result;
        sig.required = sig.count;
        sig.hasResult = false;
    }
    sig.ok = true;
    return sig;
}

}  // namespace decl
}  // namespace rb
