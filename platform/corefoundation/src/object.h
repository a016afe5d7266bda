// Shared internals of libcorefoundation: the CF object header, the UTF-8
// text of CF strings and the platform's clock.
#pragma once

#include "CoreFoundation/CoreFoundation.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace fw {

enum TypeId : CFTypeID {
    kTypeString = 1,
    kTypeNumber,
    kTypeDictionary,
    kTypeURL,
    kTypeUUID,
    kTypeBundle,
    kTypeRunLoop,
    kTypeSource,
    kTypeTimer,
    kTypeFileDescriptor,
};

// Every CF object starts with this header. Constant objects (CFSTR, UUID
// constants, the run loop) are marked immortal and ignore retain/release.
struct Object {
    explicit Object(CFTypeID t) : type(t) {}
    virtual ~Object() = default;
    virtual bool equals(const Object &other) const { return this == &other; }
    virtual std::string describe() const;
    CFTypeID type;
    std::atomic<long> refs{1};
    bool immortal = false;
};

inline Object *obj(CFTypeRef cf) { return const_cast<Object *>(static_cast<const Object *>(cf)); }
template <class T> T *as(CFTypeRef cf, CFTypeID t) {
    return (cf && obj(cf)->type == t) ? static_cast<T *>(obj(cf)) : nullptr;
}

// UTF-8 text of a CF string ("" for 0 or a non-string).
std::string utf8(CFStringRef s);
CFStringRef make_string(const std::string &utf8Text);

// The platform's clock (fw_set_clock), by default the machine's: monotonic
// nanoseconds; a wait of ms milliseconds on it; ms of it let pass at once,
// when its holder moves it by hand (true), else nothing (false: it moves by
// itself, and a wait is one in the machine's time).
uint64_t mono_ns();
void wait_ms(int ms);
bool pass_by_hand(int ms);
bool clock_injected();
void set_injected_clock(uint64_t (*now)(void *), bool (*wait)(void *, int), void *ctx);

}  // namespace fw
