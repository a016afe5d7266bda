// Shared internals of libfwplatform: the CF object header, the UTF-8 text of
// CF strings and the monotonic clock.
#pragma once

#include "fw/CoreFoundation.h"

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

// Monotonic nanoseconds: the run loop's clock (fw_runloop_set_clock), by
// default the machine's.
uint64_t mono_ns();
bool clock_injected();
void set_injected_clock(uint64_t (*now)(void *), void *ctx);

}  // namespace fw
