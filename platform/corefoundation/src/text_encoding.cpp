// Text in the encodings CF strings take: decoding bytes to UTF-16 and
// encoding UTF-16 back, in ASCII, ISO Latin 1, Mac OS Roman and UTF-8.
#include "text_encoding.h"

#include <cstdint>

namespace fw::text {

namespace {

// Mac OS Roman bytes 0x80..0xFF as UTF-16 units.
const char16_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5,
    0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, 0x00F2, 0x00F4,
    0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6,
    0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265,
    0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF,
    0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5,
    0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044,
    0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9,
    0x0131, 0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

// Encodes one code point; false when it has no form in the encoding.
bool encode_one(uint32_t c, CFStringEncoding enc, std::string &out) {
    switch (enc) {
        case kCFStringEncodingASCII:
            if (c > 0x7F) return false;
            out.push_back(char(c));
            return true;
        case kCFStringEncodingISOLatin1:
            if (c > 0xFF) return false;
            out.push_back(char(c));
            return true;
        case kCFStringEncodingMacRoman:
            if (c < 0x80) {
                out.push_back(char(c));
                return true;
            }
            for (int k = 0; k < 128; ++k)
                if (kMacRomanHigh[k] == c) {
                    out.push_back(char(0x80 + k));
                    return true;
                }
            return false;
        case kCFStringEncodingUTF8:
            if (c >= 0xD800 && c <= 0xDFFF) return false;  // lone surrogate
            if (c < 0x80) out.push_back(char(c));
            else if (c < 0x800) {
                out.push_back(char(0xC0 | (c >> 6)));
                out.push_back(char(0x80 | (c & 0x3F)));
            } else if (c < 0x10000) {
                out.push_back(char(0xE0 | (c >> 12)));
                out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
                out.push_back(char(0x80 | (c & 0x3F)));
            } else {
                out.push_back(char(0xF0 | (c >> 18)));
                out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
                out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
                out.push_back(char(0x80 | (c & 0x3F)));
            }
            return true;
        default:
            return false;
    }
}

// The code point at t[i] (a surrogate pair when both halves lie before end).
uint32_t next_cp(const std::u16string &t, size_t i, size_t end, size_t &used) {
    uint32_t c = t[i];
    used = 1;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < end && t[i + 1] >= 0xDC00 && t[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (t[i + 1] - 0xDC00);
        used = 2;
    }
    return c;
}

}  // namespace

bool known_encoding(CFStringEncoding enc) {
    return enc == kCFStringEncodingASCII || enc == kCFStringEncodingISOLatin1 || enc == kCFStringEncodingMacRoman ||
           enc == kCFStringEncodingUTF8;
}

bool decode(const uint8_t *p, size_t n, CFStringEncoding enc, std::u16string &out) {
    out.clear();
    switch (enc) {
        case kCFStringEncodingASCII:
            for (size_t i = 0; i < n; ++i) {
                if (p[i] > 0x7F) return false;
                out.push_back(p[i]);
            }
            return true;
        case kCFStringEncodingISOLatin1:
            for (size_t i = 0; i < n; ++i) out.push_back(p[i]);
            return true;
        case kCFStringEncodingMacRoman:
            for (size_t i = 0; i < n; ++i) out.push_back(p[i] < 0x80 ? p[i] : kMacRomanHigh[p[i] - 0x80]);
            return true;
        case kCFStringEncodingUTF8: {
            size_t i = 0;
            while (i < n) {
                uint32_t c = p[i];
                int extra;
                if (c < 0x80) extra = 0;
                else if ((c & 0xE0) == 0xC0) extra = 1;
                else if ((c & 0xF0) == 0xE0) extra = 2;
                else if ((c & 0xF8) == 0xF0) extra = 3;
                else return false;
                if (i + size_t(extra) >= n && extra > 0) return false;
                if (extra > 0) {
                    c &= (0x3Fu >> extra);
                    for (int k = 1; k <= extra; ++k) {
                        if ((p[i + k] & 0xC0) != 0x80) return false;
                        c = (c << 6) | (p[i + k] & 0x3F);
                    }
                    const uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
                    if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
                }
                if (c >= 0x10000) {
                    c -= 0x10000;
                    out.push_back(char16_t(0xD800 + (c >> 10)));
                    out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
                } else {
                    out.push_back(char16_t(c));
                }
                i += size_t(extra) + 1;
            }
            return true;
        }
        default:
            return false;
    }
}

size_t encode_units(const std::u16string &t, size_t from, size_t count, CFStringEncoding enc, uint8_t lossByte,
                    std::string &out, size_t limit) {
    size_t i = from, end = from + count;
    while (i < end) {
        size_t used;
        uint32_t c = next_cp(t, i, end, used);
        std::string piece;
        if (!encode_one(c, enc, piece)) {
            if (!lossByte) break;
            piece.assign(1, char(lossByte));
        }
        if (out.size() + piece.size() > limit) break;
        out += piece;
        i += used;
    }
    return i - from;
}

}  // namespace fw::text
