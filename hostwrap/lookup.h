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
