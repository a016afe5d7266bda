// The bus takes its deck count from TAVRIN_AVC_UNITS on first use; the test
// runs once per count with FW_EXPECT_UNITS naming what should be found.
#include "fw_test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(DeckBus, UnitCountComesFromTheEnvironment) {
    const char *expect = std::getenv("FW_EXPECT_UNITS");
    ASSERT_NE(expect, nullptr);
    io_iterator_t it = 0;
    ASSERT_EQ(IOServiceGetMatchingServices(kIOMasterPortDefault, avc_matching(), &it), kIOReturnSuccess);
    int n = 0;
    while (io_service_t s = IOIteratorNext(it)) {
        ++n;
        IOObjectRelease(s);
    }
    IOObjectRelease(it);
    EXPECT_EQ(n, std::atoi(expect));
}
