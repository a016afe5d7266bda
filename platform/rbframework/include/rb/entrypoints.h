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

#include <rb/declaration.h>
#include <rb/exception.h>
#include <rb/object.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

extern "C" {
void **RuntimeAllocatePluginEntrypointsTable(int n);  // zero-filled, lives forever
void *RuntimeLookupPluginEntrypoint(const char *text);
}

namespace rb {

// True when `entry` is one of the traps for unknown texts.
bool isTrap(void *entry);

// A member bound by its text: the entry and, from the text (and for a
// property the declared type), what a call through it takes and gives. Only
// calls that match the declaration build: an integer is an int32_t (or a
// narrower integer), a boolean a bool, a string an rb::String or REALstring,
// a double a double or float, a single a float, an object a REALobject (any
// of the host's object handles) or rb::ObjRef; the count is the declared one,
// less trailing parameters that have a default. Results come back as
// int32_t, bool (the low bit), rb::String / rb::ObjRef (adopting the
// reference the member returns), double or float.
template <Text T, Text Type = ""> struct Member {
    static constexpr decl::Signature sig = decl::parse(T.view(), Type.view());
    static_assert(sig.ok, "a binding text whose form is not known: no call can be typed from it");
    static constexpr std::string_view text() { return T.view(); }
    void *entry = nullptr;
};

// Looks a member up by its text in the loaded plug-ins.
template <Text T, Text Type = ""> Member<T, Type> lookup() { return {RuntimeLookupPluginEntrypoint(T.chars)}; }

// A text made at run time, looked up typed like the member Like: the text's
// own declaration, read now, must take and give the same as Like's, or
// std::logic_error.
template <Text Like, Text Type = ""> Member<Like, Type> lookupLike(std::string_view text, std::string_view type = {}) {
    if (!(decl::parse(text, type) == Member<Like, Type>::sig))
        throw std::logic_error(std::string(text) + " is not declared like " + std::string(Like.view()));
    return {RuntimeLookupPluginEntrypoint(std::string(text).c_str())};
}

namespace detail {

template <decl::Kind K> struct Pass;
template <> struct Pass<decl::Kind::Integer> {
    using Raw = RBInteger;
    using Result = int32_t;
    template <class A> static constexpr bool accepts =
        std::is_integral_v<A> && !std::is_same_v<A, bool> && requires(A a) {
        RBInteger{a};
    };
    static Raw pass(RBInteger v) { return v; }
    static Result take(Raw r) { return r; }
};
template <> struct Pass<decl::Kind::Boolean> {
    using Raw = RBBoolean;
    using Result = bool;
    template <class A> static constexpr bool accepts = std::is_same_v<A, bool>;
    static Raw pass(bool v) { return RBBoolean(v ? 1 : 0); }
    static Result take(Raw r) { return r & 1; }
};
template <> struct Pass<decl::Kind::String> {
    using Raw = REALstring;
    using Result = String;
    template <class A> static constexpr bool accepts = std::is_same_v<A, String> || std::is_same_v<A, REALstring>;
    static Raw pass(const String &s) { return s.get(); }
    static Raw pass(REALstring s) { return s; }
    static Result take(Raw r) { return String::adopt(r); }
    static void drop(Raw r) { releaseString(r); }
};
template <> struct Pass<decl::Kind::Double> {
    using Raw = double;
    using Result = double;
    template <class A> static constexpr bool accepts = std::is_floating_point_v<A> &&requires(A a) { double{a}; };
    static Raw pass(double v) { return v; }
    static Result take(Raw r) { return r; }
};
template <> struct Pass<decl::Kind::Single> {
    using Raw = float;
    using Result = float;
    template <class A> static constexpr bool accepts = std::is_same_v<A, float>;
    static Raw pass(float v) { return v; }
    static Result take(Raw r) { return r; }
};
template <class A> inline constexpr bool isObjectHandle =
    std::is_same_v<A, REALobject> || std::is_same_v<A, REALpicture> || std::is_same_v<A, REALfolderItem> ||
    std::is_same_v<A, REALgraphics> || std::is_same_v<A, REALwindow> || std::is_same_v<A, REALmemoryBlock> ||
    std::is_same_v<A, REALarray> || std::is_same_v<A, REALstringArray> || std::is_same_v<A, REALintArray>;
template <class A> inline constexpr bool isRef = false;
template <class P> inline constexpr bool isRef<Ref<P>> = isObjectHandle<P *>;
template <> struct Pass<decl::Kind::Object> {
    using Raw = REALobject;
    using Result = ObjRef;
    template <class A> static constexpr bool accepts =
        isObjectHandle<A> || isRef<A> || std::is_same_v<A, std::nullptr_t>;
    static Raw pass(std::nullptr_t) { return nullptr; }
    template <class P> static Raw pass(const Ref<P> &o) { return reinterpret_cast<REALobject>(o.get()); }
    template <class P> static Raw pass(P *p) { return reinterpret_cast<REALobject>(p); }
    static Result take(Raw r) { return ObjRef::adopt(r); }
    static void drop(Raw r) { release(r); }
};

template <class M, size_t I> using ParamPass = Pass<M::sig.params[I].kind>;

// The result as the caller gets it, and as the function returns it.
template <class M> struct Result {
    using Raw = void;
    using Type = void;
};
template <class M>
requires(M::sig.hasResult) struct Result<M> {
    using Raw = typename Pass<M::sig.result>::Raw;
    using Type = typename Pass<M::sig.result>::Result;
};

void missingEntry();  // raises RuntimeError for a null entry

// Argument I: the caller's, or the declared default when left out.
template <class M, size_t I, class Args> typename ParamPass<M, I>::Raw argument(const Args &args) {
    if constexpr (I < std::tuple_size_v<Args>) {
        using A = std::remove_cvref_t<std::tuple_element_t<I, Args>>;
        static_assert(ParamPass<M, I>::template accepts<A>,
                      "an argument whose type is not the declared one (see the member's text)");
        return ParamPass<M, I>::pass(std::get<I>(args));
    } else {
        return M::sig.params[I].fallback;
    }
}

// Calls fn(lead..., arguments...) with the declared types and hands back the
// result; a pending exception is thrown as rb::Exception (a string or object
// result then released).
template <class M, class... A, class... Lead>
typename Result<M>::Type invoke(void *entry, const std::tuple<const A &...> &args, Lead... lead) {
    static_assert(int(sizeof...(A)) >= M::sig.required && int(sizeof...(A)) <= M::sig.count,
                  "not the declared number of arguments (see the member's text)");
    if (!entry) missingEntry();
    return [&]<size_t... I>(std::index_sequence<I...>)->typename Result<M>::Type {
        using Raw = typename Result<M>::Raw;
        auto fn = reinterpret_cast<Raw (*)(Lead..., typename ParamPass<M, I>::Raw...)>(entry);
        if constexpr (std::is_void_v<Raw>) {
            fn(lead..., argument<M, I>(args)...);
            raisePending();
        } else {
            Raw r = fn(lead..., argument<M, I>(args)...);
            if (hasPending()) {
                if constexpr (requires { Pass<M::sig.result>::drop(r); }) Pass<M::sig.result>::drop(r);
                raisePending();
            }
            return Pass<M::sig.result>::take(r);
        }
    }
    (std::make_index_sequence<size_t(M::sig.count)>());
}

}  // namespace detail

// Calls a member of obj: holds a reference on obj for the call and passes
// obj then the arguments (a property accessor: obj, 0, then the value). A nil
// obj raises NilObjectException without calling.
template <Text T, Text Type, class... A>
typename detail::Result<Member<T, Type>>::Type call(Member<T, Type> m, REALobject obj, const A &...args) {
    using M = Member<T, Type>;
    static_assert(M::sig.form != decl::Form::Global, "a global function takes no object: callGlobal");
    requireObject(obj);
    ObjRef hold = ObjRef::retain(obj);
    if constexpr (M::sig.form == decl::Form::Property)
        return detail::invoke<M, A...>(m.entry, std::tie(args...), obj, intptr_t(0));
    else return detail::invoke<M, A...>(m.entry, std::tie(args...), obj);
}

// Calls a global method (no object).
template <Text T, Text Type, class... A>
typename detail::Result<Member<T, Type>>::Type callGlobal(Member<T, Type> m, const A &...args) {
    static_assert(Member<T, Type>::sig.form == decl::Form::Global, "a member of a class: call it on an object");
    return detail::invoke<Member<T, Type>, A...>(m.entry, std::tie(args...));
}

// A property's getter (obj, 0) and setter (obj, 0, value).
template <Text T, Text Type> typename detail::Result<Member<T, Type>>::Type getProp(Member<T, Type> m, REALobject obj) {
    static_assert(Member<T, Type>::sig.form == decl::Form::Property && Member<T, Type>::sig.hasResult,
                  "not a property getter");
    return call(m, obj);
}
template <Text T, Text Type, class V> void setProp(Member<T, Type> m, REALobject obj, const V &value) {
    static_assert(Member<T, Type>::sig.form == decl::Form::Property && !Member<T, Type>::sig.hasResult,
                  "not a property setter");
    call(m, obj, value);
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
