// Binding plug-in members by declaration text, and calling them.
//
// Texts, matched byte for byte against what the plug-in declared:
//   "Class.__init" / "Class.__exit"       class constructor / destructor
//   "Class." + method declaration          the method's function
//   "Class." + method declaration + ".Set" setter of a method-style property
//   "Class.Prop.Get" / "Class.Prop.Set"    function-backed property accessors
//   "application." + declaration           method a plug-in added to Application
//   declaration                            global method
// A direct-access property has no entry. A text that names nothing gets a
// trap of its own: calling it raises "RuntimeError" with the message
// "Plug-in member not available: <text>" (never nullptr, never a crash).
#pragma once

#include <rb/exception.h>
#include <rb/object.h>

#include <cstring>
#include <type_traits>

extern "C" {
void **RuntimeAllocatePluginEntrypointsTable(int n);  // zero-filled, lives forever
void *RuntimeLookupPluginEntrypoint(const char *text);
}

namespace rb {

// True when `entry` is one of the traps for unknown texts.
bool isTrap(void *entry);

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

void missingEntry();  // raises RuntimeError for a null entry

template <class R, class... P, class... A> R invoke(void *entry, A &&...args) {
    if (!entry) missingEntry();
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

// Calls a member: holds a reference on obj for the call, passes obj then the
// arguments, throws a pending exception as rb::Exception. R = bool takes the
// low bit; R = String / ObjRef adopt the reference the member returns.
// A nil obj raises NilObjectException without calling.
template <class R = void, class... A> R call(void *entry, REALobject obj, const A &...args) {
    requireObject(obj);
    ObjRef hold = ObjRef::retain(obj);
    return detail::invoke<R, REALobject, detail::Passed<A>...>(entry, obj, detail::passArg(args)...);
}

// Calls a global method (no object).
template <class R = void, class... A> R callGlobal(void *entry, const A &...args) {
    return detail::invoke<R, detail::Passed<A>...>(entry, detail::passArg(args)...);
}

// Property getter and setter functions: (obj, 0) and (obj, 0, value).
template <class R> R getProp(void *entry, REALobject obj) { return call<R>(entry, obj, intptr_t(0)); }
template <class T> void setProp(void *entry, REALobject obj, const T &value) {
    if constexpr (std::is_same_v<T, bool>) call<void>(entry, obj, intptr_t(0), RBBoolean(value ? 1 : 0));
    else call<void>(entry, obj, intptr_t(0), value);
}

// Direct access to a field of a root plug-in class's data: byte 24 + param.
template <class T> T direct(REALobject obj, intptr_t param) {
    requireObject(obj);
    const char *at = reinterpret_cast<const char *>(obj) + 24 + param;
    if constexpr (std::is_same_v<T, bool>) {
        return (*reinterpret_cast<const uint8_t *>(at) & 1) != 0;
    } else {
        T v;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
}
template <class T> void setDirect(REALobject obj, intptr_t param, T v) {
    requireObject(obj);
    std::memcpy(reinterpret_cast<char *>(obj) + 24 + param, &v, sizeof v);
}

}  // namespace rb
