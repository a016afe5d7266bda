// The conformance harness of the accessor families: every table row is
// included a second time to make a recorder with the row's exact host
// signature, registered under the row's names in a host of our own. Each
// accessor is called with distinct sentinel arguments and checked for the
// glue its order promises: who is asked, what reaches the host in which
// order and width, what comes back, what is kept and what is logged.
#include "accessors.h"
#include "fake_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

using hostwrap::Loader;
using hostwrap::Messages;
using hostwrap::Options;

namespace {

auto &gLog = fakehost::log;
auto &gServices = fakehost::services;
auto &gMethods = fakehost::methods;
auto &gProperties = fakehost::properties;

// ---- rows -----------------------------------------------------------------------------------

enum class Order { Silent, Logged, PropertyFirst, SignatureFirst, ResolverFirst, PropertyOnly };

struct RowInfo {
    const char *name;
    Order order;
    Options options;
    const char *resolver;  // or null
    const char *lookup;    // the signature, or the property, or the fallback's name
    Loader loader;
    void (*check)(const RowInfo &);
    void (*again)(const RowInfo &);  // a later call that must reach this row's own recorder
};

std::vector<RowInfo> &rows() {
    static std::vector<RowInfo> all;
    return all;
}

// What each row's recorder saw.
struct Record {
    int calls = 0;
    std::vector<uint64_t> args;
};
std::map<int, Record> gRecords;

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
    static HR fn(HA... args) {
        Record &r = gRecords[Id];
        ++r.calls;
        r.args = {bits(args)...};
        if constexpr (!std::is_void_v<HR>) return hostAnswer<R>(Id);
    }
};

// Distinct sentinels per parameter position.
template <class T> T sentinel(int id, int i) {
    if constexpr (std::is_pointer_v<T>) return reinterpret_cast<T>(uintptr_t(0x5E0000 + id * 64 + i * 8));
    else if constexpr (std::is_same_v<T, uint8_t>) return T(0xA0 + i);
    else if constexpr (std::is_floating_point_v<T>) return T(1.5 + i);
    else return T(1000 + id * 10 + i);
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

std::string messageName(const RowInfo &row) { return row.options.message ? row.options.message : row.name; }

std::string line(const RowInfo &row, const char *plain, const char *in) {
    return std::string(row.options.messages == Messages::In ? in : plain) + " " + messageName(row);
}

std::string address(const void *p) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "_fp Address->(%x)", unsigned(uintptr_t(p) & 0xFFFFFFFFu));
    return buf;
}

// What a row logs when every source misses.
std::vector<std::string> missLog(const RowInfo &row) {
    std::vector<std::string> out;
    const Options &o = row.options;
    bool quiet = o.messages == Messages::None;
    switch (row.order) {
    case Order::Silent:
        if (o.entryTrace) out = {std::string("in ") + row.name, address(nullptr)};
        break;
    case Order::Logged:
        if (o.prefix)
            out = {std::string(o.prefix) + " " + messageName(row)};
        else
            out = {std::string(hostwrap::kResolver) + " " + (o.message ? o.message : row.resolver)};
        break;
    case Order::PropertyFirst:
        if (quiet) break;
        if (o.property2 && o.logEachProperty) out.push_back(line(row, hostwrap::kDynamic, hostwrap::kDynamicIn));
        out.push_back(line(row, hostwrap::kDynamic, hostwrap::kDynamicIn));
        if (o.entryTrace) out.insert(out.end(), {std::string("in ") + row.name, address(nullptr)});
        out.push_back(line(row, hostwrap::kBoth, hostwrap::kBothIn));
        break;
    case Order::SignatureFirst:
        if (quiet) break;
        out.push_back(line(row, hostwrap::kDynamic, hostwrap::kDynamicIn));
        if (row.resolver && !o.quietResolverMiss) out.push_back(line(row, hostwrap::kBoth, hostwrap::kBothIn));
        break;
    case Order::ResolverFirst:
        if (!quiet) out.push_back(line(row, hostwrap::kBoth, hostwrap::kBothIn));
        break;
    case Order::PropertyOnly:
        if (o.prefix && !quiet) out.push_back(std::string(o.prefix) + " " + messageName(row));
        break;
    }
    return out;
}

// Registers (or, with null, withdraws) a row's recorder where its order looks.
void offer(const RowInfo &row, void *fn) {
    auto put = [&](std::map<std::string, void *> &m, const char *key) {
        if (!key) return;
        if (fn)
            m[key] = fn;
        else
            m.erase(key);
    };
    switch (row.order) {
    case Order::SignatureFirst: put(gMethods, row.lookup); break;
    case Order::PropertyOnly: break;
    default: put(gServices, row.resolver); break;
    }
}

template <class R> void expectResult(const RowInfo &row, R got, R want) {
    if constexpr (!std::is_void_v<R>) {
        if constexpr (std::is_floating_point_v<R>)
            EXPECT_DOUBLE_EQ(got, want) << row.name;
        else
            EXPECT_EQ(got, want) << row.name;
    }
}

// Calls the accessor; a procedure's result reads as 0.
template <class R, class... A> R callRow(R (*accessor)(A...), A... args) {
    if constexpr (std::is_void_v<R>)
        accessor(args...);
    else
        return accessor(args...);
}

template <int Id, class R, class Form, class... A> struct Check {
    static inline R (*accessor)(A...) = nullptr;
    static inline hostwrap::MissOf<R> miss{};

    static R call(A... args) { return callRow<R, A...>(accessor, args...); }

    template <size_t... I> static R callSentinels(std::index_sequence<I...>) {
        return call(sentinel<A>(Id, int(I))...);
    }
    static R callSentinels() { return callSentinels(std::index_sequence_for<A...>{}); }

    template <size_t... I> static std::vector<uint64_t> expectedArgs(std::index_sequence<I...>) {
        return HostFn<Id, R, Form, A...>::args(sentinel<A>(Id, int(I))...);
    }
    static std::vector<uint64_t> expectedArgs() { return expectedArgs(std::index_sequence_for<A...>{}); }

    static void *recorder() { return reinterpret_cast<void *>(&HostFn<Id, R, Form, A...>::Rec::fn); }
    static R missValue() {
        if constexpr (!std::is_void_v<R>) return R(miss);
    }

    static void run(const RowInfo &row) {
        SCOPED_TRACE(row.name);
        const Options &o = row.options;
        Record &rec = gRecords[Id];

        if (row.order == Order::PropertyOnly) {
            // Present: the value (or the setting) through the property service.
            gLog.clear();
            if constexpr (!std::is_void_v<R>) {
                R value = answer<R>(Id);
                gProperties[row.lookup].value = 0;
                std::memcpy(&gProperties[row.lookup].value, &value, sizeof(R));
                expectResult<R>(row, callSentinels(), value);
            } else {
                gProperties[row.lookup] = {};
                callSentinels();
                EXPECT_EQ(gProperties[row.lookup].writes, 1);
            }
            EXPECT_TRUE(gLog.empty());
            gProperties.erase(row.lookup);
            // Missing: the row's one message and its miss result, each call.
            for (int i = 0; i < 2; ++i) {
                gLog.clear();
                if constexpr (!std::is_void_v<R>) expectResult<R>(row, callSentinels(), missValue());
                else callSentinels();
                EXPECT_EQ(gLog, missLog(row));
            }
            return;
        }

        // A property-first row with its property: the value, and the slot untouched.
        if (row.order == Order::PropertyFirst) {
            gLog.clear();
            offer(row, recorder());
            gProperties[row.lookup] = {};
            if constexpr (!std::is_void_v<R>) {
                R value = answer<R>(Id);
                std::memcpy(&gProperties[row.lookup].value, &value, sizeof(R));
                expectResult<R>(row, callSentinels(), value);
            } else {
                callSentinels();
                EXPECT_EQ(gProperties[row.lookup].writes, 1);
            }
            EXPECT_EQ(rec.calls, 0);
            EXPECT_TRUE(gLog.empty());
            gProperties.erase(row.lookup);
            offer(row, nullptr);
        }

        // A nil object gives the miss result before any lookup.
        if constexpr (sizeof...(A) > 0) {
            if (o.nilMisses) {
                offer(row, recorder());
                auto nilCall = [&]<size_t... I>(std::index_sequence<I...>) {
                    return call((I == 0 ? A{} : sentinel<A>(Id, int(I)))...);
                };
                if constexpr (!std::is_void_v<R>)
                    expectResult<R>(row, nilCall(std::index_sequence_for<A...>{}), missValue());
                EXPECT_EQ(rec.calls, 0);
                offer(row, nullptr);
            }
        }

        // Nothing anywhere: the miss result and the order's messages, on every call.
        for (int i = 0; i < 2; ++i) {
            gLog.clear();
            if constexpr (!std::is_void_v<R>) expectResult<R>(row, callSentinels(), missValue());
            else callSentinels();
            EXPECT_EQ(gLog, missLog(row)) << "miss " << i;
        }
        EXPECT_EQ(rec.calls, 0);

        // Found: called once, with the arguments in order and widened, and
        // the answer reduced to the accessor's type.
        offer(row, recorder());
        gLog.clear();
        if constexpr (std::is_void_v<R>) {
            callSentinels();
        } else {
            R got = callSentinels();
            expectResult<R>(row, got, o.returnsOne ? R(1) : expected<R>(Id));
        }
        EXPECT_EQ(rec.calls, 1);
        if (!o.returnsOne) {
            EXPECT_EQ(rec.args, expectedArgs());
        }
        std::vector<std::string> hitLog;
        if (row.order == Order::PropertyFirst && o.messages != Messages::None) {
            if (o.property2 && o.logEachProperty) hitLog.push_back(line(row, hostwrap::kDynamic, hostwrap::kDynamicIn));
            hitLog.push_back(line(row, hostwrap::kDynamic, hostwrap::kDynamicIn));
        }
        if (o.entryTrace) hitLog.insert(hitLog.end(), {std::string("in ") + row.name, address(recorder())});
        if (o.callTrace) hitLog.push_back(o.callTrace);
        EXPECT_EQ(gLog, hitLog);

        // Withdrawn: the slot keeps what it found (a row without cache asks again).
        offer(row, nullptr);
        callSentinels();
        EXPECT_EQ(rec.calls, o.noCache ? 1 : 2);
    }

    static void again(const RowInfo &row) {
        if (row.order == Order::PropertyOnly || row.options.noCache) return;
        SCOPED_TRACE(row.name);
        int before = gRecords[Id].calls;
        callSentinels();
        EXPECT_EQ(gRecords[Id].calls, before + 1) << "another row's function answered";
    }
};

struct Registrar {
    Registrar(RowInfo row) { rows().push_back(row); }
};

template <int Id, class R, class Form, class... A>
RowInfo makeRow(const char *name, Order order, Options options, const char *resolver, const char *lookup,
                Loader loader, hostwrap::MissOf<R> miss, R (*accessor)(A...)) {
    Check<Id, R, Form, A...>::accessor = accessor;
    Check<Id, R, Form, A...>::miss = miss;
    return {name, order, options, resolver, lookup, loader, &Check<Id, R, Form, A...>::run,
            &Check<Id, R, Form, A...>::again};
}

#define HW_HARNESS_ROW(id, name, R, miss, form, order, opts, resolver, lookup, loader, ...)                   \
    Registrar HW_CAT(row_, id){makeRow<id, R, form __VA_OPT__(, ) __VA_ARGS__>(                               \
        #name, order, hostwrap::Options opts, resolver, lookup, loader, hostwrap::MissOf<R>(miss),           \
        static_cast<R (*)(__VA_ARGS__)>(&name))};
#define HW_ROW_MACROS "harness_rows.inc"
#include "families/families.inc"

}  // namespace

class Conformance : public ::testing::Test {
protected:
    void SetUp() override { fakehost::install(); }
};

// Every row of every family, in table order, then every cached row once
// more: rows that share a resolver name must each still reach their own
// function.
TEST_F(Conformance, EveryRowOfEveryFamily) {
    ASSERT_GT(rows().size(), 0u);
    for (const RowInfo &row : rows()) row.check(row);
    for (const RowInfo &row : rows()) row.again(row);
    std::printf("%zu rows checked\n", rows().size());
}
