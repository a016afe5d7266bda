// The member shapes of the wrapper classes. A class's forwarding members are
// one table of rows (HW_ROWS_<class> in the group's *_rows.h), each row
// naming its shape, result type, member name, accessor and parameter types:
//
//   M##_FWD(C, R, name, accessor, types...)     the held object, then the arguments
//   M##_STATIC(C, R, name, accessor, types...)  the arguments only
//
// Event-handler installers are tables of their own (HW_EVENTS_<class> in
// events_rows.h), expanded with HW_DECL_EVENT and HW_DEF_EVENT.
//
// The class body expands its table with M = HW_DECL (declarations), the
// group's source with M = HW_DEF (the out-of-line definitions): one row
// each, HW_MEMBERS(C) and HW_EVENT_MEMBERS(C) in the class,
// HW_DEFINE_MEMBERS(C) in the source (.clang-format knows the three as
// statements).
#pragma once

#include "accessors.h"
#include "rows.h"
#include "wrappers/events_rows.h"

#include <rb/plugin.h>

#include <type_traits>

namespace hostwrap {

// The held pointer as whatever handle type the accessor takes: the host's
// handles are all objects, and a wrapper passes its pointer on unchecked.
struct Held {
    const void *p;
    template <class T> operator T *() const { return static_cast<T *>(const_cast<void *>(p)); }
};

// An argument passed on as the accessor's parameter type: numbers are
// narrowed to the host's widths explicitly (the members take the platform's
// long), everything else converts as it would.
template <class V> struct Arg {
    V v;
    template <class T>
    requires(std::is_arithmetic_v<T> &&std::is_arithmetic_v<V>) operator T() const { return static_cast<T>(v); }
    template <class T>
    requires(!(std::is_arithmetic_v<T> && std::is_arithmetic_v<V>)&&std::is_convertible_v<V, T>) operator T() const {
        return v;
    }
};
template <class V> Arg(V) -> Arg<V>;  // for compilers without aggregate deduction

// Installs `callback` for the event named `event` on `object` and gives the
// host's answer. The name is a new host string handed to the host and never
// released here.
long installEventHandler(REALobjectStruct *object, const char *event, REALproc callback);

}  // namespace hostwrap

// ", Arg{a1}, Arg{a2}, ..." or nothing.
#define HW_ARGS_AS(...) HW_CAT(HW_AA, HW_NARG(__VA_ARGS__))
#define HW_AA0
#define HW_AA1 \
    hostwrap::Arg { a1 }
#define HW_AA2 \
    HW_AA1, hostwrap::Arg { a2 }
#define HW_AA3 \
    HW_AA2, hostwrap::Arg { a3 }
#define HW_AA4 \
    HW_AA3, hostwrap::Arg { a4 }
#define HW_AA5 \
    HW_AA4, hostwrap::Arg { a5 }
#define HW_AA6 \
    HW_AA5, hostwrap::Arg { a6 }
#define HW_AA7 \
    HW_AA6, hostwrap::Arg { a7 }
#define HW_AA8 \
    HW_AA7, hostwrap::Arg { a8 }
#define HW_AA9 \
    HW_AA8, hostwrap::Arg { a9 }
#define HW_COMMA_ARGS_AS(...) __VA_OPT__(, HW_ARGS_AS(__VA_ARGS__))

#define HW_DECL_FWD(C, R, name, acc, ...) R name(HW_PARAMS(__VA_ARGS__)) const;
#define HW_DECL_STATIC(C, R, name, acc, ...) static R name(HW_PARAMS(__VA_ARGS__));

// Results are the accessor's, in the member's declared type (the low 8 bits
// of a Boolean, a 16-bit value sign-extended where declared short).
#define HW_DEF_FWD(C, R, name, acc, ...)                                              \
    R C::name(HW_PARAMS(__VA_ARGS__)) const {                                         \
        return static_cast<R>(acc(hostwrap::Held{p_} HW_COMMA_ARGS_AS(__VA_ARGS__))); \
    }
#define HW_DEF_STATIC(C, R, name, acc, ...) \
    R C::name(HW_PARAMS(__VA_ARGS__)) { return static_cast<R>(acc(HW_ARGS_AS(__VA_ARGS__))); }

#define HW_MEMBERS(C) HW_ROWS_##C(HW_DECL, C)
#define HW_EVENT_MEMBERS(C) HW_EVENTS_##C(HW_DECL_EVENT, C)
#define HW_DEFINE_MEMBERS(C) HW_ROWS_##C(HW_DEF, C)

#define HW_DECL_EVENT(C, name, event) long name(REALproc callback) const;
#define HW_DEF_EVENT(C, name, event) \
    long C::name(REALproc callback) const { return hostwrap::installEventHandler(hostwrap::Held{p_}, event, callback); }
