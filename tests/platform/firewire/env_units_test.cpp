// The bus takes its deck count from TAVRIN_AVC_UNITS on first use, once per
// process; each count is therefore checked in a child process of its own.
#include "fw_test_util.h"
#include "isolated.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

int countDecks() {
    io_iterator_t it = 0;
    EXPECT_EQ(IOServiceGetMatchingServices(kIOMasterPortDefault, avc_matching(), &it), kIOReturnSuccess);
    int n = 0;
    while (io_service_t s = IOIteratorNext(it)) {
        ++n;
        IOObjectRelease(s);
    }
    IOObjectRelease(it);
    return n;
}

}  // namespace

TEST(DeckBus, UnitCountComesFromTheEnvironment) {
    for (const char *count : {"0", "1", "2"}) {
        SCOPED_TRACE(count);
        inChild([count] {
            setenv("TAVRIN_AVC_UNITS", count, 1);
            EXPECT_EQ(countDecks(), std::atoi(count));
        });
    }
}

TEST(DeckBus, UnsetMeansOneDeck) {
    inChild([] {
        unsetenv("TAVRIN_AVC_UNITS");
        EXPECT_EQ(countDecks(), 1);
    });
}
