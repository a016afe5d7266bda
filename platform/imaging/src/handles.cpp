// Memory handles and user data.
#include "handles.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace imaging {

struct HandleRec {
    std::vector<uint8_t> bytes;
    int locks = 0;
    bool output = false;  // its memory is kept for the next output buffer when disposed
};

Handle NewHandle(size_t size) {
    if (size > kMaxBlockSize) return nullptr;
    auto *h = new (std::nothrow) HandleRec;
    if (!h) return nullptr;
    try {
        h->bytes.resize(size);
    } catch (const std::bad_alloc &) {
        delete h;
        return nullptr;
    }
    return h;
}

Handle NewEmptyHandle() { return NewHandle(0); }

void DisposeHandle(Handle h) {
    if (!h) return;
    if (h->output) KeepSpareBuffer(std::move(h->bytes));
    delete h;
}

size_t GetHandleSize(Handle h) { return h ? h->bytes.size() : 0; }

OSErr SetHandleSize(Handle h, size_t size) {
    if (!h) return nilHandleErr;
    if (size == h->bytes.size()) return noErr;
    if (h->locks || size > kMaxBlockSize) return memFullErr;
    try {
        h->bytes.resize(size);  // new bytes are zero
        if (h->bytes.capacity() / 2 > size) h->bytes.shrink_to_fit();
    } catch (const std::bad_alloc &) {
        return memFullErr;
    }
    return noErr;
}

OSErr SetHandleBytes(Handle h, std::vector<uint8_t> &&bytes) {
    if (!h) return nilHandleErr;
    if (bytes.size() > kMaxBlockSize) return memFullErr;
    if (h->locks) {  // a locked handle keeps its memory: copied in place
        if (bytes.size() != h->bytes.size()) return memFullErr;
        if (!bytes.empty()) std::memcpy(h->bytes.data(), bytes.data(), bytes.size());
        return noErr;
    }
    h->bytes.swap(bytes);
    h->output = true;
    std::vector<uint8_t>().swap(bytes);  // the handle's old memory
    return noErr;
}

namespace {

constexpr size_t kSpareMin = size_t(64) << 10, kSpareMax = size_t(64) << 20;

struct Spare {
    std::mutex lock;
    std::vector<uint8_t> buffer;
};
// Never destroyed: handles may still be disposed while the process exits.
Spare &spare() {
    static Spare *s = new Spare;
    return *s;
}

}  // namespace

std::vector<uint8_t> TakeOutputBuffer(size_t capacity) {
    std::vector<uint8_t> buffer;
    {
        Spare &s = spare();
        std::lock_guard<std::mutex> hold(s.lock);
        if (s.buffer.capacity() >= capacity) buffer.swap(s.buffer);
    }
    buffer.clear();
    buffer.reserve(capacity);
    return buffer;
}

void KeepSpareBuffer(std::vector<uint8_t> &&buffer) {
    std::vector<uint8_t> old;
    if (buffer.capacity() >= kSpareMin && buffer.capacity() <= kSpareMax) {
        Spare &s = spare();
        std::lock_guard<std::mutex> hold(s.lock);
        old.swap(s.buffer);
        s.buffer.swap(buffer);
    }
    // The buffer, or the spare it replaced, is freed here, outside the lock.
    std::vector<uint8_t>().swap(buffer);
}

Handle NewHandleForOverwrite(size_t size) {
    if (size > kMaxBlockSize) return nullptr;
    auto *h = new (std::nothrow) HandleRec;
    if (!h) return nullptr;
    std::vector<uint8_t> bytes;
    {
        Spare &s = spare();
        std::lock_guard<std::mutex> hold(s.lock);
        if (s.buffer.capacity() >= size) bytes.swap(s.buffer);
    }
    try {
        bytes.resize(size);  // only bytes past its former size are set
    } catch (const std::bad_alloc &) {
        delete h;
        return nullptr;
    }
    h->bytes.swap(bytes);
    h->output = true;
    return h;
}

uint8_t *HandleData(Handle h) { return h && !h->bytes.empty() ? h->bytes.data() : nullptr; }
void HLock(Handle h) {
    if (h) ++h->locks;
}
void HUnlock(Handle h) {
    if (h && h->locks > 0) --h->locks;
}

OSErr PtrToHand(const void *src, Handle *out, size_t size) {
    if (!out) return paramErr;
    *out = NewHandle(size);
    if (!*out) return memFullErr;
    if (size) std::memcpy((*out)->bytes.data(), src, size);
    return noErr;
}

OSErr PtrAndHand(const void *src, Handle h, size_t size) {
    if (!h) return nilHandleErr;
    size_t old = h->bytes.size();
    if (size > kMaxBlockSize - old) return memFullErr;
    if (OSErr e = SetHandleSize(h, old + size)) return e;
    if (size) std::memcpy(h->bytes.data() + old, src, size);
    return noErr;
}

// ---- user data ------------------------------------------------------------------

struct UserDataRec {
    struct Item {
        OSType type;
        std::vector<uint8_t> data;
    };
    std::vector<Item> items;
};

OSErr NewUserData(UserData *out) {
    if (!out) return paramErr;
    *out = new (std::nothrow) UserDataRec;
    return *out ? noErr : memFullErr;
}

void DisposeUserData(UserData ud) { delete ud; }

static uint32_t readBE32(const uint8_t *p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

OSErr NewUserDataFromHandle(Handle h, UserData *out) {
    if (!out) return paramErr;
    *out = nullptr;
    if (!h) return nilHandleErr;
    UserData ud = nullptr;
    if (OSErr e = NewUserData(&ud)) return e;
    const uint8_t *p = h->bytes.data();
    size_t left = h->bytes.size();
    while (left) {
        if (left < 8) {
            delete ud;
            return paramErr;
        }
        uint32_t size = readBE32(p);
        if (size < 8 || size > left) {
            delete ud;
            return paramErr;
        }
        ud->items.push_back({readBE32(p + 4), std::vector<uint8_t>(p + 8, p + size)});
        p += size;
        left -= size;
    }
    *out = ud;
    return noErr;
}

OSErr PutUserDataIntoHandle(UserData ud, Handle h) {
    if (!ud) return paramErr;
    if (!h) return nilHandleErr;
    std::vector<uint8_t> flat;
    for (const auto &it : ud->items) {
        uint32_t size = uint32_t(it.data.size() + 8);
        uint8_t head[8] = {uint8_t(size >> 24),    uint8_t(size >> 16),    uint8_t(size >> 8),    uint8_t(size),
                           uint8_t(it.type >> 24), uint8_t(it.type >> 16), uint8_t(it.type >> 8), uint8_t(it.type)};
        flat.insert(flat.end(), head, head + 8);
        flat.insert(flat.end(), it.data.begin(), it.data.end());
    }
    if (OSErr e = SetHandleSize(h, flat.size())) return e;
    if (!flat.empty()) std::memcpy(h->bytes.data(), flat.data(), flat.size());
    return noErr;
}

OSErr AddUserData(UserData ud, Handle data, OSType type) {
    if (!ud || !data) return paramErr;
    if (data->bytes.size() > 0xFFFFFFF0u) return paramErr;
    ud->items.push_back({type, data->bytes});
    return noErr;
}

OSErr AddUserDataText(UserData ud, const char *text, OSType type) {
    if (!ud || !text) return paramErr;
    ud->items.push_back({type, std::vector<uint8_t>(text, text + std::strlen(text))});
    return noErr;
}

OSErr GetUserData(UserData ud, Handle data, OSType type, int32_t index) {
    if (!ud || !data || index < 1) return paramErr;
    int32_t n = 0;
    for (const auto &it : ud->items) {
        if (it.type != type || ++n != index) continue;
        if (OSErr e = SetHandleSize(data, it.data.size())) return e;
        if (!it.data.empty()) std::memcpy(data->bytes.data(), it.data.data(), it.data.size());
        return noErr;
    }
    return -2026;  // no such item
}

int32_t CountUserDataType(UserData ud, OSType type) {
    if (!ud) return 0;
    int32_t n = 0;
    for (const auto &it : ud->items) n += it.type == type;
    return n;
}

OSErr CopyUserData(UserData src, UserData dst) {
    if (!src || !dst) return paramErr;
    if (src != dst) dst->items = src->items;
    return noErr;
}

}  // namespace imaging
