// The memory block services plug-ins call: typed reads and writes at a byte
// offset (in the block's byte order, "LittleEndian"), strings in and out,
// byte ranges as new blocks, concatenation, comparison and resizing.
//
// Offsets count bytes from 0. A read or write that does not lie wholly
// inside the block, a negative length and a nil or foreign object do nothing
// and read as 0 (nil for strings and blocks). New blocks and strings carry
// one reference for the caller.
#include "plugins/selectors.h"

#include <rb/host.h>
#include <rb/memory.h>
#include <rb/string.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace rb {
namespace {

using Block = REALmemoryBlock;

MemoryBlockFields *blockOf(Block mb) { return memoryBlockFields(reinterpret_cast<REALobject>(mb)); }

// The bytes [offset, offset + n) of the block, or nullptr when they are not all in it.
uint8_t *span(MemoryBlockFields *f, int64_t offset, int64_t n) {
    if (!f || offset < 0 || n < 0 || offset + n > int64_t(f->size)) return nullptr;
    return f->data + offset;
}

// An unsigned value of `width` bytes in the block's byte order.
bool readUnsigned(Block mb, int32_t offset, int width, uint64_t *out) {
    MemoryBlockFields *f = blockOf(mb);
    uint8_t *p = span(f, offset, width);
    if (!p) return false;
    uint64_t v = 0;
    for (int i = 0; i < width; ++i) v |= uint64_t(p[f->littleEndian ? i : width - 1 - i]) << (8 * i);
    *out = v;
    return true;
}

void writeUnsigned(Block mb, int32_t offset, int width, uint64_t v) {
    MemoryBlockFields *f = blockOf(mb);
    uint8_t *p = span(f, offset, width);
    if (!p) return;
    for (int i = 0; i < width; ++i) p[f->littleEndian ? i : width - 1 - i] = uint8_t(v >> (8 * i));
}

uint64_t readOr0(Block mb, int32_t offset, int width) {
    uint64_t v = 0;
    return readUnsigned(mb, offset, width, &v) ? v : 0;
}

Block newBlock(const uint8_t *bytes, size_t n) {
    if (n > UINT32_MAX) return nullptr;
    try {
        return reinterpret_cast<Block>(newMemoryBlock(bytes, uint32_t(n)).detach());
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

extern "C" {

RBBoolean memGetBoolean(Block mb, int32_t off) { return readOr0(mb, off, 1) ? 1 : 0; }
void memSetBoolean(Block mb, int32_t off, RBBoolean v) { writeUnsigned(mb, off, 1, (v & 1) ? 1 : 0); }
int32_t memGetByte(Block mb, int32_t off) { return int32_t(readOr0(mb, off, 1)); }
void memSetByte(Block mb, int32_t off, uint8_t v) { writeUnsigned(mb, off, 1, v); }
int32_t memGetShort(Block mb, int32_t off) { return int16_t(uint16_t(readOr0(mb, off, 2))); }
int32_t memGetUShort(Block mb, int32_t off) { return int32_t(uint16_t(readOr0(mb, off, 2))); }
void memSetShort(Block mb, int32_t off, int16_t v) { writeUnsigned(mb, off, 2, uint16_t(v)); }
int32_t memGetLong(Block mb, int32_t off) { return int32_t(uint32_t(readOr0(mb, off, 4))); }
void memSetLong(Block mb, int32_t off, int32_t v) { writeUnsigned(mb, off, 4, uint32_t(v)); }

// A single comes back widened to a double, as every real number does.
double memGetSingle(Block mb, int32_t off) {
    uint32_t bits = uint32_t(readOr0(mb, off, 4));
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}
void memSetSingle(Block mb, int32_t off, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    writeUnsigned(mb, off, 4, bits);
}
double memGetDouble(Block mb, int32_t off) {
    uint64_t bits = readOr0(mb, off, 8);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}
void memSetDouble(Block mb, int32_t off, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    writeUnsigned(mb, off, 8, bits);
}

// Colours (0x00RRGGBB) by the bits they take in the block: 24 (the bytes
// red, green, blue) or 32 (a zero byte first); other sizes are refused.
uint32_t memGetColor(Block mb, int32_t off, int32_t bits) {
    MemoryBlockFields *f = blockOf(mb);
    if (bits != 24 && bits != 32) return 0;
    const uint8_t *p = span(f, off, bits / 8);
    if (!p) return 0;
    if (bits == 32) ++p;
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}
void memSetColor(Block mb, int32_t off, int32_t bits, uint32_t color) {
    MemoryBlockFields *f = blockOf(mb);
    if (bits != 24 && bits != 32) return;
    uint8_t *p = span(f, off, bits / 8);
    if (!p) return;
    if (bits == 32) *p++ = 0;
    p[0] = uint8_t(color >> 16);
    p[1] = uint8_t(color >> 8);
    p[2] = uint8_t(color);
}

// Bytes from the offset up to the first zero byte (or the end of the block).
REALstring memGetCString(Block mb, int32_t off) {
    MemoryBlockFields *f = blockOf(mb);
    const uint8_t *p = span(f, off, 0);
    if (!p) return nullptr;
    size_t n = 0, room = f->size - size_t(off);
    while (n < room && p[n]) ++n;
    return newString(std::string_view(reinterpret_cast<const char *>(p), n), kEncodingUnknown);
}
// The string's bytes and a zero byte; refused when they do not fit.
void memSetCString(Block mb, int32_t off, REALstring s) {
    std::string b = toStd(s);
    uint8_t *p = span(blockOf(mb), off, int64_t(b.size()) + 1);
    if (!p) return;
    std::memcpy(p, b.data(), b.size());
    p[b.size()] = 0;
}

// A length byte, then that many bytes.
REALstring memGetPString(Block mb, int32_t off) {
    MemoryBlockFields *f = blockOf(mb);
    const uint8_t *len = span(f, off, 1);
    if (!len) return nullptr;
    const uint8_t *p = span(f, int64_t(off) + 1, *len);
    if (!p) return nullptr;
    return newString(std::string_view(reinterpret_cast<const char *>(p), *len), kEncodingUnknown);
}
void memSetPString(Block mb, int32_t off, REALstring s) {
    std::string b = toStd(s);
    if (b.size() > 255) return;
    uint8_t *p = span(blockOf(mb), off, int64_t(b.size()) + 1);
    if (!p) return;
    p[0] = uint8_t(b.size());
    std::memcpy(p + 1, b.data(), b.size());
}

// Exactly `length` bytes.
REALstring memGetString(Block mb, int32_t off, int32_t length) {
    const uint8_t *p = span(blockOf(mb), off, length);
    if (!p) return nullptr;
    return newString(std::string_view(reinterpret_cast<const char *>(p), size_t(length)), kEncodingUnknown);
}
// The string's first `length` bytes (all of them when it is shorter).
void memSetString(Block mb, int32_t off, int32_t length, REALstring s) {
    std::string b = toStd(s);
    if (length < 0) return;
    size_t n = std::min(b.size(), size_t(length));
    uint8_t *p = span(blockOf(mb), off, int64_t(n));
    if (p && n) std::memcpy(p, b.data(), n);
}

// UTF-16 code units in the block's byte order up to a zero unit (or the end).
REALstring memGetWString(Block mb, int32_t off) {
    MemoryBlockFields *f = blockOf(mb);
    if (!span(f, off, 0)) return nullptr;
    std::u16string units;
    for (int64_t at = off; at + 2 <= int64_t(f->size); at += 2) {
        uint16_t u = uint16_t(readOr0(mb, int32_t(at), 2));
        if (!u) break;
        units.push_back(char16_t(u));
    }
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;
        if (c < 0x80) out += char(c);
        else if (c < 0x800) out += {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
        else if (c < 0x10000) out += {char(0xE0 | c >> 12), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
        else
            out += {char(0xF0 | c >> 18), char(0x80 | ((c >> 12) & 0x3F)), char(0x80 | ((c >> 6) & 0x3F)),
                    char(0x80 | (c & 0x3F))};
    }
    return newString(out, kEncodingUTF8);
}
// The string as UTF-16 and a zero unit; refused when they do not fit.
void memSetWString(Block mb, int32_t off, REALstring s) {
    String utf8 = String::adopt(s ? convertString(s, kEncodingUTF8) : newString(""));
    const std::string b = utf8.str();
    std::u16string units;
    for (size_t i = 0; i < b.size();) {
        unsigned char c = static_cast<unsigned char>(b[i]);
        int n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        uint32_t cp = n == 1 ? c : c & (0x3F >> (n - 1));
        for (int k = 1; k < n; ++k) cp = i + size_t(k) < b.size() ? cp << 6 | (b[i + size_t(k)] & 0x3F) : 0xFFFD;
        i += size_t(n);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            units.push_back(char16_t(0xD800 + (cp >> 10)));
            units.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            units.push_back(char16_t(cp));
        }
    }
    units.push_back(0);
    if (!span(blockOf(mb), off, int64_t(units.size()) * 2)) return;
    for (size_t i = 0; i < units.size(); ++i) writeUnsigned(mb, int32_t(off + int64_t(i) * 2), 2, units[i]);
}

// Byte ranges as new blocks: the first n bytes, the bytes from `start` to
// the end or `length` of them, the last n bytes (cut to what the block has).
Block memLeftB(Block mb, int32_t n) {
    MemoryBlockFields *f = blockOf(mb);
    if (!f || n < 0) return nullptr;
    return newBlock(f->data, std::min<size_t>(size_t(n), f->size));
}
Block memMidB3(Block mb, int32_t start, int32_t length) {
    MemoryBlockFields *f = blockOf(mb);
    if (!f || start < 0 || length < 0) return nullptr;
    size_t from = std::min<size_t>(size_t(start), f->size);
    return newBlock(f->data + from, std::min<size_t>(size_t(length), f->size - from));
}
Block memMidB2(Block mb, int32_t start) { return memMidB3(mb, start, INT32_MAX); }
Block memRightB(Block mb, int32_t n) {
    MemoryBlockFields *f = blockOf(mb);
    if (!f || n < 0) return nullptr;
    size_t k = std::min<size_t>(size_t(n), f->size);
    return newBlock(f->data + (f->size - k), k);
}

// A new block of a's bytes followed by b's.
Block memAdd(Block a, Block b) {
    MemoryBlockFields *fa = blockOf(a), *fb = blockOf(b);
    if (!fa || !fb) return nullptr;
    std::string bytes(reinterpret_cast<const char *>(fa->data), fa->size);
    bytes.append(reinterpret_cast<const char *>(fb->data), fb->size);
    return newBlock(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
}

// -1, 0 or 1 by the bytes, a shorter block first when one begins the other.
int32_t memCompare(Block a, Block b) {
    MemoryBlockFields *fa = blockOf(a), *fb = blockOf(b);
    if (!fa || !fb) return fa ? 1 : fb ? -1 : 0;
    int c = std::memcmp(fa->data, fb->data, std::min(fa->size, fb->size));
    if (c) return c < 0 ? -1 : 1;
    return fa->size < fb->size ? -1 : fa->size > fb->size ? 1 : 0;
}

REALstring memToString(Block mb) {
    MemoryBlockFields *f = blockOf(mb);
    if (!f) return nullptr;
    return newString(std::string_view(reinterpret_cast<const char *>(f->data), f->size), kEncodingUnknown);
}
// The block takes the string's bytes and size; the result is the block
// itself (no reference added), nil for nil or another class.
Block memFromString(Block mb, REALstring s) {
    std::string b = toStd(s);
    if (!blockOf(mb) || b.size() > UINT32_MAX) return nullptr;
    if (!resizeMemoryBlock(reinterpret_cast<REALobject>(mb), uint32_t(b.size()))) return mb;
    if (!b.empty()) std::memcpy(blockOf(mb)->data, b.data(), b.size());
    return mb;
}

// The block takes as many bytes from `p` as it holds (the caller vouches
// that they are there); nothing for a nil pointer. The result is the block.
Block memFromPtr(Block mb, const void *p) {
    MemoryBlockFields *f = blockOf(mb);
    if (!f) return nullptr;
    if (p && f->size) std::memcpy(f->data, p, f->size);
    return mb;
}

void memSetSize(Block mb, int32_t size) {
    if (size >= 0) resizeMemoryBlock(reinterpret_cast<REALobject>(mb), uint32_t(size));
}
// Makes the block anew: `size` zero bytes. The result is the block.
Block memNewConstructor(Block mb, int32_t size) {
    MemoryBlockFields *f = blockOf(mb);
    if (!f) return nullptr;
    if (size >= 0 && resizeMemoryBlock(reinterpret_cast<REALobject>(mb), uint32_t(size)))
        std::memset(f->data, 0, f->size);
    return mb;
}

}  // extern "C"

#define FN(f) reinterpret_cast<void *>(&f)
struct Registrar {
    Registrar() {
        const std::pair<const char *, void *> services[] = {
            {"memoryGetBoolean", FN(memGetBoolean)},
            {"memorySetBoolean", FN(memSetBoolean)},
            {"memoryGetByte", FN(memGetByte)},
            {"memorySetByte", FN(memSetByte)},
            {"memoryGetShort", FN(memGetShort)},
            {"memoryGetUShort", FN(memGetUShort)},
            {"memorySetShort", FN(memSetShort)},
            {"memoryGetLong", FN(memGetLong)},
            {"memorySetLong", FN(memSetLong)},
            {"memoryGetSingle", FN(memGetSingle)},
            {"memorySetSingle", FN(memSetSingle)},
            {"memoryGetDouble", FN(memGetDouble)},
            {"memorySetDouble", FN(memSetDouble)},
            {"memoryGetColor", FN(memGetColor)},
            {"memorySetColor", FN(memSetColor)},
            {"memoryGetCString", FN(memGetCString)},
            {"memorySetCString", FN(memSetCString)},
            {"memoryGetPString", FN(memGetPString)},
            {"memorySetPString", FN(memSetPString)},
            {"memoryGetString", FN(memGetString)},
            {"memorySetString", FN(memSetString)},
            {"memoryGetWString", FN(memGetWString)},
            {"memorySetWString", FN(memSetWString)},
            {"MemoryBlockLeftB", FN(memLeftB)},
            {"MemoryBlockMidB2", FN(memMidB2)},
            {"MemoryBlockMidB3", FN(memMidB3)},
            {"MemoryBlockRightB", FN(memRightB)},
            {"MemoryBlockAddOperator", FN(memAdd)},
            {"MemoryBlockCompareOperator", FN(memCompare)},
            {"MemoryBlockToStringOperator", FN(memToString)},
            {"MemoryBlockFromStringOperator", FN(memFromString)},
            {"memoryBlockSetSize", FN(memSetSize)},
            {"memoryBlockNewConstructor", FN(memNewConstructor)},
            {"ConvertPtrToMemoryBlock", FN(memFromPtr)},
        };
        for (auto &s : services) registerService(s.first, s.second);
        sel::defineGetter("boolGetter", sel::Kind::Bool);
        sel::defineSetter("boolSetter", sel::Kind::Bool);
        sel::addPair("boolGetter", "boolSetter", "MemoryBlock", 33, "LittleEndian");
    }
} registrar;
#undef FN

}  // namespace
}  // namespace rb
