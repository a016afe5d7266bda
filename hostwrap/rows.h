// The vocabulary of the accessor family tables (families/*.def). A row
// names its accessor, result type, miss result, the names it looks up, its
// calling form and options, then its parameter types:
//
//   SILENT(name, R, miss, resolver, form, types...)
//   LOGGED(name, R, miss, resolver, form, types...)
//   PROPFIRST(name, R, miss, property, resolver, form, types...)
//   SIGFIRST(name, R, miss, loader, signature, resolver, types...)
//   RESFIRST(name, R, miss, resolver, fallback, fallbackName, form, types...)
//   PROPONLY(name, R, miss, property, prefix, types...)
//   HAND(name, R, types...)         written by hand beside its table
//
// Each order also has an _X form that takes the slot's name after the
// accessor's name and an OPTS(...) column before the types, for the rows
// that differ from their order's template. `form` is FWD (the accessor's
// own arguments) or SEL(k) (the object, the number k, then the rest).
#pragma once

#include "lookup.h"

#define HW_CAT(a, b) HW_CAT_I(a, b)
#define HW_CAT_I(a, b) a##b
#define HW_NARG(...) HW_NARG_I(__VA_ARGS__ __VA_OPT__(, ) 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0)
#define HW_NARG_I(_1, _2, _3, _4, _5, _6, _7, _8, _9, _10, _11, _12, N, ...) N

// "T1 a1, T2 a2, ..." and "a1, a2, ..." of a list of parameter types.
#define HW_PARAMS(...) HW_CAT(HW_P, HW_NARG(__VA_ARGS__))(__VA_ARGS__)
#define HW_P0()
#define HW_P1(t1) t1 a1
#define HW_P2(t1, t2) t1 a1, t2 a2
#define HW_P3(t1, t2, t3) t1 a1, t2 a2, t3 a3
#define HW_P4(t1, t2, t3, t4) t1 a1, t2 a2, t3 a3, t4 a4
#define HW_P5(t1, t2, t3, t4, t5) t1 a1, t2 a2, t3 a3, t4 a4, t5 a5
#define HW_P6(t1, t2, t3, t4, t5, t6) t1 a1, t2 a2, t3 a3, t4 a4, t5 a5, t6 a6
#define HW_P7(t1, t2, t3, t4, t5, t6, t7) t1 a1, t2 a2, t3 a3, t4 a4, t5 a5, t6 a6, t7 a7
#define HW_P8(t1, t2, t3, t4, t5, t6, t7, t8) t1 a1, t2 a2, t3 a3, t4 a4, t5 a5, t6 a6, t7 a7, t8 a8
#define HW_P9(t1, t2, t3, t4, t5, t6, t7, t8, t9) t1 a1, t2 a2, t3 a3, t4 a4, t5 a5, t6 a6, t7 a7, t8 a8, t9 a9
#define HW_P10(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10) \
    t1 a1, t2 a2, t3 a3, t4 a4, t5 a5, t6 a6, t7 a7, t8 a8, t9 a9, t10 a10
#define HW_P11(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10, t11) \
    t1 a1, t2 a2, t3 a3, t4 a4, t5 a5, t6 a6, t7 a7, t8 a8, t9 a9, t10 a10, t11 a11
#define HW_P12(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10, t11, t12) \
    t1 a1, t2 a2, t3 a3, t4 a4, t5 a5, t6 a6, t7 a7, t8 a8, t9 a9, t10 a10, t11 a11, t12 a12
#define HW_ARGS(...) HW_CAT(HW_A, HW_NARG(__VA_ARGS__))
#define HW_A0
#define HW_A1 a1
#define HW_A2 a1, a2
#define HW_A3 a1, a2, a3
#define HW_A4 a1, a2, a3, a4
#define HW_A5 a1, a2, a3, a4, a5
#define HW_A6 a1, a2, a3, a4, a5, a6
#define HW_A7 a1, a2, a3, a4, a5, a6, a7
#define HW_A8 a1, a2, a3, a4, a5, a6, a7, a8
#define HW_A9 a1, a2, a3, a4, a5, a6, a7, a8, a9
#define HW_A10 a1, a2, a3, a4, a5, a6, a7, a8, a9, a10
#define HW_A11 a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11
#define HW_A12 a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12
// ", a1, a2, ..." or nothing.
#define HW_COMMA_ARGS(...) __VA_OPT__(, HW_ARGS(__VA_ARGS__))

#define FWD hostwrap::Forward
#define SEL(k) hostwrap::Selector<k>
#define OPTS(...) (hostwrap::Options{__VA_ARGS__})
#define OBJECT_METHOD hostwrap::Loader::ObjectMethod
#define GLOBAL_METHOD hostwrap::Loader::GlobalMethod
#define THEN_PROPERTY hostwrap::Loader::Property
