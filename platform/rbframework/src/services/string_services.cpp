// The host's string functions, as plug-ins reach them: by internal resolver
// name ("StringDBCSMid2", "StringInStr", ...) and as global methods by
// declaration ("Mid(source as String, start as Integer) as String", ...).
//
// Every string result is a new string with one reference for the caller.
// Character positions are 1-based; the plain functions count characters of
// the string's encoding (UTF-8 sequences; one byte in MacRoman, Latin-1,
// ASCII or an unknown encoding), the "B" functions count bytes. Searching,
// replacing and field functions without "B" ignore letter case. A nil string
// reads as empty.
#include "objects/number_text.h"

#include <rb/host.h>
#include <rb/object.h>
#include <rb/string.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace rb {
namespace {

using Bytes = std::string;

const Bytes &bytesOf(REALstring s) {
    static const Bytes empty;
    return s ? s->bytes : empty;
}
uint32_t encodingOf(REALstring s) { return s ? s->encoding : kEncodingUTF8; }
REALstring make(Bytes b, uint32_t enc) { return newString(b, enc); }

// Byte offsets where each character starts, plus the end.
std::vector<size_t> charStarts(REALstring s) {
    const Bytes &b = bytesOf(s);
    std::vector<size_t> starts;
    bool utf8 = encodingOf(s) == kEncodingUTF8;
    for (size_t i = 0; i < b.size(); ++i)
        if (!utf8 || (static_cast<unsigned char>(b[i]) & 0xC0) != 0x80) starts.push_back(i);
    starts.push_back(b.size());
    return starts;
}

char fold(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Position of `find` in `text` at or after byte `from`, or npos.
size_t search(const Bytes &text, const Bytes &find, size_t from, bool ignoreCase) {
    if (find.empty() || from > text.size()) return Bytes::npos;
    if (!ignoreCase) return text.find(find, from);
    for (size_t i = from; i + find.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < find.size() && fold(text[i + k]) == fold(find[k])) ++k;
        if (k == find.size()) return i;
    }
    return Bytes::npos;
}

int compareBytes(const Bytes &a, const Bytes &b, bool ignoreCase) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(ignoreCase ? fold(a[i]) : a[i]);
        unsigned char y = static_cast<unsigned char>(ignoreCase ? fold(b[i]) : b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// ---- pieces -------------------------------------------------------------------

REALstring midChars(REALstring s, int32_t start, int32_t length) {
    std::vector<size_t> st = charStarts(s);
    int64_t count = int64_t(st.size()) - 1;
    int64_t from = start < 1 ? 0 : int64_t(start) - 1;
    if (from > count) from = count;
    int64_t n = length < 0 ? count - from : std::min<int64_t>(length, count - from);
    return make(bytesOf(s).substr(st[from], st[from + n] - st[from]), encodingOf(s));
}

REALstring midBytes(REALstring s, int32_t start, int32_t length) {
    const Bytes &b = bytesOf(s);
    size_t from = start < 1 ? 0 : std::min<size_t>(size_t(start) - 1, b.size());
    size_t n = length < 0 ? Bytes::npos : size_t(length);
    return make(b.substr(from, n), encodingOf(s));
}

extern "C" REALstring svcMid2(REALstring s, int32_t start) { return midChars(s, start, -1); }
extern "C" REALstring svcMid3(REALstring s, int32_t start, int32_t n) { return midChars(s, start, n < 0 ? 0 : n); }
extern "C" REALstring svcMidB2(REALstring s, int32_t start) { return midBytes(s, start, -1); }
extern "C" REALstring svcMidB3(REALstring s, int32_t start, int32_t n) { return midBytes(s, start, n < 0 ? 0 : n); }
extern "C" REALstring svcLeft(REALstring s, int32_t n) { return midChars(s, 1, n < 0 ? 0 : n); }
extern "C" REALstring svcLeftB(REALstring s, int32_t n) { return midBytes(s, 1, n < 0 ? 0 : n); }

extern "C" REALstring svcRight(REALstring s, int32_t n) {
    int64_t count = int64_t(charStarts(s).size()) - 1;
    if (n < 0) n = 0;
    int64_t from = count - n < 0 ? 0 : count - n;
    return midChars(s, int32_t(from + 1), -1);
}

extern "C" REALstring svcRightB(REALstring s, int32_t n) {
    const Bytes &b = bytesOf(s);
    size_t k = n < 0 ? 0 : std::min<size_t>(size_t(n), b.size());
    return make(b.substr(b.size() - k), encodingOf(s));
}

extern "C" int32_t svcLen(REALstring s) { return int32_t(charStarts(s).size() - 1); }
extern "C" int32_t svcLenB(REALstring s) { return int32_t(bytesOf(s).size()); }

// The first character's code (UTF-8 decoded), 0 for an empty string.
extern "C" int32_t svcAsc(REALstring s) {
    const Bytes &b = bytesOf(s);
    if (b.empty()) return 0;
    unsigned char c = static_cast<unsigned char>(b[0]);
    if (encodingOf(s) != kEncodingUTF8 || c < 0x80) return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    int32_t code = c & (0x3F >> extra);
    for (int i = 1; i <= extra && size_t(i) < b.size(); ++i) code = (code << 6) | (b[i] & 0x3F);
    return code;
}
extern "C" int32_t svcAscB(REALstring s) { return bytesOf(s).empty() ? 0 : static_cast<unsigned char>(bytesOf(s)[0]); }

// A one-character UTF-8 string; nothing for codes outside Unicode.
extern "C" REALstring svcChr(int32_t code) {
    Bytes out;
    uint32_t c = uint32_t(code);
    if (code < 0 || c > 0x10FFFF) {
    } else if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
    return make(out, kEncodingUTF8);
}
extern "C" REALstring svcChrB(int32_t code) { return make(Bytes(1, char(code & 0xFF)), kEncodingUnknown); }

// ---- searching and fields -------------------------------------------------------

int32_t inStr(int32_t start, REALstring s, REALstring find, bool chars) {
    const Bytes &b = bytesOf(s);
    std::vector<size_t> st = chars ? charStarts(s) : std::vector<size_t>{};
    size_t count = chars ? st.size() - 1 : b.size();
    size_t from = start < 1 ? 0 : size_t(start) - 1;
    if (from > count) return 0;
    size_t at = search(b, bytesOf(find), chars ? st[from] : from, chars);
    if (at == Bytes::npos) return 0;
    if (!chars) return int32_t(at + 1);
    size_t index = 0;
    while (st[index] < at) ++index;
    return int32_t(index + 1);
}
extern "C" int32_t svcInStr(int32_t start, REALstring s, REALstring find) { return inStr(start, s, find, true); }
extern "C" int32_t svcInStrB(int32_t start, REALstring s, REALstring find) { return inStr(start, s, find, false); }

REALstring replace(REALstring s, REALstring oldText, REALstring newText, bool all, bool ignoreCase) {
    const Bytes &b = bytesOf(s), &o = bytesOf(oldText), &n = bytesOf(newText);
    Bytes out;
    size_t pos = 0;
    for (;;) {
        size_t at = search(b, o, pos, ignoreCase);
        if (at == Bytes::npos) break;
        out.append(b, pos, at - pos);
        out += n;
        pos = at + o.size();
        if (!all) break;
    }
    out.append(b, pos, Bytes::npos);
    return make(out, encodingOf(s));
}
extern "C" REALstring svcReplace(REALstring s, REALstring o, REALstring n) { return replace(s, o, n, false, true); }
extern "C" REALstring svcReplaceB(REALstring s, REALstring o, REALstring n) { return replace(s, o, n, false, false); }
extern "C" REALstring svcReplaceAll(REALstring s, REALstring o, REALstring n) { return replace(s, o, n, true, true); }
extern "C" REALstring svcReplaceAllB(REALstring s, REALstring o, REALstring n) { return replace(s, o, n, true, false); }

std::vector<Bytes> fields(REALstring s, REALstring separator) {
    const Bytes &b = bytesOf(s), &sep = bytesOf(separator);
    std::vector<Bytes> out;
    if (b.empty()) return out;
    if (sep.empty()) return {b};
    size_t pos = 0;
    for (;;) {
        size_t at = search(b, sep, pos, true);
        if (at == Bytes::npos) break;
        out.push_back(b.substr(pos, at - pos));
        pos = at + sep.size();
    }
    out.push_back(b.substr(pos));
    return out;
}
// Fields of an empty text: none.
extern "C" int32_t svcCountFields(REALstring s, REALstring separator) { return int32_t(fields(s, separator).size()); }
extern "C" REALstring svcNthField(REALstring s, REALstring separator, int32_t n) {
    std::vector<Bytes> f = fields(s, separator);
    return make(n >= 1 && size_t(n) <= f.size() ? f[size_t(n) - 1] : Bytes(), encodingOf(s));
}

// ---- case, trimming, line endings, joining ---------------------------------------

// ASCII letters, and in UTF-8 the Latin-1 letters U+00C0..U+00FE.
REALstring changeCase(REALstring s, bool upper) {
    Bytes b = bytesOf(s);
    bool utf8 = encodingOf(s) == kEncodingUTF8;
    for (size_t i = 0; i < b.size(); ++i) {
        char &c = b[i];
        if (upper && c >= 'a' && c <= 'z') c = char(c - 32);
        else if (!upper && c >= 'A' && c <= 'Z') c = char(c + 32);
        else if (utf8 && static_cast<unsigned char>(c) == 0xC3 && i + 1 < b.size()) {
            unsigned char d = static_cast<unsigned char>(b[i + 1]);
            if (upper && d >= 0xA0 && d <= 0xBE && d != 0xB7) b[i + 1] = char(d - 0x20);
            else if (!upper && d >= 0x80 && d <= 0x9E && d != 0x97) b[i + 1] = char(d + 0x20);
            ++i;
        }
    }
    return make(b, encodingOf(s));
}
extern "C" REALstring svcUCase(REALstring s) { return changeCase(s, true); }
extern "C" REALstring svcLCase(REALstring s) { return changeCase(s, false); }

const char kSpace[] = " \t\r\n\f\v";
REALstring trim(REALstring s, bool left, bool right) {
    const Bytes &b = bytesOf(s);
    size_t from = left ? b.find_first_not_of(kSpace) : 0;
    if (from == Bytes::npos) return make(Bytes(), encodingOf(s));
    size_t to = right ? b.find_last_not_of(kSpace) + 1 : b.size();
    return make(b.substr(from, to - from), encodingOf(s));
}
extern "C" REALstring svcLTrim(REALstring s) { return trim(s, true, false); }
extern "C" REALstring svcTrim(REALstring s) { return trim(s, true, true); }
extern "C" REALstring svcRTrim(REALstring s) { return trim(s, false, true); }

// CR LF, CR and LF each become `ending`.
extern "C" REALstring svcReplaceLineEndings(REALstring s, REALstring ending) {
    const Bytes &b = bytesOf(s), &e = bytesOf(ending);
    Bytes out;
    for (size_t i = 0; i < b.size(); ++i) {
        if (b[i] == '\r') {
            out += e;
            if (i + 1 < b.size() && b[i + 1] == '\n') ++i;
        } else if (b[i] == '\n') {
            out += e;
        } else {
            out += b[i];
        }
    }
    return make(out, encodingOf(s));
}

// The second string in the first one's encoding, unless either is unknown.
extern "C" REALstring svcAddString(REALstring a, REALstring b) {
    if (!a || a->bytes.empty()) return make(bytesOf(b), encodingOf(b));
    Bytes tail = bytesOf(b);
    if (b && b->encoding != a->encoding && b->encoding != kEncodingUnknown && a->encoding != kEncodingUnknown) {
        REALstring c = convertString(b, a->encoding);
        tail = c->bytes;
        releaseString(c);
    }
    return make(a->bytes + tail, a->encoding);
}

// -1, 0 or 1; the comparison operator ignores case, StrComp mode 0 does not.
extern "C" int32_t svcStringCompare(REALstring a, REALstring b) { return compareBytes(bytesOf(a), bytesOf(b), true); }
extern "C" int32_t svcStrCompare(REALstring a, REALstring b, int32_t mode) {
    return compareBytes(bytesOf(a), bytesOf(b), mode != 0);
}

// ---- numbers ----------------------------------------------------------------------

// Seven significant digits, the exponent without leading zeros ("1.234568e+7").
extern "C" REALstring svcStr(double x) {
    char buf[64];
    Bytes t(buf, std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 7).ptr);
    size_t e = t.find('e');
    if (e != Bytes::npos && e + 2 < t.size()) {
        size_t d = e + 2;
        while (d + 1 < t.size() && t[d] == '0') t.erase(d, 1);
    }
    return make(t, kEncodingASCII);
}

// The leading number of the text (after blanks), "&h", "&o" and "&b" radix
// prefixes included; 0 when there is none.
extern "C" double svcVal(REALstring s) {
    Bytes b = bytesOf(s);
    size_t i = b.find_first_not_of(" \t");
    if (i == Bytes::npos) return 0;
    const char *p = b.c_str() + i;
    if (p[0] == '&' && p[1]) {
        int base = (p[1] | 0x20) == 'h' ? 16 : (p[1] | 0x20) == 'o' ? 8 : (p[1] | 0x20) == 'b' ? 2 : 0;
        if (!base) return 0;
        return double(std::strtoull(p + 2, nullptr, base));
    }
    return core::readNumber(p);
}

// Format patterns: '#' digit if any, '0' digit always, '.' the decimal point,
// ',' thousands separators, '%' times 100, '+' the sign, '-' a minus when
// negative, '\' quotes the next character; others are copied. Up to three
// sections: positive;negative;zero.
Bytes formatNumber(double x, const Bytes &pattern) {
    std::vector<Bytes> sections(1);
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\\' && i + 1 < pattern.size()) {
            sections.back() += pattern.substr(i, 2);
            ++i;
        } else if (pattern[i] == ';') {
            sections.emplace_back();
        } else {
            sections.back() += pattern[i];
        }
    }
    Bytes sec = sections[0];
    bool signShown = false;
    if (x == 0 && sections.size() > 2) sec = sections[2];
    else if (x < 0 && sections.size() > 1) sec = sections[1], signShown = true;
    bool negative = x < 0;
    double v = std::fabs(x);

    int intMin = 0, fracMin = 0, fracMax = 0;
    bool dot = false, thousands = false, percent = false;
    size_t first = Bytes::npos, last = 0;
    for (size_t i = 0; i < sec.size(); ++i) {
        char c = sec[i];
        if (c == '\\') {
            ++i;
            continue;
        }
        if (c == '#' || c == '0' || (c == '.' && !dot) || c == ',') {
            if (first == Bytes::npos) first = i;
            last = i;
        }
        if (c == '.' && !dot) dot = true;
        else if (c == '0' && dot) ++fracMin, ++fracMax;
        else if (c == '0') ++intMin;
        else if (c == '#' && dot) ++fracMax;
        else if (c == ',') thousands = true;
        else if (c == '%') percent = true;
        else if (c == '+' || c == '-') signShown = true;
    }
    if (percent) v *= 100;
    Bytes number;
    if (first != Bytes::npos) {
        // Room for the whole digits of the largest double, the point and the fraction.
        Bytes digits(size_t(std::numeric_limits<double>::max_exponent10) + 3 + size_t(fracMax), '\0');
        char *end =
            std::to_chars(digits.data(), digits.data() + digits.size(), v, std::chars_format::fixed, fracMax).ptr;
        digits.resize(size_t(end - digits.data()));
        size_t point = digits.find('.');
        Bytes ip = digits.substr(0, point), fp = point == Bytes::npos ? "" : digits.substr(point + 1);
        while (fp.size() > size_t(fracMin) && fp.back() == '0') fp.pop_back();
        size_t nz = ip.find_first_not_of('0');
        ip = nz == Bytes::npos ? "" : ip.substr(nz);
        while (ip.size() < size_t(intMin)) ip.insert(0, 1, '0');
        if (thousands)
            for (int k = int(ip.size()) - 3; k > 0; k -= 3) ip.insert(size_t(k), 1, ',');
        number = ip + (fp.empty() ? "" : "." + fp);
    }
    Bytes out;
    if (negative && !signShown) out += '-';
    for (size_t i = 0; i < sec.size(); ++i) {
        char c = sec[i];
        if (first != Bytes::npos && i >= first && i <= last) {
            if (i == first) out += number;
            continue;
        }
        if (c == '\\' && i + 1 < sec.size()) out += sec[++i];
        else if (c == '+') out += negative ? '-' : '+';
        else if (c == '-') out += negative ? "-" : "";
        else out += c;
    }
    return out;
}
extern "C" REALstring svcFormat(double x, REALstring pattern) {
    return make(formatNumber(x, bytesOf(pattern)), kEncodingASCII);
}

// ---- Base64 -----------------------------------------------------------------------

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

extern "C" REALstring svcEncodeBase64(REALstring s, REALobject /*encoding*/) {
    const Bytes &b = bytesOf(s);
    Bytes out;
    for (size_t i = 0; i < b.size(); i += 3) {
        uint32_t w = uint32_t(static_cast<unsigned char>(b[i])) << 16;
        if (i + 1 < b.size()) w |= uint32_t(static_cast<unsigned char>(b[i + 1])) << 8;
        if (i + 2 < b.size()) w |= static_cast<unsigned char>(b[i + 2]);
        out += kBase64[(w >> 18) & 63];
        out += kBase64[(w >> 12) & 63];
        out += i + 1 < b.size() ? kBase64[(w >> 6) & 63] : '=';
        out += i + 2 < b.size() ? kBase64[w & 63] : '=';
    }
    return make(out, kEncodingASCII);
}

// Characters outside the alphabet (line breaks, padding) are skipped.
extern "C" REALstring svcDecodeBase64(REALstring s, REALobject /*encoding*/) {
    Bytes out;
    uint32_t acc = 0;
    int bits = 0;
    for (char c : bytesOf(s)) {
        const char *p = c ? std::strchr(kBase64, c) : nullptr;
        if (!p) continue;
        acc = (acc << 6) | uint32_t(p - kBase64);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += char((acc >> bits) & 0xFF);
        }
    }
    return make(out, kEncodingUnknown);
}

// ---- EndOfLine ----------------------------------------------------------------------

// "EndOfLine() as EndOfLine": a new EndOfLine object (one reference for the
// caller) with the String properties Macintosh, Windows and Unix.
extern "C" REALobject svcEndOfLine() {
    ClassInfo *cls = findClass("EndOfLine");
    if (!cls) {
        cls = defineClassRaw("EndOfLine", nullptr, 0, 1);
        if (!cls) return nullptr;
        addHostProperty(cls, "Macintosh", "String", [](REALobject) { return Value(String("\r")); });
        addHostProperty(cls, "Windows", "String", [](REALobject) { return Value(String("\r\n")); });
        addHostProperty(cls, "Unix", "String", [](REALobject) { return Value(String("\n")); });
    }
    return newObject(cls);
}

// ---- registration ---------------------------------------------------------------------

struct Entry {
    const char *resolverName;  // or nullptr
    const char *declaration;   // or nullptr
    void *fn;
};

#define FN(f) reinterpret_cast<void *>(&f)
const Entry kEntries[] = {
    {"RuntimeAddString", nullptr, FN(svcAddString)},
    {"RuntimeStringCompare", nullptr, FN(svcStringCompare)},
    {"StringStrCompare", nullptr, FN(svcStrCompare)},
    {"StringStr", "Str(source as Double) as String", FN(svcStr)},
    {"StringVal", "Val(number As String) As double", FN(svcVal)},
    {"StringDBCSMid2", "Mid(source as String, start as Integer) as String", FN(svcMid2)},
    {"StringDBCSMid3", "Mid(source as String, start as Integer, length as Integer) as String", FN(svcMid3)},
    {"StringMid2", "MidB(source as String, start as Integer) as String", FN(svcMidB2)},
    {"StringMid3", "MidB(source as String, start as Integer, length as Integer) as String", FN(svcMidB3)},
    {"StringDBCSAsc", "Asc(source as String) as Integer", FN(svcAsc)},
    {"StringAsc", "AscB(source as String) as Integer", FN(svcAscB)},
    {"StringDBCSChr", "Chr(val as integer) as String", FN(svcChr)},
    {"StringChr", "ChrB(val as integer) as String", FN(svcChrB)},
    {"StringFormat", "Format(value As Double, format As String) as String", FN(svcFormat)},
    {nullptr, "DecodeBase64(s As String, encoding As TextEncoding = nil) as String", FN(svcDecodeBase64)},
    {nullptr, "EncodeBase64(s As String, encoding As TextEncoding = nil) as String", FN(svcEncodeBase64)},
    {"StringCountFields", "CountFields(source as String, seperator as String) as Integer", FN(svcCountFields)},
    {"StringNthField", "NthField(source as String, seperator as String, fieldNumber as Integer) as String",
     FN(svcNthField)},
    {"StringReplaceAll", "ReplaceAll(s as String, old as String, nw as String) as String", FN(svcReplaceAll)},
    {"StringReplaceAllB", "ReplaceAllB(s as String, old as String, nw as String) as String", FN(svcReplaceAllB)},
    {"StringReplace", "Replace(s as String, old as String, nw as String) as String", FN(svcReplace)},
    {"StringReplaceB", "ReplaceB(s as String, old as String, nw as String) as String", FN(svcReplaceB)},
    {"StringInStr", "InStr(start as Integer, s as String, find as String) as Integer", FN(svcInStr)},
    {"StringInStrB", "InStrB(start as Integer, s as String, find as String) as Integer", FN(svcInStrB)},
    {"StringDBCSLeft", "Left(s as String, Count as Integer) as String", FN(svcLeft)},
    {"StringLeft", "LeftB(s as String, Count as Integer) as String", FN(svcLeftB)},
    {"StringDBCSRight", "Right(s as String, Count as Integer) as String", FN(svcRight)},
    {"StringRight", "RightB(s as String, Count as Integer) as String", FN(svcRightB)},
    {"StringUCase", nullptr, FN(svcUCase)},
    {"StringLCase", nullptr, FN(svcLCase)},
    {"StringDBCSLen", nullptr, FN(svcLen)},
    {"StringLen", nullptr, FN(svcLenB)},
    {"runLTrim", nullptr, FN(svcLTrim)},
    {"runTrim", nullptr, FN(svcTrim)},
    {"runRTrim", nullptr, FN(svcRTrim)},
    {"RuntimeReplaceLineEndings", "ReplaceLineEndings(source as String, LineEnding as String) as String",
     FN(svcReplaceLineEndings)},
    {nullptr, "EndOfLine() as EndOfLine", FN(svcEndOfLine)},
};
#undef FN

struct Registrar {
    Registrar() {
        for (const Entry &e : kEntries) {
            if (e.resolverName) registerService(e.resolverName, e.fn);
            if (e.declaration) addGlobalMethod(e.declaration, e.fn);
        }
    }
} registrar;

}  // namespace
}  // namespace rb
