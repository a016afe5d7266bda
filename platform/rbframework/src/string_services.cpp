// The host's string functions, under the resolver names and declaration
// signatures plug-ins look them up by. Character functions count UTF-8
// characters; the "B" functions count bytes. Positions start at 1.
#include <rb/host.h>
#include <rb/string.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace rb {
namespace {

std::string text(REALstring s) { return toStd(s); }
REALstring make(const std::string &s, REALstring like = nullptr) {
    return newString(s, like ? like->encoding : kEncodingUTF8);
}

// Byte offsets of the characters of a UTF-8 text, plus its end.
std::vector<size_t> charStarts(const std::string &t) {
    std::vector<size_t> at;
    for (size_t i = 0; i < t.size(); ++i)
        if ((uint8_t(t[i]) & 0xC0) != 0x80) at.push_back(i);
    at.push_back(t.size());
    return at;
}

std::string midChars(const std::string &t, int32_t start, int64_t length) {
    auto at = charStarts(t);
    int64_t count = int64_t(at.size()) - 1;
    if (start < 1 || start > count || length <= 0) return {};
    int64_t end = std::min<int64_t>(count, start - 1 + length);
    return t.substr(at[size_t(start - 1)], at[size_t(end)] - at[size_t(start - 1)]);
}

std::string midBytes(const std::string &t, int32_t start, int64_t length) {
    if (start < 1 || size_t(start) > t.size() || length <= 0) return {};
    return t.substr(size_t(start - 1), size_t(length));
}

std::string trimLeft(std::string t) {
    t.erase(0, t.find_first_not_of(" \t\r\n"));
    return t;
}
std::string trimRight(std::string t) {
    size_t p = t.find_last_not_of(" \t\r\n");
    t.erase(p == std::string::npos ? 0 : p + 1);
    return t;
}

std::string replace(const std::string &t, const std::string &o, const std::string &n, bool all) {
    if (o.empty()) return t;
    std::string r = t;
    size_t p = 0;
    while ((p = r.find(o, p)) != std::string::npos) {
        r.replace(p, o.size(), n);
        p += n.size();
        if (!all) break;
    }
    return r;
}

int32_t countFields(const std::string &t, const std::string &sep) {
    if (sep.empty() || t.empty()) return t.empty() ? 0 : 1;
    int32_t n = 1;
    for (size_t p = t.find(sep); p != std::string::npos; p = t.find(sep, p + sep.size())) ++n;
    return n;
}

std::string nthField(const std::string &t, const std::string &sep, int32_t n) {
    if (n < 1) return {};
    if (sep.empty()) return n == 1 ? t : std::string();
    size_t start = 0;
    for (int32_t i = 1; i < n; ++i) {
        size_t p = t.find(sep, start);
        if (p == std::string::npos) return {};
        start = p + sep.size();
    }
    size_t end = t.find(sep, start);
    return t.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// Byte position (from 1) of `find` at or after byte `start`, 0 when absent.
int32_t inStrBytes(int32_t start, const std::string &t, const std::string &f) {
    if (start < 1) start = 1;
    if (f.empty()) return 0;
    size_t p = t.find(f, size_t(start - 1));
    return p == std::string::npos ? 0 : int32_t(p + 1);
}

std::string utf8(int32_t c) {
    std::string o;
    uint32_t u = uint32_t(c);
    if (u < 0x80) o += char(u);
    else if (u < 0x800) o += {char(0xC0 | u >> 6), char(0x80 | (u & 0x3F))};
    else if (u < 0x10000) o += {char(0xE0 | u >> 12), char(0x80 | (u >> 6 & 0x3F)), char(0x80 | (u & 0x3F))};
    else o += {char(0xF0 | u >> 18), char(0x80 | (u >> 12 & 0x3F)), char(0x80 | (u >> 6 & 0x3F)), char(0x80 | (u & 0x3F))};
    return o;
}

extern "C" {
int32_t sLen(REALstring s) { return int32_t(charStarts(text(s)).size() - 1); }
int32_t sLenB(REALstring s) { return int32_t(text(s).size()); }
REALstring sMid2(REALstring s, int32_t st) { return make(midChars(text(s), st, INT32_MAX), s); }
REALstring sMid3(REALstring s, int32_t st, int32_t n) { return make(midChars(text(s), st, n), s); }
REALstring sMidB2(REALstring s, int32_t st) { return make(midBytes(text(s), st, INT32_MAX), s); }
REALstring sMidB3(REALstring s, int32_t st, int32_t n) { return make(midBytes(text(s), st, n), s); }
REALstring sLeft(REALstring s, int32_t n) { return make(midChars(text(s), 1, n), s); }
REALstring sLeftB(REALstring s, int32_t n) { return make(midBytes(text(s), 1, n), s); }
REALstring sRight(REALstring s, int32_t n) {
    int32_t len = sLen(s);
    return make(midChars(text(s), std::max(1, len - n + 1), n), s);
}
REALstring sRightB(REALstring s, int32_t n) {
    std::string t = text(s);
    size_t k = size_t(std::clamp<int64_t>(n, 0, int64_t(t.size())));
    return make(t.substr(t.size() - k), s);
}
REALstring sUpper(REALstring s) {
    std::string t = text(s);
    for (char &c : t) c = char(std::toupper(uint8_t(c)));
    return make(t, s);
}
REALstring sLower(REALstring s) {
    std::string t = text(s);
    for (char &c : t) c = char(std::tolower(uint8_t(c)));
    return make(t, s);
}
REALstring sTrim(REALstring s) { return make(trimRight(trimLeft(text(s))), s); }
REALstring sLTrim(REALstring s) { return make(trimLeft(text(s)), s); }
REALstring sRTrim(REALstring s) { return make(trimRight(text(s)), s); }
int32_t sInStrB(int32_t st, REALstring s, REALstring f) { return inStrBytes(st, text(s), text(f)); }
int32_t sInStr(int32_t st, REALstring s, REALstring f) {
    std::string t = text(s);
    auto at = charStarts(t);
    size_t from = st >= 1 && size_t(st) <= at.size() ? at[size_t(st - 1)] + 1 : 1;
    int32_t b = inStrBytes(int32_t(from), t, text(f));
    if (!b) return 0;
    return int32_t(std::lower_bound(at.begin(), at.end(), size_t(b - 1)) - at.begin()) + 1;
}
int32_t sCountFields(REALstring s, REALstring sep) { return countFields(text(s), text(sep)); }
REALstring sNthField(REALstring s, REALstring sep, int32_t n) { return make(nthField(text(s), text(sep), n), s); }
REALstring sReplace(REALstring s, REALstring o, REALstring n) { return make(replace(text(s), text(o), text(n), false), s); }
REALstring sReplaceAll(REALstring s, REALstring o, REALstring n) {
    return make(replace(text(s), text(o), text(n), true), s);
}
REALstring sAdd(REALstring a, REALstring b) { return make(text(a) + text(b), a); }
int32_t sCompare(REALstring a, REALstring b) {
    int c = text(a).compare(text(b));
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}
int32_t sStrCompare(REALstring a, REALstring b, int32_t mode) {
    if (mode == 0) {  // letter case does not count
        std::string x = text(a), y = text(b);
        for (char &c : x) c = char(std::tolower(uint8_t(c)));
        for (char &c : y) c = char(std::tolower(uint8_t(c)));
        int c = x.compare(y);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    return sCompare(a, b);
}
REALstring sStr(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return make(buf);
}
double sVal(REALstring s) { return std::strtod(text(s).c_str(), nullptr); }
int32_t sAsc(REALstring s) {
    std::string t = text(s);
    if (t.empty()) return 0;
    uint8_t b = uint8_t(t[0]);
    int n = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
    int32_t c = n == 0 ? b : b & (0x3F >> n);
    for (int i = 1; i <= n && size_t(i) < t.size(); ++i) c = c << 6 | (uint8_t(t[size_t(i)]) & 0x3F);
    return c;
}
int32_t sAscB(REALstring s) {
    std::string t = text(s);
    return t.empty() ? 0 : uint8_t(t[0]);
}
REALstring sChr(int32_t c) { return make(utf8(c)); }
REALstring sChrB(int32_t c) { return newString(std::string(1, char(uint8_t(c))), kEncodingUnknown); }
REALstring sReplaceLineEndings(REALstring s, REALstring ending) {
    std::string t = text(s), e = text(ending), out;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\r') {
            if (i + 1 < t.size() && t[i + 1] == '\n') ++i;
            out += e;
        } else if (t[i] == '\n') {
            out += e;
        } else {
            out += t[i];
        }
    }
    return make(out, s);
}
}  // extern "C"

struct Row {
    const char *resolverName;
    const char *signature;  // or nullptr
    void *fn;
};

#define F(f) reinterpret_cast<void *>(&f)
const Row kRows[] = {
    {"StringDBCSLen", nullptr, F(sLen)},
    {"StringLen", nullptr, F(sLenB)},
    {"StringDBCSMid2", "Mid(source as String, start as Integer) as String", F(sMid2)},
    {"StringDBCSMid3", "Mid(source as String, start as Integer, length as Integer) as String", F(sMid3)},
    {"StringMid2", "MidB(source as String, start as Integer) as String", F(sMidB2)},
    {"StringMid3", "MidB(source as String, start as Integer, length as Integer) as String", F(sMidB3)},
    {"StringDBCSLeft", "Left(s as String, Count as Integer) as String", F(sLeft)},
    {"StringLeft", "LeftB(s as String, Count as Integer) as String", F(sLeftB)},
    {"StringDBCSRight", "Right(s as String, Count as Integer) as String", F(sRight)},
    {"StringRight", "RightB(s as String, Count as Integer) as String", F(sRightB)},
    {"StringUCase", nullptr, F(sUpper)},
    {"StringLCase", nullptr, F(sLower)},
    {"runTrim", nullptr, F(sTrim)},
    {"runLTrim", nullptr, F(sLTrim)},
    {"runRTrim", nullptr, F(sRTrim)},
    {"StringInStr", "InStr(start as Integer, s as String, find as String) as Integer", F(sInStr)},
    {"StringInStrB", "InStrB(start as Integer, s as String, find as String) as Integer", F(sInStrB)},
    {"StringCountFields", "CountFields(source as String, seperator as String) as Integer", F(sCountFields)},
    {"StringNthField", "NthField(source as String, seperator as String, fieldNumber as Integer) as String",
     F(sNthField)},
    {"StringReplace", "Replace(s as String, old as String, nw as String) as String", F(sReplace)},
    {"StringReplaceB", "ReplaceB(s as String, old as String, nw as String) as String", F(sReplace)},
    {"StringReplaceAll", "ReplaceAll(s as String, old as String, nw as String) as String", F(sReplaceAll)},
    {"StringReplaceAllB", "ReplaceAllB(s as String, old as String, nw as String) as String", F(sReplaceAll)},
    {"RuntimeAddString", nullptr, F(sAdd)},
    {"RuntimeStringCompare", nullptr, F(sCompare)},
    {"StringStrCompare", nullptr, F(sStrCompare)},
    {"StringStr", "Str(source as Double) as String", F(sStr)},
    {"StringVal", "Val(number As String) As double", F(sVal)},
    {"StringDBCSAsc", "Asc(source as String) as Integer", F(sAsc)},
    {"StringAsc", "AscB(source as String) as Integer", F(sAscB)},
    {"StringDBCSChr", "Chr(val as integer) as String", F(sChr)},
    {"StringChr", "ChrB(val as integer) as String", F(sChrB)},
    {"RuntimeReplaceLineEndings", "ReplaceLineEndings(source as String, LineEnding as String) as String",
     F(sReplaceLineEndings)},
};

struct Install {
    Install() {
        for (const Row &r : kRows) {
            registerService(r.resolverName, r.fn);
            if (r.signature) addGlobalMethod(r.signature, r.fn);
        }
    }
} gInstall;

}  // namespace
}  // namespace rb
