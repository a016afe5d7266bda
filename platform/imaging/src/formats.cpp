// The format table and what is looked up in it.
#include "format.h"

#include <cctype>
#include <new>

namespace imaging {

namespace {

const Format *const kFormats[] = {&kTIFFFormat, &kJPEGFormat, &kPNGFormat, &kBMPFormat};

std::string lowerCase(const std::string &s) {
    std::string out;
    for (char c : s) out += char(std::tolower(uint8_t(c)));
    return out;
}

// Runs a format's reader: refuses what it cannot read before it starts, and
// turns running out of memory into a status.
template <typename Out, typename Read>
OSErr readWith(OSType type, const uint8_t *data, size_t size, uint32_t index, Out &out, Read read) {
    out = Out();
    const Format *f = formatOf(type);
    if (!f) return noCodecErr;
    if (!data || !size) return codecErr;
    if (index != 0 && !f->pages) return paramErr;
    try {
        return read(*f, data, size, index, out);
    } catch (const std::bad_alloc &) {
        out = Out();
        return memFullErr;
    }
}

}  // namespace

size_t formatCount() { return sizeof kFormats / sizeof kFormats[0]; }
const Format *formatAt(size_t i) { return i < formatCount() ? kFormats[i] : nullptr; }

const Format *formatOf(OSType type) {
    for (const Format *f : kFormats)
        if (f->type == type) return f;
    return nullptr;
}

const Format *formatOfCodec(OSType codecType) {
    for (const Format *f : kFormats)
        if (f->codec == codecType) return f;
    return nullptr;
}

const Format *formatOfFileName(const std::string &name) {
    size_t dot = name.rfind('.'), slash = name.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return nullptr;
    std::string ext = lowerCase(name.substr(dot + 1));
    for (const Format *f : kFormats)
        for (const char *e : f->fileExtensions)
            if (e && ext == e) return f;
    return nullptr;
}

const Format *formatOfMimeType(const std::string &mime) {
    std::string m = lowerCase(mime);
    for (const Format *f : kFormats)
        for (const char *t : f->mimeTypes)
            if (t && m == t) return f;
    return nullptr;
}

OSType sniff(const uint8_t *data, size_t size) {
    if (!data) return 0;
    for (const Format *f : kFormats)
        if (f->sniff(data, size)) return f->type;
    return 0;
}

OSErr probe(OSType type, const uint8_t *data, size_t size, uint32_t index, codec::Info &out) {
    return readWith(type, data, size, index, out, [](const Format &f, auto &&...args) { return f.probe(args...); });
}

OSErr decode(OSType type, const uint8_t *data, size_t size, uint32_t index, codec::Decoded &out) {
    return readWith(type, data, size, index, out, [](const Format &f, auto &&...args) { return f.decode(args...); });
}

}  // namespace imaging
