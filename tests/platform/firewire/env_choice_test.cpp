// The bus is chosen on the registry's first use, once per process, from
// TAVRIN_FIREWIRE and the machine; each choice is therefore checked in a
// child process of its own.
#include "fw_test_util.h"
#include "isolated.h"

#include <fw/FWBus.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

TEST(BusChoiceAtStartUp, WithoutFireWireTheSimulatedBus) {
    if (machine_has_firewire()) GTEST_SKIP() << "this machine has FireWire";
    inChild([] {
        unsetenv("TAVRIN_FIREWIRE");
        setenv("TAVRIN_AVC_UNITS", "1", 1);
        EXPECT_EQ(avc_unit_count(), 1);
        EXPECT_EQ(fw_bus_kind(), FWBUS_SIM);
        EXPECT_EQ(fw_bus_note(), nullptr);
    });
}

TEST(BusChoiceAtStartUp, TheEnvironmentForcesEither) {
    inChild([] {
        setenv("TAVRIN_FIREWIRE", "sim", 1);
        setenv("TAVRIN_AVC_UNITS", "2", 1);
        EXPECT_EQ(fw_bus_kind(), FWBUS_SIM);
        EXPECT_EQ(avc_unit_count(), 2);
    });
    if (machine_has_firewire()) return;
    inChild([] {
        setenv("TAVRIN_FIREWIRE", "linux", 1);
        setenv("TAVRIN_AVC_UNITS", "1", 1);
        EXPECT_EQ(avc_unit_count(), 0);
        EXPECT_EQ(fw_bus_kind(), FWBUS_LINUX);
        ASSERT_NE(fw_bus_note(), nullptr);
        EXPECT_EQ(std::string(fw_bus_note()), "FireWire: no FireWire port was found. No deck (TAVRIN_FIREWIRE=linux).");
    });
}
