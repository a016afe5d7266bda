// Calls into plug-in members by a binding text chosen at run time, for the
// tests that pick members from tables of texts. The text's declaration (and,
// for a property, its declared type from the binding list; a method's text,
// a global function's among them, need not be in the list) is read when the
// call is made: a call whose arguments or result differ from it in type or
// count fails with std::logic_error before anything is called. Texts known
// where the call is written are better called through tavrin::lookupEntry,
// whose mismatches do not build.
#pragma once

#include "binding/entrypoints.h"

#include <rb/declaration.h>
#include <rb/entrypoints.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>

namespace bytext {

namespace detail {

using rb::decl::Kind;

template <class> inline constexpr bool kNoKind = false;

// The one declared type an argument stands for.
template <class A> constexpr Kind argumentKind() {
    using D = std::remove_cvref_t<A>;
    if constexpr (std::is_same_v<D, bool>) return Kind::Boolean;
    else if constexpr (rb::detail::Pass<Kind::Integer>::accepts<D>) return Kind::Integer;
    else if constexpr (std::is_same_v<D, double>) return Kind::Double;
    else if constexpr (std::is_same_v<D, float>) return Kind::Single;
    else if constexpr (rb::detail::Pass<Kind::String>::accepts<D>) return Kind::String;
    else if constexpr (rb::detail::Pass<Kind::Object>::accepts<D>) return Kind::Object;
    else static_assert(kNoKind<D>, "no declared type is passed as this argument");
}

// A result taken as the member gives it: the reference (a host string or
// object handle) or the byte (a boolean) goes to the caller as it is.
template <class R> inline constexpr bool kRawResult =
    std::is_same_v<R, RBBoolean> || std::is_same_v<R, REALstring> || rb::detail::isObjectHandle<R>;

// The declared result a result type stands for.
template <class R> constexpr Kind resultKind() {
    if constexpr (std::is_same_v<R, bool> || std::is_same_v<R, RBBoolean>) return Kind::Boolean;
    else if constexpr (std::is_same_v<R, REALstring>) return Kind::String;
    else if constexpr (rb::detail::isObjectHandle<R>) return Kind::Object;
    else if constexpr (std::is_same_v<R, int32_t>) return Kind::Integer;
    else if constexpr (std::is_same_v<R, double>) return Kind::Double;
    else if constexpr (std::is_same_v<R, float>) return Kind::Single;
    else if constexpr (std::is_same_v<R, rb::String>) return Kind::String;
    else if constexpr (std::is_same_v<R, rb::ObjRef>) return Kind::Object;
    else static_assert(kNoKind<R>, "no declared result is given as this type");
}

// The text's declaration, which must take A... and give R.
template <class R, class... A> void check(std::string_view text, rb::decl::Form form) {
    int slot = tavrin::detail::slotOf(text);  // the list gives a property its type
    rb::decl::Signature sig = rb::decl::parse(text, slot < 0 ? "" : tavrin::detail::kTypes[size_t(slot)]);
    auto refuse = [&](const char *why) { throw std::logic_error(std::string(text) + ": " + why); };
    if (!sig.ok) refuse(slot < 0 ? "not a method's text, nor a text of the binding list" : "a form that is not known");
    if (sig.form != form) refuse("called in another form than declared");
    if (sig.count != int(sizeof...(A))) refuse("not the declared number of arguments");
    const Kind given[] = {argumentKind<A>()..., Kind::Integer};
    for (size_t i = 0; i < sizeof...(A); ++i)
        if (sig.params[i].kind != given[i]) refuse("an argument whose type is not the declared one");
    if constexpr (std::is_void_v<R>) {
        if (sig.hasResult) refuse("its result is left untaken");
    } else {
        if (!sig.hasResult || sig.result != resultKind<R>()) refuse("a result of another type than declared");
    }
}

template <class R> struct RawResult { using type = typename rb::detail::Pass<resultKind<R>()>::Raw; };
template <> struct RawResult<void> { using type = void; };

inline void *lookup(std::string_view text) { return RuntimeLookupPluginEntrypoint(std::string(text).c_str()); }

// Calls fn(lead..., args...) with the types the check found declared.
template <class R, class... Lead, class... A> R invoke(void *entry, std::tuple<Lead...> lead, const A &...args) {
    if (!entry) rb::detail::missingEntry();
    using Raw = typename RawResult<R>::type;
    auto fn = reinterpret_cast<Raw (*)(Lead..., typename rb::detail::Pass<argumentKind<A>()>::Raw...)>(entry);
    auto through = [&](Lead... l) { return fn(l..., rb::detail::Pass<argumentKind<A>()>::pass(args)...); };
    if constexpr (std::is_void_v<R>) {
        std::apply(through, lead);
        rb::raisePending();
    } else {
        using P = rb::detail::Pass<resultKind<R>()>;
        Raw r = std::apply(through, lead);
        if (rb::hasPending()) {
            if constexpr (requires { P::drop(r); }) P::drop(r);
            rb::raisePending();
        }
        if constexpr (kRawResult<R>) return reinterpret_cast<R>(r);
        else return P::take(r);
    }
}

}  // namespace detail

// A member of obj: obj, then the arguments; looked up by its text, or an
// entry found otherwise and its text.
template <class R = void, class... A> R call(void *entry, std::string_view text, REALobject obj, const A &...args) {
    detail::check<R, A...>(text, rb::decl::Form::Method);
    rb::requireObject(obj);
    rb::ObjRef hold = rb::ObjRef::retain(obj);
    return detail::invoke<R>(entry, std::tuple<REALobject>(obj), args...);
}
template <class R = void, class... A> R call(std::string_view text, REALobject obj, const A &...args) {
    return call<R>(detail::lookup(text), text, obj, args...);
}

// A global method: the arguments alone.
template <class R = void, class... A> R callGlobal(void *entry, std::string_view text, const A &...args) {
    detail::check<R, A...>(text, rb::decl::Form::Global);
    return detail::invoke<R>(entry, std::tuple<>(), args...);
}
template <class R = void, class... A> R callGlobal(std::string_view text, const A &...args) {
    return callGlobal<R>(detail::lookup(text), text, args...);
}

// A property's getter (obj, 0) and setter (obj, 0, value).
template <class R> R getProp(std::string_view text, REALobject obj) {
    detail::check<R>(text, rb::decl::Form::Property);
    rb::requireObject(obj);
    rb::ObjRef hold = rb::ObjRef::retain(obj);
    return detail::invoke<R>(detail::lookup(text), std::tuple<REALobject, intptr_t>(obj, 0));
}
template <class V> void setProp(std::string_view text, REALobject obj, const V &value) {
    detail::check<void, V>(text, rb::decl::Form::Property);
    rb::requireObject(obj);
    rb::ObjRef hold = rb::ObjRef::retain(obj);
    detail::invoke<void>(detail::lookup(text), std::tuple<REALobject, intptr_t>(obj, 0), value);
}

}  // namespace bytext
