// Calls through an entry whose types the caller states, for tests that look
// members up by a text built at run time. The types are the caller's guess:
// nothing checks them against the declaration. Product code calls typed
// members only (rb/entrypoints.h).
#pragma once

#include <rb/entrypoints.h>

namespace rb::untyped {

namespace detail {
template <class A> inline A passArg(A a) { return a; }
inline REALstring passArg(const String &s) { return s.get(); }
inline REALobject passArg(const ObjRef &o) { return o.get(); }
template <class A> using Passed = decltype(passArg(std::declval<const A &>()));

template <class R> struct Ret {
    using Raw = R;
    static R take(R r) { return r; }
};
template <> struct Ret<void> { using Raw = void; };
template <> struct Ret<bool> {
    using Raw = RBBoolean;
    static bool take(RBBoolean r) { return r & 1; }
};
template <> struct Ret<String> {
    using Raw = REALstring;
    static String take(REALstring r) { return String::adopt(r); }
};
template <> struct Ret<ObjRef> {
    using Raw = REALobject;
    static ObjRef take(REALobject r) { return ObjRef::adopt(r); }
};

template <class R, class... P, class... A> R invoke(void *entry, A &&...args) {
    if (!entry) rb::detail::missingEntry();
    using Raw = typename Ret<R>::Raw;
    auto fn = reinterpret_cast<Raw (*)(P...)>(entry);
    if constexpr (std::is_void_v<R>) {
        fn(std::forward<A>(args)...);
        raisePending();
    } else {
        Raw r = fn(std::forward<A>(args)...);
        if (hasPending()) {
            if constexpr (std::is_same_v<Raw, REALstring>) releaseString(r);
            if constexpr (std::is_same_v<Raw, REALobject>) release(r);
            raisePending();
        }
        return Ret<R>::take(r);
    }
}
}  // namespace detail

template <class R = void, class... A> R call(void *entry, REALobject obj, const A &...args) {
    requireObject(obj);
    ObjRef hold = ObjRef::retain(obj);
    return detail::invoke<R, REALobject, detail::Passed<A>...>(entry, obj, detail::passArg(args)...);
}
template <class R = void, class... A> R callGlobal(void *entry, const A &...args) {
    return detail::invoke<R, detail::Passed<A>...>(entry, detail::passArg(args)...);
}
template <class R> R getProp(void *entry, REALobject obj) { return call<R>(entry, obj, intptr_t(0)); }
template <class T> void setProp(void *entry, REALobject obj, const T &value) {
    if constexpr (std::is_same_v<T, bool>) call<void>(entry, obj, intptr_t(0), RBBoolean(value ? 1 : 0));
    else call<void>(entry, obj, intptr_t(0), value);
}

}  // namespace rb::untyped
