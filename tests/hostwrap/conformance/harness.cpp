// The checks every row goes through, written once over a row's calls and
// bits, and the one test that spans the families.
#include "harness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

namespace conformance {
namespace {

using hostwrap::Messages;
using hostwrap::Options;

auto &gLog = fakehost::log;
auto &gServices = fakehost::services;
auto &gMethods = fakehost::methods;
auto &gProperties = fakehost::properties;

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
            if (o.prefix) out = {std::string(o.prefix) + " " + messageName(row)};
            else out = {std::string(hostwrap::kResolver) + " " + (o.message ? o.message : row.resolver)};
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
        if (fn) m[key] = fn;
        else m.erase(key);
    };
    switch (row.order) {
        case Order::SignatureFirst:
            put(gMethods, row.lookup);
            break;
        case Order::PropertyOnly:
            break;
        default:
            put(gServices, row.resolver);
            break;
    }
}

// The property holds the row's value (a getter reads it; a setter writes it once).
void readsProperty(const RowInfo &row) {
    const Calls &c = *row.calls;
    gProperties[row.lookup] = {};
    if (c.returns) {
        gProperties[row.lookup].value = c.property;
        EXPECT_EQ(c.call(), c.answer);
    } else {
        c.call();
        EXPECT_EQ(gProperties[row.lookup].writes, 1);
    }
    gProperties.erase(row.lookup);
}

void check(const RowInfo &row) {
    SCOPED_TRACE(row.name);
    const Options &o = row.options;
    const Calls &c = *row.calls;
    Record &rec = *c.record;
    auto expectResult = [&](uint64_t got, uint64_t want) {
        if (c.returns) {
            EXPECT_EQ(got, want);
        }
    };

    if (row.order == Order::PropertyOnly) {
        // Present: the value (or the setting) through the property service.
        gLog.clear();
        readsProperty(row);
        EXPECT_TRUE(gLog.empty());
        // Missing: the row's one message and its miss result, each call.
        for (int i = 0; i < 2; ++i) {
            gLog.clear();
            expectResult(c.call(), c.miss);
            EXPECT_EQ(gLog, missLog(row));
        }
        return;
    }

    // A property-first row with its property: the value, and the slot untouched.
    if (row.order == Order::PropertyFirst) {
        gLog.clear();
        offer(row, c.recorder);
        readsProperty(row);
        EXPECT_EQ(rec.calls, 0);
        EXPECT_TRUE(gLog.empty());
        offer(row, nullptr);
    }

    // A nil object gives the miss result before any lookup.
    if (c.hasArgs && o.nilMisses) {
        offer(row, c.recorder);
        expectResult(c.callNil(), c.miss);
        EXPECT_EQ(rec.calls, 0);
        offer(row, nullptr);
    }

    // Nothing anywhere: the miss result and the order's messages, on every call.
    for (int i = 0; i < 2; ++i) {
        gLog.clear();
        expectResult(c.call(), c.miss);
        EXPECT_EQ(gLog, missLog(row)) << "miss " << i;
    }
    EXPECT_EQ(rec.calls, 0);

    // Found: called once, with the arguments in order and widened, and the
    // answer reduced to the accessor's type.
    offer(row, c.recorder);
    gLog.clear();
    expectResult(c.call(), o.returnsOne ? 1 : c.expected);
    EXPECT_EQ(rec.calls, 1);
    if (!o.returnsOne) {
        EXPECT_EQ(rec.args, c.expectedArgs());
    }
    std::vector<std::string> hitLog;
    if (row.order == Order::PropertyFirst && o.messages != Messages::None) {
        if (o.property2 && o.logEachProperty) hitLog.push_back(line(row, hostwrap::kDynamic, hostwrap::kDynamicIn));
        hitLog.push_back(line(row, hostwrap::kDynamic, hostwrap::kDynamicIn));
    }
    if (o.entryTrace) hitLog.insert(hitLog.end(), {std::string("in ") + row.name, address(c.recorder)});
    if (o.callTrace) hitLog.push_back(o.callTrace);
    EXPECT_EQ(gLog, hitLog);

    // Withdrawn: the slot keeps what it found (a row without cache asks again).
    offer(row, nullptr);
    c.call();
    EXPECT_EQ(rec.calls, o.noCache ? 1 : 2);
}

// A later call must still reach this row's own recorder.
void again(const RowInfo &row) {
    if (row.order == Order::PropertyOnly || row.options.noCache) return;
    SCOPED_TRACE(row.name);
    int before = row.calls->record->calls;
    row.calls->call();
    EXPECT_EQ(row.calls->record->calls, before + 1) << "another row's function answered";
}

// A row is checked once per process: the slots it fills are never emptied.
struct Entry {
    RowInfo row;
    bool checked = false;
};

std::vector<Entry> &rows() {
    static std::vector<Entry> all;
    return all;
}

void checkOnce(Entry &e) {
    if (e.checked) return;
    e.checked = true;
    check(e.row);
}

class RowTest : public ::testing::Test {
public:
    explicit RowTest(size_t index) : index_(index) {}
    void SetUp() override { fakehost::install(); }
    void TestBody() override { checkOnce(rows()[index_]); }

private:
    size_t index_;
};

}  // namespace

void add(const char *family, const RowInfo &row, const char *file, int lineNo) {
    // Overloads share a name; the second and later get a number.
    static std::map<std::string, int> seen;
    int n = ++seen[std::string(family) + "." + row.name];
    std::string test = n == 1 ? row.name : std::string(row.name) + "_" + std::to_string(n);
    size_t index = rows().size();
    rows().push_back({row});
    ::testing::RegisterTest((std::string("Conformance_") + family).c_str(), test.c_str(), nullptr, nullptr, file,
                            lineNo, [index]() -> ::testing::Test * { return new RowTest(index); });
}

// Rows that share a resolver name must each still reach their own function:
// every row once, then every cached row again.
TEST(Conformance, RowsSharingANameKeepTheirOwnFunction) {
    fakehost::install();
    ASSERT_GT(rows().size(), 900u);
    for (Entry &e : rows()) checkOnce(e);
    for (Entry &e : rows()) again(e.row);
}

}  // namespace conformance
