// The accessor lookup engine: how an accessor finds the host's function for
// its member by property, declaration signature or resolver name, keeps it
// in its own cache slot, calls it, and logs its failures. Each accessor is
// one row of a family table (rows.h turns a row into a function); the
// templates below are the lookup orders.
#pragma once

#include "host_services.h"

#include <rb/plugin.h>

#include <atomic>
#include <tuple>
#include <cstdint>
#include <type_traits>

namespace hostwrap {

// The cache slot of one accessor: empty at load, written by every lookup
// attempt that reaches it (null included), never cleared.
using Slot = std::atomic<void *>;

inline constexpr const char *kDynamic = "DYNAMIC ACCESS FAILURE:";
inline constexpr const char *kBoth = "RESOLVER AND DYNAMIC ACCESS FAILURE:";
inline constexpr const char *kResolver = "RESOLVER FAILURE:";
inline constexpr const char *kAccess = "RESOLVER ACCESS FAILURE:";
inline constexpr const char *kDynamicIn = "DYNAMIC ACCESS FAILURE in";
inline constexpr const char *kBothIn = "RESOLVER AND DYNAMIC ACCESS FAILURE in";

// Logs "<prefix> <name>": through dlog on Mac OS X, else through dprintf
// with a line feed.
void logFailure(const char *prefix, const char *name);
// Logs a literal as it stands, the same way.
void logText(const char *text);
// Logs a format with one pointer argument printed by its low 32 bits.
void logAddress(const char *format, const void *address);
// Logs a format with two unsigned arguments.
void logValues(const char *format, unsigned first, unsigned second);

// How a row's messages read.
enum class Messages : uint8_t {
    Plain,  // "DYNAMIC ACCESS FAILURE: <name>" and the like
    In,     // "DYNAMIC ACCESS FAILURE in <name>" and the like
    None,   // nothing is logged
};

// Where a signature-first or resolver-first row looks besides the resolver.
enum class Loader : uint8_t { ObjectMethod, GlobalMethod, Property };

// What a row does differently from its order's template.
struct Options {
    const char *message = nullptr;  // the name that ends its messages (else its own)
    Messages messages = Messages::Plain;
    const char *prefix = nullptr;     // logged and property-only rows: the one message's prefix
    bool entryTrace = false;          // "in <name>" and the slot's value on every call
    const char *callTrace = nullptr;  // logged before every call of the found function
    bool noCache = false;             // asks the resolver on every call, never reads the slot
    const char *property2 = nullptr;  // a second property name tried after the first
    bool logEachProperty = false;     // with property2: one message per property missed
    bool nilMisses = false;           // a nil object gives the miss result before any lookup
    bool quietResolverMiss = false;   // signature-first: nothing more when the resolver misses too
    bool returnsOne = false;          // returns 1 once the function has been called
};

// One row: its exported name and options.
struct Row {
    const char *name;
    Options options;
    constexpr const char *messageName() const { return options.message ? options.message : name; }
};

// The two calling forms: forwarding passes the accessor's own arguments; the
// selector form passes the object, the row's number, then the rest.
struct Forward {};
template <int32_t K> struct Selector { static constexpr int32_t value = K; };

// Booleans reach the host widened to a 32-bit word.
template <class T> using Wide = std::conditional_t<std::is_same_v<T, uint8_t> || std::is_same_v<T, bool>, int32_t, T>;
// A one-byte or 16-bit result is the low part of the host's 32-bit word.
template <class R> struct HostResultOf { using type = R; };
template <> struct HostResultOf<uint8_t> { using type = int32_t; };
template <> struct HostResultOf<int16_t> { using type = int32_t; };
template <> struct HostResultOf<uint16_t> { using type = int32_t; };
template <class R> using HostResult = typename HostResultOf<R>::type;
// A procedure's miss result is a placeholder.
template <class R> using MissOf = std::conditional_t<std::is_void_v<R>, int, R>;

namespace detail {

// ---- narrow results ----------------------------------------------------------------
// A one-byte or 16-bit result is the low part of the host's word. Cut in C++
// (the call, then the cast), it keeps the accessor's frame around the call.
// On x86-64 the low part of the result register already is the narrow
// result (the caller of a function that returns a byte or a short reads %al
// or %ax and widens it itself), so there the accessor jumps instead: to a
// trampoline (lookup.cpp) that leaves every argument register as it is and
// jumps on to the host function, which then returns its word straight to
// the accessor's caller. Each trampoline is called with its exact type: the
// host's arguments as words, in the integer registers, then the host
// function in the next one.
#if defined(__x86_64__)
#define HW_JUMPS(R, tag)                                                                                          \
    extern "C" [[gnu::visibility("hidden")]] R hostwrap_jump0_##tag(void *);                                      \
    extern "C" [[gnu::visibility("hidden")]] R hostwrap_jump1_##tag(uintptr_t, void *);                           \
    extern "C" [[gnu::visibility("hidden")]] R hostwrap_jump2_##tag(uintptr_t, uintptr_t, void *);                \
    extern "C" [[gnu::visibility("hidden")]] R hostwrap_jump3_##tag(uintptr_t, uintptr_t, uintptr_t, void *);     \
    extern "C"                                                                                                    \
        [[gnu::visibility("hidden")]] R hostwrap_jump4_##tag(uintptr_t, uintptr_t, uintptr_t, uintptr_t, void *); \
    extern "C" [[gnu::visibility("hidden")]] R hostwrap_jump5_##tag(uintptr_t, uintptr_t, uintptr_t, uintptr_t,   \
                                                                    uintptr_t, void *);                           \
    template <> struct Jumps<R> {                                                                                 \
        static constexpr auto j0 = &hostwrap_jump0_##tag;                                                         \
        static constexpr auto j1 = &hostwrap_jump1_##tag;                                                         \
        static constexpr auto j2 = &hostwrap_jump2_##tag;                                                         \
        static constexpr auto j3 = &hostwrap_jump3_##tag;                                                         \
        static constexpr auto j4 = &hostwrap_jump4_##tag;                                                         \
        static constexpr auto j5 = &hostwrap_jump5_##tag;                                                         \
    };
template <class R> struct Jumps;
HW_JUMPS(uint8_t, u8)
HW_JUMPS(int16_t, i16)
HW_JUMPS(uint16_t, u16)
#undef HW_JUMPS

// A host argument as a word of an integer register (a 32-bit one is read
// from the register's low half, as the host takes it).
template <class T> uintptr_t word(T v) {
    if constexpr (std::is_pointer_v<T>) return reinterpret_cast<uintptr_t>(v);
    else return uintptr_t(v);
}
template <class T> constexpr bool inIntegerRegister = std::is_pointer_v<T> || std::is_integral_v<T>;

// Whether the accessor jumps: a narrow result and host arguments that all go
// in integer registers, with one left for the host function.
template <class R, class... H> constexpr bool jumps =
    !std::is_same_v<HostResult<R>, R> && sizeof...(H) <= 5 && (inIntegerRegister<H> && ...);

template <class R, class... H> R jump(void *fn, H... host) {
    constexpr size_t n = sizeof...(H);
    if constexpr (n == 0) return Jumps<R>::j0(fn);
    else if constexpr (n == 1) return Jumps<R>::j1(word(host)..., fn);
    else if constexpr (n == 2) return Jumps<R>::j2(word(host)..., fn);
    else if constexpr (n == 3) return Jumps<R>::j3(word(host)..., fn);
    else if constexpr (n == 4) return Jumps<R>::j4(word(host)..., fn);
    else return Jumps<R>::j5(word(host)..., fn);
}
#else
template <class R, class... H> constexpr bool jumps = false;
template <class R, class... H> R jump(void *, H...);
#endif

template <class R, class F, class... A> R reduce(F fn, A... args) {
    if constexpr (std::is_void_v<R>) fn(args...);
    else return static_cast<R>(fn(args...));
}

template <class R, class... A> R call(Forward, void *fn, A... args) {
    if constexpr (jumps<R, Wide<A>...>) {
        return jump<R>(fn, static_cast<Wide<A>>(args)...);
    } else {
        using Fn = HostResult<R> (*)(Wide<A>...);
        return reduce<R>(reinterpret_cast<Fn>(fn), static_cast<Wide<A>>(args)...);
    }
}

template <class R, int32_t K, class O, class... A> R call(Selector<K>, void *fn, O object, A... args) {
    if constexpr (jumps<R, O, int32_t, Wide<A>...>) {
        return jump<R>(fn, object, K, static_cast<Wide<A>>(args)...);
    } else {
        using Fn = HostResult<R> (*)(O, int32_t, Wide<A>...);
        return reduce<R>(reinterpret_cast<Fn>(fn), object, K, static_cast<Wide<A>>(args)...);
    }
}

template <class R> R missed(MissOf<R> miss) {
    if constexpr (!std::is_void_v<R>) return miss;
}

// The found function called in the row's form, or 1 for the rows that say so.
template <class R, class Form, class... A> R invoke(const Row &row, void *fn, A... args) {
    if constexpr (std::is_integral_v<R>) {
        if (row.options.returnsOne) {
            call<void>(Form{}, fn, args...);
            return 1;
        }
    }
    return call<R>(Form{}, fn, args...);
}

inline void *resolve(Slot &slot, const char *resolverName) {
    void *fn = KespResolver(resolverName);
    slot.store(fn, std::memory_order_release);
    return fn;
}

inline void *fill(Slot &slot, const char *resolverName) {
    void *fn = slot.load(std::memory_order_acquire);
    return fn ? fn : resolve(slot, resolverName);
}

inline void log(const Row &row, const char *plain, const char *in) {
    if (row.options.messages == Messages::None) return;
    logFailure(row.options.messages == Messages::In ? in : plain, row.messageName());
}

inline void entryTrace(const Row &row, const void *slotValue) {
    logFailure("in", row.name);
    logAddress("_fp Address->(%x)", slotValue);
}

// A row whose cached function is simply called: no nil check, no fresh
// lookup and no trace before the call.
constexpr bool plainHit(const Row &row) {
    return !row.options.nilMisses && !row.options.noCache && !row.options.entryTrace && !row.options.callTrace;
}

// The first argument (the object of a member accessor).
template <class A0, class... A> A0 first(A0 a, A...) { return a; }

template <class... A> bool nilFirst(A... args) {
    if constexpr (sizeof...(A) > 0) {
        using A0 = decltype(first(args...));
        if constexpr (std::is_pointer_v<A0>) return first(args...) == nullptr;
    }
    return false;
}

template <class... A> void *loadMethod(Loader loader, const char *signature, A... args) {
    if (loader == Loader::GlobalMethod) return REALLoadGlobalMethod(nullptr, signature);
    if constexpr (sizeof...(A) > 0) {
        if constexpr (std::is_pointer_v<decltype(first(args...))>)
            return REALLoadObjectMethod(reinterpret_cast<REALobject>(first(args...)), signature);
    }
    return nullptr;
}

// Property services chosen by the value's type.
inline bool getProp(REALobject o, const char *n, int32_t *v) { return REALGetPropValueInt32(o, n, v); }
inline bool getProp(REALobject o, const char *n, uint32_t *v) {
    return REALGetPropValueInt32(o, n, reinterpret_cast<int32_t *>(v));
}
inline bool getProp(REALobject o, const char *n, uint8_t *v) { return REALGetPropValueUInt8(o, n, v); }
inline bool getProp(REALobject o, const char *n, double *v) { return REALGetPropValueDouble(o, n, v); }
inline bool getProp(REALobject o, const char *n, REALstring *v) { return REALGetPropValueString(o, n, v); }
template <class H> bool getProp(REALobject o, const char *n, H **v) {
    REALobject value = nullptr;
    if (!REALGetPropValueObject(o, n, &value)) return false;
    *v = reinterpret_cast<H *>(value);
    return true;
}
inline bool setProp(REALobject o, const char *n, int32_t v) { return REALSetPropValueInt32(o, n, v); }
inline bool setProp(REALobject o, const char *n, uint32_t v) { return REALSetPropValueInt32(o, n, int32_t(v)); }
inline bool setProp(REALobject o, const char *n, uint8_t v) { return REALSetPropValueUInt8(o, n, v); }
inline bool setProp(REALobject o, const char *n, double v) { return REALSetPropValueDouble(o, n, v); }
inline bool setProp(REALobject o, const char *n, REALstring v) { return REALSetPropValueString(o, n, v); }
template <class H> bool setProp(REALobject o, const char *n, H *v) {
    return REALSetPropValueObject(o, n, reinterpret_cast<REALobject>(v));
}

template <class... A> auto lastOf(A... args) { return std::get<sizeof...(A) - 1>(std::tuple<A...>{args...}); }

// Property step: a getter reads into `*out`, a setter (void R) writes its last argument.
template <class R, class O, class... A> bool property(const char *name, R *out, O object, A... args) {
    if constexpr (!std::is_pointer_v<O>) {
        return false;  // only objects have properties
    } else if constexpr (std::is_void_v<R>) {
        if constexpr (sizeof...(A) == 0) return false;  // a setter without a value
        else return setProp(reinterpret_cast<REALobject>(object), name, lastOf(args...));
    } else {
        return getProp(reinterpret_cast<REALobject>(object), name, out);
    }
}
template <class R> bool property(const char *, R *) { return false; }

template <class R> using Value = std::conditional_t<std::is_void_v<R>, int, R>;

template <class R> R valueOf(Value<R> v) {
    if constexpr (!std::is_void_v<R>) return v;
}

// The property, then the row's second property; false when both miss.
template <class R, class... A> bool properties(const Row &row, const char *name, Value<R> *value, A... args) {
    R *out = nullptr;
    if constexpr (!std::is_void_v<R>) out = value;
    if (property<R>(name, out, args...)) return true;
    if (!row.options.property2) return false;
    if (row.options.logEachProperty) log(row, kDynamic, kDynamicIn);
    return property<R>(row.options.property2, out, args...);
}

}  // namespace detail

// Silent resolver lookup: the slot, else the resolver; nothing logged, but
// for the entry and call traces of the rows that have them.
template <class R, class Form, class... A>
[[gnu::noinline, gnu::cold]] R silentResolverSlow(const Row &row, Slot &slot, const char *resolverName, MissOf<R> miss,
                                                  Form, A... args) {
    if (row.options.nilMisses && detail::nilFirst(args...)) return detail::missed<R>(miss);
    void *fn = row.options.noCache ? detail::resolve(slot, resolverName) : detail::fill(slot, resolverName);
    if (row.options.entryTrace) detail::entryTrace(row, fn);
    if (!fn) return detail::missed<R>(miss);
    if (row.options.callTrace) logText(row.options.callTrace);
    return detail::invoke<R, Form>(row, fn, args...);
}

template <class R, class Form, class... A>
R silentResolver(const Row &row, Slot &slot, const char *resolverName, MissOf<R> miss, Form form, A... args) {
    if (detail::plainHit(row))
        if (void *fn = slot.load(std::memory_order_acquire)) return detail::invoke<R, Form>(row, fn, args...);
    return silentResolverSlow<R>(row, slot, resolverName, miss, form, args...);
}

// Logged resolver lookup: as the silent one, and a miss logs one message:
// "RESOLVER FAILURE: <resolver name>" unless the row gives its own prefix,
// which is followed by the row's name.
template <class R, class Form, class... A>
[[gnu::noinline, gnu::cold]] R loggedResolverSlow(const Row &row, Slot &slot, const char *resolverName, MissOf<R> miss,
                                                  Form, A... args) {
    void *fn = row.options.noCache ? detail::resolve(slot, resolverName) : detail::fill(slot, resolverName);
    if (fn) return detail::invoke<R, Form>(row, fn, args...);
    if (row.options.prefix) logFailure(row.options.prefix, row.messageName());
    else logFailure(kResolver, row.options.message ? row.options.message : resolverName);
    return detail::missed<R>(miss);
}

template <class R, class Form, class... A>
R loggedResolver(const Row &row, Slot &slot, const char *resolverName, MissOf<R> miss, Form form, A... args) {
    if (!row.options.noCache)
        if (void *fn = slot.load(std::memory_order_acquire)) return detail::invoke<R, Form>(row, fn, args...);
    return loggedResolverSlow<R>(row, slot, resolverName, miss, form, args...);
}

// Property-first lookup: the property on every call; else the resolver's
// function in the selector form, kept in the slot.
template <class R, int32_t K, class... A> R propertyFirst(const Row &row, Slot &slot, const char *property,
                                                          const char *resolverName, MissOf<R> miss, Selector<K> form,
                                                          A... args) {
    detail::Value<R> value{};
    if (detail::properties<R>(row, property, &value, args...)) return detail::valueOf<R>(value);
    detail::log(row, kDynamic, kDynamicIn);
    void *fn = detail::fill(slot, resolverName);
    if (row.options.entryTrace) detail::entryTrace(row, fn);
    if (fn) return detail::call<R>(form, fn, args...);
    detail::log(row, kBoth, kBothIn);
    return detail::missed<R>(miss);
}

// Signature-first lookup: the slot, else the method by signature (of the
// object's class or global), else the resolver. The method found for the
// first object serves every later call.
template <class R, class... A>
[[gnu::noinline, gnu::cold]] R signatureFirstSlow(const Row &row, Slot &slot, Loader loader, const char *signature,
                                                  const char *resolverName, MissOf<R> miss, A... args) {
    void *fn = detail::loadMethod(loader, signature, args...);
    slot.store(fn, std::memory_order_release);
    if (fn) return detail::invoke<R, Forward>(row, fn, args...);
    detail::log(row, kDynamic, kDynamicIn);
    if (!resolverName) return detail::missed<R>(miss);
    if ((fn = detail::resolve(slot, resolverName))) return detail::invoke<R, Forward>(row, fn, args...);
    if (!row.options.quietResolverMiss) detail::log(row, kBoth, kBothIn);
    return detail::missed<R>(miss);
}

template <class R, class... A> R signatureFirst(const Row &row, Slot &slot, Loader loader, const char *signature,
                                                const char *resolverName, MissOf<R> miss, A... args) {
    if (void *fn = slot.load(std::memory_order_acquire)) return detail::invoke<R, Forward>(row, fn, args...);
    return signatureFirstSlow<R>(row, slot, loader, signature, resolverName, miss, args...);
}

// Resolver-first lookup: the slot, else the resolver, else the row's
// fallback: a method (forwarded to and kept) or a property (asked on every
// call while the slot is empty). One message when all miss.
template <class R, class Form, class... A>
[[gnu::noinline, gnu::cold]] R resolverFirstSlow(const Row &row, Slot &slot, const char *resolverName, Loader fallback,
                                                 const char *fallbackName, MissOf<R> miss, Form, A... args) {
    if (void *fn = detail::resolve(slot, resolverName)) return detail::invoke<R, Form>(row, fn, args...);
    if (fallback == Loader::Property) {
        detail::Value<R> value{};
        if (detail::properties<R>(row, fallbackName, &value, args...)) return detail::valueOf<R>(value);
    } else {
        void *fn = detail::loadMethod(fallback, fallbackName, args...);
        slot.store(fn, std::memory_order_release);
        if (fn) return detail::invoke<R, Forward>(row, fn, args...);
    }
    detail::log(row, kBoth, kBothIn);
    return detail::missed<R>(miss);
}

template <class R, class Form, class... A> R resolverFirst(const Row &row, Slot &slot, const char *resolverName,
                                                           Loader fallback, const char *fallbackName, MissOf<R> miss,
                                                           Form form, A... args) {
    if (void *fn = slot.load(std::memory_order_acquire)) return detail::invoke<R, Form>(row, fn, args...);
    return resolverFirstSlow<R>(row, slot, resolverName, fallback, fallbackName, miss, form, args...);
}

// Property-only lookup: the property (or its setting), else one message by
// the row's prefix (none for a row without one) and the miss result.
template <class R, class... A> R propertyOnly(const Row &row, const char *property, MissOf<R> miss, A... args) {
    detail::Value<R> value{};
    if (detail::properties<R>(row, property, &value, args...)) return detail::valueOf<R>(value);
    if (row.options.prefix && row.options.messages != Messages::None) logFailure(row.options.prefix, row.messageName());
    return detail::missed<R>(miss);
}

}  // namespace hostwrap
