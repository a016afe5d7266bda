// Host strings and text-encoding conversion (glibc iconv).
#include <rb/string.h>

#include <cerrno>
#include <iconv.h>

namespace rb {

REALstring newString(std::string_view bytes, uint32_t encoding) {
    return new REALstringStruct{1, encoding, std::string(bytes)};
}

void retainString(REALstring s) {
    if (s) ++s->refCount;
}

void releaseString(REALstring s) {
    if (s && --s->refCount == 0) delete s;
}

std::string toStd(REALstring s) { return s ? s->bytes : std::string(); }

static const char *iconvName(uint32_t enc) {
    switch (enc) {
        case kEncodingMacRoman:
            return "MACINTOSH";
        case kEncodingLatin1:
            return "ISO-8859-1";
        case kEncodingASCII:
            return "ASCII";
        case kEncodingUTF8:
            return "UTF-8";
        default:
            return nullptr;
    }
}

// Converts `in`; an input sequence the target cannot hold (or that is not
// valid in the source) becomes one '?' and conversion goes on after it.
static std::string convertBytes(const std::string &in, const char *from, const char *to, bool fromUTF8) {
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1)) return in;
    std::string out;
    char buf[256];
    char *src = const_cast<char *>(in.data());
    size_t left = in.size();
    while (left > 0) {
        char *dst = buf;
        size_t room = sizeof buf;
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf, size_t(dst - buf));
        if (r != size_t(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: skip one character of the source.
        size_t skip = 1;
        if (fromUTF8) {
            unsigned char c = static_cast<unsigned char>(*src);
            skip = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            if (skip > left) skip = left;
        }
        src += skip;
        left -= skip;
        out += '?';
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

REALstring convertString(REALstring s, uint32_t encoding) {
    if (!s) return nullptr;
    const char *from = iconvName(s->encoding), *to = iconvName(encoding);
    if (!from || !to || s->encoding == encoding) return newString(s->bytes, encoding);
    return newString(convertBytes(s->bytes, from, to, s->encoding == kEncodingUTF8), encoding);
}

}  // namespace rb
