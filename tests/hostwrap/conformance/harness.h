// The conformance harness of the accessor families: every table row is
// included a second time to make a recorder with the row's exact host
// signature, registered under the row's names in a host of our own. Each
// accessor is called with distinct sentinel arguments and checked for the
// glue its order promises: who is asked, what reaches the host in which
// order and width, what comes back, what is kept and what is logged.
//
// Each family's file (made by CMake) includes this header, the row macros
// and its table. The templates here only know a row's types: they make its
// recorder and call it with sentinels, and reduce everything to bits. The
// checks themselves are written once, in harness.cpp, and every row becomes a
// test of its own, named after its family and accessor.
#pragma once

#include "accessors.h"
#include "fake_host.h"

#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

namespace conformance {

enum class Order { Silent, Logged, PropertyFirst, SignatureFirst, ResolverFirst, PropertyOnly };

// What a row's recorder saw.
struct Record {
    int calls = 0;
    std::vector<uint64_t> args;
};

// A row's types, reduced to what the checks need. Results are compared as
// bits (0 for a procedure).
struct Calls {
    bool returns;                             // not a procedure
    bool hasArgs;                             // a first argument that can be nil
    Record *record;                           // the recorder's
    void *recorder;                           // the function offered to the host under the row's names
    uint64_t (*call)();                       // the accessor with the row's sentinels
    uint64_t (*callNil)();                    // the same with a nil (zero) first argument
    std::vector<uint64_t> (*expectedArgs)();  // what the host must receive, widened
    uint64_t property;                        // the bits a property holds
    uint64_t answer;                          // the accessor's result when it reads that property
    uint64_t expected;                        // its result from the recorder's answer
    uint64_t miss;                            // its miss result
};

struct RowInfo {
    const char *name;
    Order order;
    hostwrap::Options options;
    const char *resolver;  // or null
    const char *lookup;    // the signature, or the property, or the fallback's name
    hostwrap::Loader loader;
    const Calls *calls;
};

// Adds a row to the harness and registers its test in the family's suite.
void add(const char *family, const RowInfo &row, const char *file, int lineNo);

}  // namespace conformance

namespace {

template <class T> uint64_t bits(T value) {
    uint64_t out = 0;
    std::memcpy(&out, &value, sizeof(T) < 8 ? sizeof(T) : 8);
    if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) out = uint64_t(int64_t(value));
    return out;
}

// The value the recorder answers, and what the accessor must make of it.
template <class R> R answer(int id) {
    if constexpr (std::is_pointer_v<R>) return reinterpret_cast<R>(uintptr_t(0xBEEF000 + id * 16));
    else if constexpr (std::is_floating_point_v<R>) return R(6.25 + id);
    else return R(0x12345600 + id);
}
template <class R> hostwrap::HostResult<R> hostAnswer(int id) {
    using HR = hostwrap::HostResult<R>;
    if constexpr (std::is_same_v<R, uint8_t>) return HR(0x1A5);          // the low byte counts
    else if constexpr (std::is_same_v<R, int16_t>) return HR(0x1FFFF);   // reads as -1
    else if constexpr (std::is_same_v<R, uint16_t>) return HR(0x1FFFF);  // reads as 65535
    else return answer<HR>(id);
}
template <class R> R expected(int id) {
    if constexpr (std::is_same_v<R, uint8_t>) return 0xA5;
    else if constexpr (std::is_same_v<R, int16_t>) return -1;
    else if constexpr (std::is_same_v<R, uint16_t>) return 0xFFFF;
    else return answer<R>(id);
}

template <int Id, class R, class HR, class... HA> struct Recorder {
    static inline conformance::Record record;
    static HR fn(HA... args) {
        ++record.calls;
        record.args = {bits(args)...};
        if constexpr (!std::is_void_v<HR>) return hostAnswer<R>(Id);
    }
};

// Distinct sentinels per parameter position.
template <class T> T sentinel(int id, size_t i) {
    if constexpr (std::is_pointer_v<T>) return reinterpret_cast<T>(uintptr_t(0x5E0000 + id * 64 + int(i) * 8));
    else if constexpr (std::is_same_v<T, uint8_t>) return T(0xA0 + i);
    else if constexpr (std::is_floating_point_v<T>) return T(1.5 + double(i));
    else return T(1000 + id * 10 + int(i));
}

// The host signature of a row: forwarding widens booleans; the selector form
// puts the number after the object.
template <int Id, class R, class Form, class... A> struct HostFn;
template <int Id, class R, class... A> struct HostFn<Id, R, hostwrap::Forward, A...> {
    using Rec = Recorder<Id, R, hostwrap::HostResult<R>, hostwrap::Wide<A>...>;
    static std::vector<uint64_t> args(A... a) { return {bits(hostwrap::Wide<A>(a))...}; }
};
template <int Id, class R, int32_t K, class O, class... A> struct HostFn<Id, R, hostwrap::Selector<K>, O, A...> {
    using Rec = Recorder<Id, R, hostwrap::HostResult<R>, O, int32_t, hostwrap::Wide<A>...>;
    static std::vector<uint64_t> args(O o, A... a) { return {bits(o), bits(K), bits(hostwrap::Wide<A>(a))...}; }
};

template <int Id, class R, class Form, class... A> struct Row {
    using Host = HostFn<Id, R, Form, A...>;
    static inline R (*accessor)(A...) = nullptr;
    static inline conformance::Calls calls{};

    template <size_t... I> static uint64_t callWith(bool nil, std::index_sequence<I...>) {
        if constexpr (std::is_void_v<R>) {
            accessor((nil && I == 0 ? A{} : sentinel<A>(Id, I))...);
            return 0;
        } else {
            return bits(accessor((nil && I == 0 ? A{} : sentinel<A>(Id, I))...));
        }
    }
    static uint64_t call() { return callWith(false, std::index_sequence_for<A...>{}); }
    static uint64_t callNil() { return callWith(true, std::index_sequence_for<A...>{}); }
    template <size_t... I> static std::vector<uint64_t> expectedArgs(std::index_sequence<I...>) {
        return Host::args(sentinel<A>(Id, I)...);
    }
    static std::vector<uint64_t> expectedArgs() { return expectedArgs(std::index_sequence_for<A...>{}); }

    static const conformance::Calls *make(R (*fn)(A...), hostwrap::MissOf<R> miss) {
        accessor = fn;
        calls = {!std::is_void_v<R>,
                 sizeof...(A) > 0,
                 &Host::Rec::record,
                 reinterpret_cast<void *>(&Host::Rec::fn),
                 &call,
                 &callNil,
                 &expectedArgs,
                 0,
                 0,
                 0,
                 0};
        if constexpr (!std::is_void_v<R>) {
            R value = answer<R>(Id);
            std::memcpy(&calls.property, &value, sizeof(R));
            calls.answer = bits(value);
            calls.expected = bits(expected<R>(Id));
            calls.miss = bits(R(miss));
        }
        return &calls;
    }
};

struct Registrar {
    Registrar(const char *family, const conformance::RowInfo &row, const char *file, int lineNo) {
        conformance::add(family, row, file, lineNo);
    }
};

#define HW_HARNESS_ROW(id, name, R, miss, form, order, opts, resolver, lookup, loader, ...)                         \
    Registrar HW_CAT(row_, id){HW_FAMILY,                                                                           \
                               {#name, conformance::Order::order, hostwrap::Options opts, resolver, lookup, loader, \
                                Row<id, R, form __VA_OPT__(, ) __VA_ARGS__>::make(                                  \
                                    static_cast<R (*)(__VA_ARGS__)>(&name), hostwrap::MissOf<R>(miss))},            \
                               __FILE__,                                                                            \
                               __LINE__};

}  // namespace
