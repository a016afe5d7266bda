// The bus takes its deck count from TAVRIN_AVC_UNITS on first use, once per
// process; each count is therefore checked in a child process of its own.
#include "fw_test_util.h"
#include "isolated.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(DeckBus, UnitCountComesFromTheEnvironment) {
    for (const char *count : {"0", "1", "2"}) {
        SCOPED_TRACE(count);
        inChild([count] {
            setenv("TAVRIN_AVC_UNITS", count, 1);
            EXPECT_EQ(avc_unit_count(), std::atoi(count));
        });
    }
}

TEST(DeckBus, UnsetMeansOneDeck) {
    inChild([] {
        unsetenv("TAVRIN_AVC_UNITS");
        EXPECT_EQ(avc_unit_count(), 1);
    });
}
