// The bus is chosen on the registry's first use, once per process, from
// TAVRIN_FIREWIRE and the machine; each choice is therefore checked in a
// child process of its own.
#include "fw_test_util.h"
#include "isolated.h"

#include <fw/FWBus.h>

#include <gtest/gtest.h>

#include <glob.h>

#include <cstdlib>
#include <string>

namespace {

int avcUnits() {
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

bool machineHasFireWire() {
    glob_t g{};
    bool any = glob("/dev/fw[0-9]*", 0, nullptr, &g) == 0 && g.gl_pathc > 0;
    globfree(&g);
    return any;
}

}  // namespace

TEST(BusChoiceAtStartUp, WithoutFireWireTheSimulatedBus) {
    if (machineHasFireWire()) GTEST_SKIP() << "this machine has FireWire";
    inChild([] {
        unsetenv("TAVRIN_FIREWIRE");
        setenv("TAVRIN_AVC_UNITS", "1", 1);
        EXPECT_EQ(avcUnits(), 1);
        EXPECT_EQ(fw_bus_kind(), FWBUS_SIM);
        EXPECT_EQ(fw_bus_note(), nullptr);
    });
}

TEST(BusChoiceAtStartUp, TheEnvironmentForcesEither) {
    inChild([] {
        setenv("TAVRIN_FIREWIRE", "sim", 1);
        setenv("TAVRIN_AVC_UNITS", "2", 1);
        EXPECT_EQ(fw_bus_kind(), FWBUS_SIM);
        EXPECT_EQ(avcUnits(), 2);
    });
    if (machineHasFireWire()) return;
    inChild([] {
        setenv("TAVRIN_FIREWIRE", "linux", 1);
        setenv("TAVRIN_AVC_UNITS", "1", 1);
        EXPECT_EQ(avcUnits(), 0);
        EXPECT_EQ(fw_bus_kind(), FWBUS_LINUX);
        ASSERT_NE(fw_bus_note(), nullptr);
        EXPECT_EQ(std::string(fw_bus_note()), "FireWire: no FireWire port was found. No deck (TAVRIN_FIREWIRE=linux).");
    });
}
