// The plug-in's newest-first lists of live objects.
#include "newest_first.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Record {
    int id;
    Record *newer, *older;
};

struct List {
    Record *newest = nullptr, *oldest = nullptr;
    // Ids from the newest, checked against the walk from the oldest.
    std::vector<int> ids() const {
        std::vector<int> forward, backward;
        for (const Record *r = newest; r; r = r->older) forward.push_back(r->id);
        for (const Record *r = oldest; r; r = r->newer) backward.insert(backward.begin(), r->id);
        EXPECT_EQ(forward, backward);
        return forward;
    }
};

TEST(NewestFirst, NewRecordsGoInFrontAndAnyCanLeave) {
    Record a{1, nullptr, nullptr}, b{2, nullptr, nullptr}, c{3, nullptr, nullptr}, d{4, nullptr, nullptr};
    List l;
    for (Record *r : {&a, &b, &c, &d}) avc::pushNewest(r, l.newest, l.oldest);
    EXPECT_EQ(l.ids(), (std::vector<int>{4, 3, 2, 1}));
    avc::unlinkRecord(&c, l.newest, l.oldest);  // from the middle
    EXPECT_EQ(l.ids(), (std::vector<int>{4, 2, 1}));
    avc::unlinkRecord(&d, l.newest, l.oldest);  // the newest
    avc::unlinkRecord(&a, l.newest, l.oldest);  // the oldest
    EXPECT_EQ(l.ids(), (std::vector<int>{2}));
    avc::pushNewest(&c, l.newest, l.oldest);  // a record that left comes back
    EXPECT_EQ(l.ids(), (std::vector<int>{3, 2}));
    avc::unlinkRecord(&b, l.newest, l.oldest);
    avc::unlinkRecord(&c, l.newest, l.oldest);
    EXPECT_EQ(l.newest, nullptr);
    EXPECT_EQ(l.oldest, nullptr);
}

TEST(NewestFirst, ARecordNotInTheListLeavesItAlone) {
    Record a{1, nullptr, nullptr}, b{2, nullptr, nullptr}, stray{9, nullptr, nullptr};
    List l;
    avc::pushNewest(&a, l.newest, l.oldest);
    avc::pushNewest(&b, l.newest, l.oldest);
    avc::unlinkRecord(&stray, l.newest, l.oldest);
    EXPECT_EQ(l.ids(), (std::vector<int>{2, 1}));
}

}  // namespace
