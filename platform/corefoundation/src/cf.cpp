// CoreFoundation objects: strings, numbers, dictionaries, URLs, UUIDs and
// bundles (their text encodings are in text_encoding.cpp).
#include "object.h"
#include "text_encoding.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <atomic>
#include <deque>
#include <mutex>
#include <vector>

namespace fw {

std::string Object::describe() const {
    char buf[64];
    std::snprintf(buf, sizeof buf, "<CFType %lu %p>", type, static_cast<const void *>(this));
    return buf;
}

namespace {

struct InjectedClock {
    uint64_t (*now)(void *) = nullptr;
    bool (*wait)(void *, int) = nullptr;
    void *ctx = nullptr;
};
std::atomic<const InjectedClock *> g_clock{nullptr};

}  // namespace

uint64_t mono_ns() {
    if (const InjectedClock *c = g_clock.load(std::memory_order_acquire)) return c->now(c->ctx);
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

bool pass_by_hand(int ms) {
    const InjectedClock *c = g_clock.load(std::memory_order_acquire);
    return ms > 0 && c && c->wait && c->wait(c->ctx, ms);
}

void wait_ms(int ms) {
    if (ms <= 0 || pass_by_hand(ms)) return;
    timespec ts{ms / 1000, long(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {}
}

bool clock_injected() { return g_clock.load(std::memory_order_acquire) != nullptr; }

void set_injected_clock(uint64_t (*now)(void *), bool (*wait)(void *, int), void *ctx) {
    // Each clock is kept: a reader on another thread may still hold the last.
    static std::mutex m;
    static std::deque<InjectedClock> kept;
    std::lock_guard<std::mutex> lock(m);
    const InjectedClock *c = nullptr;
    if (now) c = &kept.emplace_back(InjectedClock{now, wait, ctx});
    g_clock.store(c, std::memory_order_release);
}

// ---- object kinds ----------------------------------------------------------------------

struct String : Object {
    String() : Object(kTypeString) {}
    std::u16string text;
    bool equals(const Object &o) const override {
        return o.type == kTypeString && static_cast<const String &>(o).text == text;
    }
    std::string describe() const override;
};

std::string String::describe() const {
    std::string s;
    text::encode_units(text, 0, text.size(), kCFStringEncodingUTF8, '?', s);
    return s;
}

struct Number : Object {
    Number() : Object(kTypeNumber) {}
    bool isFloat = false;
    int64_t i = 0;
    double d = 0;
    bool equals(const Object &o) const override {
        if (o.type != kTypeNumber) return false;
        auto &n = static_cast<const Number &>(o);
        if (isFloat || n.isFloat) return (isFloat ? d : double(i)) == (n.isFloat ? n.d : double(n.i));
        return i == n.i;
    }
    std::string describe() const override { return isFloat ? std::to_string(d) : std::to_string(i); }
};

struct Dictionary : Object {
    Dictionary() : Object(kTypeDictionary) {}
    std::vector<std::pair<CFTypeRef, CFTypeRef>> entries;  // both retained
    ~Dictionary() override {
        for (auto &e : entries) {
            CFRelease(e.first);
            CFRelease(e.second);
        }
    }
    bool equals(const Object &o) const override {
        if (o.type != kTypeDictionary) return false;
        auto &other = static_cast<const Dictionary &>(o);
        if (other.entries.size() != entries.size()) return false;
        for (auto &e : entries) {
            const void *v = CFDictionaryGetValue(reinterpret_cast<CFDictionaryRef>(&o), e.first);
            if (!v || !CFEqual(v, e.second)) return false;
        }
        return true;
    }
    std::string describe() const override { return "<CFDictionary " + std::to_string(entries.size()) + " entries>"; }
};

struct URL : Object {
    URL() : Object(kTypeURL) {}
    std::string path;  // absolute, no trailing slash except "/"
    bool isDir = false;
    bool equals(const Object &o) const override {
        return o.type == kTypeURL && static_cast<const URL &>(o).path == path &&
               static_cast<const URL &>(o).isDir == isDir;
    }
    std::string describe() const override { return "file://" + path + (isDir && path != "/" ? "/" : ""); }
};

struct UUID : Object {
    UUID() : Object(kTypeUUID) {}
    CFUUIDBytes bytes{};
    bool equals(const Object &o) const override {
        return o.type == kTypeUUID && std::memcmp(&static_cast<const UUID &>(o).bytes, &bytes, sizeof bytes) == 0;
    }
    std::string describe() const override {
        const uint8_t *b = &bytes.byte0;
        char s[40];
        std::snprintf(s, sizeof s, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1],
                      b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
        return s;
    }
};

struct Bundle : Object {
    Bundle() : Object(kTypeBundle) {}
    std::string dir, exe;
    void *handle = nullptr;
    ~Bundle() override {
        if (handle) dlclose(handle);
    }
    std::string describe() const override { return "<CFBundle " + dir + ">"; }
};

std::string utf8(CFStringRef s) {
    auto *str = as<String>(s, kTypeString);
    return str ? str->describe() : std::string();
}

CFStringRef make_string(const std::string &text) {
    return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(text.data()), CFIndex(text.size()),
                                   kCFStringEncodingUTF8, 0);
}

static std::mutex g_intern_lock;

}  // namespace fw

using namespace fw;

extern "C" {

// ---- objects ------------------------------------------------------------------------------

CFTypeRef CFRetain(CFTypeRef cf) {
    if (cf && !obj(cf)->immortal) obj(cf)->refs.fetch_add(1);
    return cf;
}

void CFRelease(CFTypeRef cf) {
    if (!cf || obj(cf)->immortal) return;
    if (obj(cf)->refs.fetch_sub(1) == 1) delete obj(cf);
}

CFIndex CFGetRetainCount(CFTypeRef cf) {
    if (!cf) return 0;
    return obj(cf)->immortal ? std::numeric_limits<CFIndex>::max() : obj(cf)->refs.load();
}

CFTypeID CFGetTypeID(CFTypeRef cf) { return cf ? obj(cf)->type : 0; }

Boolean CFEqual(CFTypeRef a, CFTypeRef b) {
    if (a == b) return 1;
    if (!a || !b) return 0;
    return obj(a)->equals(*obj(b));
}

CFStringRef CFCopyDescription(CFTypeRef cf) { return cf ? make_string(obj(cf)->describe()) : nullptr; }

CFTypeID CFStringGetTypeID() { return kTypeString; }
CFTypeID CFNumberGetTypeID() { return kTypeNumber; }
CFTypeID CFDictionaryGetTypeID() { return kTypeDictionary; }
CFTypeID CFURLGetTypeID() { return kTypeURL; }
CFTypeID CFUUIDGetTypeID() { return kTypeUUID; }
CFTypeID CFBundleGetTypeID() { return kTypeBundle; }
CFTypeID CFRunLoopSourceGetTypeID() { return kTypeSource; }
CFTypeID CFRunLoopTimerGetTypeID() { return kTypeTimer; }

// ---- strings --------------------------------------------------------------------------------

CFStringEncoding CFStringGetSystemEncoding() { return kCFStringEncodingUTF8; }

CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8 *bytes, CFIndex numBytes, CFStringEncoding enc,
                                    Boolean) {
    if (numBytes < 0 || (!bytes && numBytes > 0)) return nullptr;
    auto *s = new String;
    if (!text::decode(bytes, size_t(numBytes), enc, s->text)) {
        delete s;
        return nullptr;
    }
    return reinterpret_cast<CFStringRef>(s);
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef a, const char *cStr, CFStringEncoding enc) {
    if (!cStr) return nullptr;
    return CFStringCreateWithBytes(a, reinterpret_cast<const UInt8 *>(cStr), CFIndex(std::strlen(cStr)), enc, 0);
}

CFStringRef __CFStringMakeConstantString(const char *cStr) {
    static std::map<std::string, CFStringRef> *table = new std::map<std::string, CFStringRef>;
    std::lock_guard<std::mutex> lock(g_intern_lock);
    auto it = table->find(cStr);
    if (it != table->end()) return it->second;
    CFStringRef s = CFStringCreateWithCString(nullptr, cStr, kCFStringEncodingUTF8);
    if (!s) s = CFStringCreateWithCString(nullptr, cStr, kCFStringEncodingISOLatin1);
    obj(s)->immortal = true;
    (*table)[cStr] = s;
    return s;
}

CFIndex CFStringGetLength(CFStringRef s) {
    auto *str = as<String>(s, kTypeString);
    return str ? CFIndex(str->text.size()) : 0;
}

Boolean CFStringGetCString(CFStringRef s, char *buffer, CFIndex bufferSize, CFStringEncoding enc) {
    if (!buffer || bufferSize <= 0) return 0;
    buffer[0] = 0;
    auto *str = as<String>(s, kTypeString);
    if (!str || !text::known_encoding(enc)) return 0;
    std::string out;
    if (text::encode_units(str->text, 0, str->text.size(), enc, 0, out) != str->text.size()) return 0;
    if (CFIndex(out.size()) + 1 > bufferSize) return 0;
    std::memcpy(buffer, out.data(), out.size());
    buffer[out.size()] = 0;
    return 1;
}

CFIndex CFStringGetBytes(CFStringRef s, CFRange range, CFStringEncoding enc, UInt8 lossByte, Boolean, UInt8 *buffer,
                         CFIndex maxBufLen, CFIndex *usedBufLen) {
    if (usedBufLen) *usedBufLen = 0;
    auto *str = as<String>(s, kTypeString);
    if (!str || !text::known_encoding(enc) || range.location < 0 || range.length < 0 ||
        size_t(range.location + range.length) > str->text.size())
        return 0;
    std::string out;
    size_t done = text::encode_units(str->text, size_t(range.location), size_t(range.length), enc, lossByte, out,
                                     buffer ? size_t(std::max<CFIndex>(maxBufLen, 0)) : SIZE_MAX);
    if (buffer) std::memcpy(buffer, out.data(), out.size());
    if (usedBufLen) *usedBufLen = CFIndex(out.size());
    return CFIndex(done);
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding enc) {
    return enc == kCFStringEncodingUTF8 ? length * 3 : length;
}

// printf with %@: each conversion is cut out of the format and handed to
// snprintf with the argument fetched by its own type.
CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef, CFDictionaryRef, CFStringRef format, va_list args) {
    auto *fmtStr = as<String>(format, kTypeString);
    if (!fmtStr) return nullptr;
    const std::string f = fmtStr->describe();
    std::string out;
    va_list ap;
    va_copy(ap, args);
    for (size_t i = 0; i < f.size();) {
        if (f[i] != '%') {
            out.push_back(f[i++]);
            continue;
        }
        size_t j = i + 1;
        if (j < f.size() && f[j] == '%') {
            out.push_back('%');
            i = j + 1;
            continue;
        }
        int nstars = 0;
        while (j < f.size() && std::strchr("-+ #0'", f[j])) ++j;
        if (j < f.size() && f[j] == '*') {
            ++nstars;
            ++j;
        } else
            while (j < f.size() && std::isdigit(uint8_t(f[j]))) ++j;
        if (j < f.size() && f[j] == '.') {
            ++j;
            if (j < f.size() && f[j] == '*') {
                ++nstars;
                ++j;
            } else
                while (j < f.size() && std::isdigit(uint8_t(f[j]))) ++j;
        }
        std::string len;
        while (j < f.size() && std::strchr("hlLqjzt", f[j])) len.push_back(f[j++]);
        if (j >= f.size()) {
            out.append(f, i, std::string::npos);
            break;
        }
        char conv = f[j];
        std::string spec = f.substr(i, j + 1 - i);
        int stars[2] = {0, 0};
        for (int k = 0; k < nstars; ++k) stars[k] = va_arg(ap, int);
        char buf[512];
        auto emit = [&](auto value) {
            int n = nstars == 0   ? std::snprintf(buf, sizeof buf, spec.c_str(), value)
                    : nstars == 1 ? std::snprintf(buf, sizeof buf, spec.c_str(), stars[0], value)
                                  : std::snprintf(buf, sizeof buf, spec.c_str(), stars[0], stars[1], value);
            if (n > 0) out.append(buf, std::min<size_t>(size_t(n), sizeof buf - 1));
        };
        switch (conv) {
            case '@': {
                CFTypeRef o = va_arg(ap, CFTypeRef);
                out += o ? obj(o)->describe() : "(null)";
                break;
            }
            case 'd':
            case 'i':
            case 'o':
            case 'u':
            case 'x':
            case 'X':
            case 'c':
                if (len == "ll" || len == "q" || len == "j") emit(va_arg(ap, long long));
                else if (len == "l" || len == "z" || len == "t") emit(va_arg(ap, long));
                else emit(va_arg(ap, int));
                break;
            case 'e':
            case 'E':
            case 'f':
            case 'F':
            case 'g':
            case 'G':
            case 'a':
            case 'A':
                if (len == "L") emit(va_arg(ap, long double));
                else emit(va_arg(ap, double));
                break;
            case 's': {
                const char *p = va_arg(ap, const char *);
                emit(p ? p : "(null)");
                break;
            }
            case 'p':
                emit(va_arg(ap, void *));
                break;
            default:  // unknown conversion: copy it as text
                out += spec;
                break;
        }
        i = j + 1;
    }
    va_end(ap);
    return make_string(out);
}

CFStringRef CFStringCreateWithFormat(CFAllocatorRef a, CFDictionaryRef o, CFStringRef format, ...) {
    va_list ap;
    va_start(ap, format);
    CFStringRef s = CFStringCreateWithFormatAndArguments(a, o, format, ap);
    va_end(ap);
    return s;
}

// ---- numbers ------------------------------------------------------------------------------

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType type, const void *p) {
    if (!p) return nullptr;
    auto *n = new Number;
    switch (type) {
        case kCFNumberSInt8Type:
            n->i = *static_cast<const int8_t *>(p);
            break;
        case kCFNumberSInt16Type:
            n->i = *static_cast<const int16_t *>(p);
            break;
        case kCFNumberSInt32Type:
        case kCFNumberIntType:
            n->i = *static_cast<const int32_t *>(p);
            break;
        case kCFNumberSInt64Type:
            n->i = *static_cast<const int64_t *>(p);
            break;
        case kCFNumberLongType:
            n->i = *static_cast<const long *>(p);
            break;
        case kCFNumberFloat64Type:
        case kCFNumberDoubleType:
            n->isFloat = true;
            n->d = *static_cast<const double *>(p);
            break;
        default:
            delete n;
            return nullptr;
    }
    return reinterpret_cast<CFNumberRef>(n);
}

Boolean CFNumberGetValue(CFNumberRef num, CFNumberType type, void *p) {
    auto *n = as<Number>(num, kTypeNumber);
    if (!n || !p) return 0;
    if (type == kCFNumberFloat64Type || type == kCFNumberDoubleType) {
        *static_cast<double *>(p) = n->isFloat ? n->d : double(n->i);
        return 1;
    }
    int64_t v = n->i;
    bool exact = true;
    if (n->isFloat) {
        if (!(std::isfinite(n->d) && n->d >= -9.2e18 && n->d <= 9.2e18)) return 0;
        v = int64_t(n->d);
        exact = double(v) == n->d;
    }
    auto fits = [&](int64_t lo, int64_t hi) { return v >= lo && v <= hi; };
    switch (type) {
        case kCFNumberSInt8Type:
            *static_cast<int8_t *>(p) = int8_t(v);
            return exact && fits(INT8_MIN, INT8_MAX);
        case kCFNumberSInt16Type:
            *static_cast<int16_t *>(p) = int16_t(v);
            return exact && fits(INT16_MIN, INT16_MAX);
        case kCFNumberSInt32Type:
        case kCFNumberIntType:
            *static_cast<int32_t *>(p) = int32_t(v);
            return exact && fits(INT32_MIN, INT32_MAX);
        case kCFNumberSInt64Type:
            *static_cast<int64_t *>(p) = v;
            return exact;
        case kCFNumberLongType:
            *static_cast<long *>(p) = long(v);
            return exact;
        default:
            return 0;
    }
}

// ---- dictionaries ------------------------------------------------------------------------

const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {0, {}};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {0, {}};

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex, const CFDictionaryKeyCallBacks *,
                                                 const CFDictionaryValueCallBacks *) {
    return reinterpret_cast<CFMutableDictionaryRef>(new Dictionary);
}

void CFDictionarySetValue(CFMutableDictionaryRef d, const void *key, const void *value) {
    auto *dict = as<Dictionary>(d, kTypeDictionary);
    if (!dict || !key || !value) return;
    CFRetain(value);
    for (auto &e : dict->entries) {
        if (CFEqual(e.first, key)) {
            CFRelease(e.second);
            e.second = value;
            return;
        }
    }
    dict->entries.emplace_back(CFRetain(key), value);
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef d, const void *key) {
    auto *dict = as<Dictionary>(d, kTypeDictionary);
    if (!dict || !key) return;
    for (auto it = dict->entries.begin(); it != dict->entries.end(); ++it) {
        if (CFEqual(it->first, key)) {
            CFTypeRef k = it->first, v = it->second;
            dict->entries.erase(it);
            CFRelease(k);
            CFRelease(v);
            return;
        }
    }
}

const void *CFDictionaryGetValue(CFDictionaryRef d, const void *key) {
    auto *dict = as<Dictionary>(d, kTypeDictionary);
    if (!dict || !key) return nullptr;
    for (auto &e : dict->entries)
        if (CFEqual(e.first, key)) return e.second;
    return nullptr;
}

CFIndex CFDictionaryGetCount(CFDictionaryRef d) {
    auto *dict = as<Dictionary>(d, kTypeDictionary);
    return dict ? CFIndex(dict->entries.size()) : 0;
}

void CFDictionaryApplyFunction(CFDictionaryRef d, void (*fn)(const void *, const void *, void *), void *ctx) {
    auto *dict = as<Dictionary>(d, kTypeDictionary);
    if (!dict || !fn) return;
    auto copy = dict->entries;
    for (auto &e : copy) fn(e.first, e.second, ctx);
}

// ---- URLs ------------------------------------------------------------------------------------

static CFURLRef make_url(std::string path, bool isDir) {
    if (path.empty()) return nullptr;
    if (path[0] != '/') {
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd)) return nullptr;
        path = std::string(cwd) + "/" + path;
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    auto *u = new URL;
    u->path = path;
    u->isDir = isDir;
    return reinterpret_cast<CFURLRef>(u);
}

CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef, CFStringRef filePath, CFURLPathStyle style,
                                       Boolean isDirectory) {
    if (style != kCFURLPOSIXPathStyle || !as<String>(filePath, kTypeString)) return nullptr;
    return make_url(utf8(filePath), isDirectory);
}

CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef, const UInt8 *buffer, CFIndex bufLen,
                                                 Boolean isDirectory) {
    if (!buffer || bufLen <= 0) return nullptr;
    return make_url(std::string(reinterpret_cast<const char *>(buffer), size_t(bufLen)), isDirectory);
}

CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef, CFURLRef url, CFStringRef component,
                                               Boolean isDirectory) {
    auto *u = as<URL>(url, kTypeURL);
    std::string c = utf8(component);
    if (!u || c.empty()) return nullptr;
    return make_url(u->path == "/" ? "/" + c : u->path + "/" + c, isDirectory);
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean, UInt8 *buffer, CFIndex maxBufLen) {
    auto *u = as<URL>(url, kTypeURL);
    if (!u || !buffer || CFIndex(u->path.size()) + 1 > maxBufLen) return 0;
    std::memcpy(buffer, u->path.c_str(), u->path.size() + 1);
    return 1;
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle) {
    auto *u = as<URL>(url, kTypeURL);
    return u ? make_string(u->path) : nullptr;
}

Boolean CFURLHasDirectoryPath(CFURLRef url) {
    auto *u = as<URL>(url, kTypeURL);
    return u && u->isDir;
}

// ---- UUIDs ------------------------------------------------------------------------------------

CFUUIDRef CFUUIDGetConstantUUIDWithBytes(CFAllocatorRef, UInt8 b0, UInt8 b1, UInt8 b2, UInt8 b3, UInt8 b4, UInt8 b5,
                                         UInt8 b6, UInt8 b7, UInt8 b8, UInt8 b9, UInt8 b10, UInt8 b11, UInt8 b12,
                                         UInt8 b13, UInt8 b14, UInt8 b15) {
    static auto *table = new std::vector<UUID *>;
    CFUUIDBytes bytes{b0, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b11, b12, b13, b14, b15};
    std::lock_guard<std::mutex> lock(g_intern_lock);
    for (UUID *u : *table)
        if (std::memcmp(&u->bytes, &bytes, sizeof bytes) == 0) return reinterpret_cast<CFUUIDRef>(u);
    auto *u = new UUID;
    u->bytes = bytes;
    u->immortal = true;
    table->push_back(u);
    return reinterpret_cast<CFUUIDRef>(u);
}

CFUUIDRef CFUUIDCreateFromUUIDBytes(CFAllocatorRef, CFUUIDBytes bytes) {
    auto *u = new UUID;
    u->bytes = bytes;
    return reinterpret_cast<CFUUIDRef>(u);
}

CFUUIDRef CFUUIDCreateFromString(CFAllocatorRef, CFStringRef text) {
    std::string s = utf8(text);
    uint8_t b[16];
    int n = 0;
    for (size_t i = 0; i < s.size();) {
        if (s[i] == '-') {
            ++i;
            continue;
        }
        if (n == 16 || i + 1 >= s.size() || !std::isxdigit(uint8_t(s[i])) || !std::isxdigit(uint8_t(s[i + 1])))
            return nullptr;
        b[n++] = uint8_t(std::stoi(s.substr(i, 2), nullptr, 16));
        i += 2;
    }
    if (n != 16) return nullptr;
    CFUUIDBytes bytes;
    std::memcpy(&bytes, b, 16);
    return CFUUIDCreateFromUUIDBytes(nullptr, bytes);
}

CFUUIDBytes CFUUIDGetUUIDBytes(CFUUIDRef uuid) {
    auto *u = as<UUID>(uuid, kTypeUUID);
    return u ? u->bytes : CFUUIDBytes{};
}

// ---- bundles ------------------------------------------------------------------------------------

CFBundleRef CFBundleCreate(CFAllocatorRef, CFURLRef bundleURL) {
    auto *u = as<URL>(bundleURL, kTypeURL);
    if (!u) return nullptr;
    struct stat st {};
    if (stat(u->path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return nullptr;
    std::string name = u->path.substr(u->path.rfind('/') + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    auto *b = new Bundle;
    b->dir = u->path;
    b->exe = u->path + "/" + name + ".so";
    return reinterpret_cast<CFBundleRef>(b);
}

Boolean CFBundleLoadExecutable(CFBundleRef bundle) {
    auto *b = as<Bundle>(bundle, kTypeBundle);
    if (!b) return 0;
    if (!b->handle) b->handle = dlopen(b->exe.c_str(), RTLD_NOW | RTLD_LOCAL);
    return b->handle != nullptr;
}

Boolean CFBundleIsExecutableLoaded(CFBundleRef bundle) {
    auto *b = as<Bundle>(bundle, kTypeBundle);
    return b && b->handle;
}

void CFBundleUnloadExecutable(CFBundleRef bundle) {
    auto *b = as<Bundle>(bundle, kTypeBundle);
    if (b && b->handle) {
        dlclose(b->handle);
        b->handle = nullptr;
    }
}

void *CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef name) {
    auto *b = as<Bundle>(bundle, kTypeBundle);
    std::string n = utf8(name);
    if (!b || n.empty() || !CFBundleLoadExecutable(bundle)) return nullptr;
    return dlsym(b->handle, n.c_str());
}

void *CFBundleGetDataPointerForName(CFBundleRef bundle, CFStringRef name) {
    return CFBundleGetFunctionPointerForName(bundle, name);
}

CFURLRef CFBundleCopyExecutableURL(CFBundleRef bundle) {
    auto *b = as<Bundle>(bundle, kTypeBundle);
    return b ? make_url(b->exe, false) : nullptr;
}

}  // extern "C"
