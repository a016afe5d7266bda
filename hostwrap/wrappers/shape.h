// The member shapes of the wrapper classes. A class's forwarding members are
// one table of rows (HW_ROWS_<class> in the group's *_rows.h), each row
// naming its shape, result type, member name, accessor and parameter types:
//
//   M##_FWD(C, R, name, accessor, types...)     the held object, then the arguments
//   M##_STATIC(C, R, name, accessor, types...)  the arguments only
//
// The class body expands its table with M = HW_DECL (declarations), the
// group's source with M = HW_DEF (the out-of-line definitions).
#pragma once

#include "accessors.h"
#include "rows.h"

#include <rb/plugin.h>

namespace hostwrap {

// The held pointer as whatever handle type the accessor takes: the host's
// handles are all objects, and a wrapper passes its pointer on unchecked.
struct Held {
    const void *p;
    template <class T> operator T *() const { return static_cast<T *>(const_cast<void *>(p)); }
};

}  // namespace hostwrap

#define HW_DECL_FWD(C, R, name, acc, ...) R name(HW_PARAMS(__VA_ARGS__)) const;
#define HW_DECL_STATIC(C, R, name, acc, ...) static R name(HW_PARAMS(__VA_ARGS__));

#define HW_DEF_FWD(C, R, name, acc, ...) \
    R C::name(HW_PARAMS(__VA_ARGS__)) const { return acc(hostwrap::Held{p_} HW_COMMA_ARGS(__VA_ARGS__)); }
#define HW_DEF_STATIC(C, R, name, acc, ...) \
    R C::name(HW_PARAMS(__VA_ARGS__)) { return acc(HW_ARGS(__VA_ARGS__)); }
