// The accessor lookup engine: how an accessor finds the host's function for
// its member by property, declaration signature or resolver name, keeps it
// in its own cache slot, and logs its failures. Each accessor is one row of
// a family table; the templates below are the lookup orders.
#pragma once

#include <rb/plugin.h>

#include <atomic>
#include <type_traits>

namespace hostwrap {

// The cache slot of one accessor: empty at load, written by every lookup
// attempt (null included), read and written atomically.
using Slot = std::atomic<void *>;

// Logs "<prefix> <name>" through the debug helpers: dlog on Mac OS X,
// dprintf with a line feed otherwise.
void logFailure(const char *prefix, const char *name);
// Logs a literal as it stands, the same way.
void logText(const char *text);

// The host's function of a resolver name, or null.
void *KespResolver(const char *name);
// A global method or an object's method by declaration signature, or null.
void *loadGlobalMethod(const char *signature);
void *loadObjectMethod(REALobject object, const char *signature);
// A string property by name ("REALGetPropValueString"); false when missing.
bool getPropString(REALobject object, const char *name, REALstring *out);
void unlockObject(REALobject object);

inline constexpr const char *kDynamic = "DYNAMIC ACCESS FAILURE:";
inline constexpr const char *kBoth = "RESOLVER AND DYNAMIC ACCESS FAILURE:";
inline constexpr const char *kResolver = "RESOLVER FAILURE:";

// A procedure's miss result is a placeholder.
template <class R> using MissOf = std::conditional_t<std::is_void_v<R>, int, R>;

namespace detail {
template <class R, class... A> R invoke(void *fn, A... args) {
    return reinterpret_cast<R (*)(A...)>(fn)(args...);
}
template <class R> R miss(R value) { return value; }
}  // namespace detail

// Logged resolver lookup: the slot, else the resolver; a miss logs
// "RESOLVER FAILURE: <resolver name>".
template <class R, class... A>
R loggedResolver(Slot &slot, const char *resolverName, R missResult, A... args) {
    void *fn = slot.load(std::memory_order_acquire);
    if (!fn) {
        fn = KespResolver(resolverName);
        slot.store(fn, std::memory_order_release);
    }
    if (fn) return detail::invoke<R>(fn, args...);
    logFailure(kResolver, resolverName);
    return missResult;
}

// Signature-first lookup of a global method: the slot, the method by
// signature, then the resolver; messages name `name`.
template <class R, class... A>
R signatureFirst(Slot &slot, const char *signature, const char *resolverName, const char *name, R missResult,
                 A... args) {
    if (void *fn = slot.load(std::memory_order_acquire)) return detail::invoke<R>(fn, args...);
    void *fn = loadGlobalMethod(signature);
    slot.store(fn, std::memory_order_release);
    if (fn) return detail::invoke<R>(fn, args...);
    logFailure(kDynamic, name);
    if (!resolverName) return missResult;  // signature only
    fn = KespResolver(resolverName);
    slot.store(fn, std::memory_order_release);
    if (fn) return detail::invoke<R>(fn, args...);
    logFailure(kBoth, name);
    return missResult;
}

// Resolver-first lookup with a global method fallback; the one message names `name`.
template <class R, class... A>
R resolverFirst(Slot &slot, const char *resolverName, const char *signature, const char *name, R missResult,
                A... args) {
    if (void *fn = slot.load(std::memory_order_acquire)) return detail::invoke<R>(fn, args...);
    void *fn = KespResolver(resolverName);
    slot.store(fn, std::memory_order_release);
    if (fn) return detail::invoke<R>(fn, args...);
    fn = loadGlobalMethod(signature);
    slot.store(fn, std::memory_order_release);
    if (fn) return detail::invoke<R>(fn, args...);
    logFailure(kBoth, name);
    return missResult;
}

// Property services by value type: true and the value when the object has
// the property.
bool getProperty(REALobject object, const char *name, int32_t *out);
bool getProperty(REALobject object, const char *name, uint8_t *out);
bool getProperty(REALobject object, const char *name, double *out);
bool getProperty(REALobject object, const char *name, REALstring *out);
bool getProperty(REALobject object, const char *name, REALobject *out);
bool setProperty(REALobject object, const char *name, int32_t value);
bool setProperty(REALobject object, const char *name, uint8_t value);
bool setProperty(REALobject object, const char *name, double value);
bool setProperty(REALobject object, const char *name, REALstring value);
bool setProperty(REALobject object, const char *name, REALobject value);

// Property-first getter: the property on every call; else (after "DYNAMIC
// ACCESS FAILURE") the resolver's generic getter in the selector form.
template <class R>
R propertyFirstGet(Slot &slot, REALobject object, const char *property, const char *resolverName, int32_t selector,
                   const char *name, R missResult) {
    R value{};
    if (getProperty(object, property, &value)) return value;
    logFailure(kDynamic, name);
    void *fn = slot.load(std::memory_order_acquire);
    if (!fn) {
        fn = KespResolver(resolverName);
        slot.store(fn, std::memory_order_release);
    }
    if (fn) return detail::invoke<R>(fn, object, selector);
    logFailure(kBoth, name);
    return missResult;
}

// Property-first setter, the same way with (object, selector, value).
template <class T>
void propertyFirstSet(Slot &slot, REALobject object, const char *property, const char *resolverName, int32_t selector,
                      const char *name, T value) {
    if (setProperty(object, property, value)) return;
    logFailure(kDynamic, name);
    void *fn = slot.load(std::memory_order_acquire);
    if (!fn) {
        fn = KespResolver(resolverName);
        slot.store(fn, std::memory_order_release);
    }
    if (fn) return detail::invoke<void>(fn, object, selector, value);
    logFailure(kBoth, name);
}

// Property-only lookup: no slot, no resolver; a miss logs `prefix` (or
// nothing for a null prefix).
template <class R>
R propertyOnlyGet(REALobject object, const char *property, const char *prefix, const char *name, R missResult) {
    R value{};
    if (getProperty(object, property, &value)) return value;
    if (prefix) logFailure(prefix, name);
    return missResult;
}

// Signature-first lookup of an object's method: the method found for the
// first object serves every later call.
template <class R, class... A>
R signatureFirstObject(Slot &slot, REALobject object, const char *signature, const char *resolverName,
                       const char *name, MissOf<R> missResult, A... args) {
    if (void *fn = slot.load(std::memory_order_acquire)) return detail::invoke<R>(fn, object, args...);
    void *fn = loadObjectMethod(object, signature);
    slot.store(fn, std::memory_order_release);
    if (fn) return detail::invoke<R>(fn, object, args...);
    logFailure(kDynamic, name);
    if (!resolverName) return static_cast<R>(missResult);
    fn = KespResolver(resolverName);
    slot.store(fn, std::memory_order_release);
    if (fn) return detail::invoke<R>(fn, object, args...);
    logFailure(kBoth, name);
    return static_cast<R>(missResult);
}

// The entry trace of the accessors that have one: "in <name>", then the
// slot's value by its low 32 bits ("_fp Address->(%x)").
void entryTrace(const char *name, const void *slotValue);

// Resolver-first lookup with a property fallback (asked on every call while
// the slot is empty); the one message names `name`.
template <class R>
R resolverFirstThenProperty(Slot &slot, REALobject object, const char *resolverName, const char *property,
                            const char *name, R missResult) {
    if (void *fn = slot.load(std::memory_order_acquire)) return detail::invoke<R>(fn, object);
    void *fn = KespResolver(resolverName);
    slot.store(fn, std::memory_order_release);
    if (fn) return detail::invoke<R>(fn, object);
    R value{};
    if (getProperty(object, property, &value)) return value;
    logFailure(kBoth, name);
    return missResult;
}

// The call trace of a silent resolver lookup: the literal is logged before
// every call of the found function, nothing on a miss.
template <class R, class... A>
R silentResolverTraced(Slot &slot, const char *resolverName, const char *trace, R missResult, A... args) {
    void *fn = slot.load(std::memory_order_acquire);
    if (!fn) {
        fn = KespResolver(resolverName);
        slot.store(fn, std::memory_order_release);
    }
    if (!fn) return missResult;
    logText(trace);
    return detail::invoke<R>(fn, args...);
}

// Silent resolver lookup: nothing logged.
template <class R, class... A> R silentResolver(Slot &slot, const char *resolverName, R missResult, A... args) {
    void *fn = slot.load(std::memory_order_acquire);
    if (!fn) {
        fn = KespResolver(resolverName);
        slot.store(fn, std::memory_order_release);
    }
    return fn ? detail::invoke<R>(fn, args...) : missResult;
}

}  // namespace hostwrap
