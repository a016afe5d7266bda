// The I/O registry over the simulated bus: matching, iteration, plug-in and
// unit interfaces, notification ports and their delivery through the run loop.
#include "fw_test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class Registry : public ::testing::Test {
protected:
    void SetUp() override { fwsim_reset(0); }
    void TearDown() override { fwsim_reset(0); }
};

std::vector<io_service_t> all_matching(CFDictionaryRef d) {
    io_iterator_t it = 0;
    std::vector<io_service_t> out;
    if (IOServiceGetMatchingServices(kIOMasterPortDefault, d, &it) != kIOReturnSuccess) return out;
    while (io_service_t s = IOIteratorNext(it)) out.push_back(s);
    IOObjectRelease(it);
    return out;
}

int32_t property(io_service_t s, const char *key) {
    CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    int32_t v = -1;
    CFNumberGetValue(static_cast<CFNumberRef>(IORegistryEntryGetProperty(s, k)), kCFNumberSInt32Type, &v);
    CFRelease(k);
    return v;
}

TEST_F(Registry, MatchesByClassAndUnitSpecInPublicationOrder) {
    int first = fwsim_add_default_unit();
    fwsim_add_unit(0x609E, 0x10001);  // another kind of unit
    int second = fwsim_add_default_unit();
    ASSERT_LT(first, second);
    std::vector<io_service_t> units = all_matching(avc_matching());
    ASSERT_EQ(units.size(), 2u);
    EXPECT_LT(units[0], units[1]);  // the first published comes first
    EXPECT_EQ(property(units[0], "Unit_Spec_ID"), 0xA02D);
    EXPECT_EQ(property(units[1], "Unit_SW_Vers"), 0x10001);
    EXPECT_TRUE(IOObjectConformsTo(units[0], "IOFireWireAVCUnit"));
    EXPECT_TRUE(IOObjectConformsTo(units[0], "IOService"));
    io_name_t cls;
    ASSERT_EQ(IOObjectGetClass(units[0], cls), kIOReturnSuccess);
    EXPECT_STREQ(cls, "IOFireWireAVCUnit");
    for (io_service_t s : units) IOObjectRelease(s);
    auto count = [](CFDictionaryRef d) {
        std::vector<io_service_t> found = all_matching(d);
        for (io_service_t s : found) IOObjectRelease(s);
        return found.size();
    };
    EXPECT_EQ(count(IOServiceMatching("IOFireWireAVCUnit")), 3u);
    EXPECT_EQ(count(IOServiceMatching("IOFireWireDevice")), 3u);
    EXPECT_EQ(count(avc_matching(0xA02D, 0x10002)), 0u);
    EXPECT_EQ(count(IOServiceMatching("IOUSBDevice")), 0u);
    // The first unit of the first match stays first after the second leaves.
    fwsim_remove_unit(first);
    io_service_t s = IOServiceGetMatchingService(kIOMasterPortDefault, avc_matching());
    EXPECT_EQ(s, units[1]);
    IOObjectRelease(s);
}

TEST_F(Registry, MatchingConsumesTheDictionaryAndHandlesAreCounted) {
    fwsim_add_default_unit();
    CFMutableDictionaryRef d = avc_matching();
    CFRetain(d);
    io_iterator_t it = 0;
    ASSERT_EQ(IOServiceGetMatchingServices(kIOMasterPortDefault, d, &it), kIOReturnSuccess);
    EXPECT_EQ(CFGetRetainCount(d), 1);
    CFRelease(d);
    io_service_t s = IOIteratorNext(it);
    ASSERT_NE(s, 0u);
    EXPECT_EQ(IOIteratorNext(it), 0u);
    IOIteratorReset(it);
    io_service_t again = IOIteratorNext(it);
    EXPECT_EQ(again, s);
    IOObjectRelease(again);
    EXPECT_EQ(IOObjectRelease(it), kIOReturnSuccess);
    EXPECT_EQ(IOObjectRelease(it), kIOReturnBadArgument);  // stale: refused, not followed
    EXPECT_EQ(IOIteratorNext(it), 0u);
    EXPECT_FALSE(IOIteratorIsValid(it));
    // Our reference outlives the unit's termination.
    fwsim_remove_unit(fwsim_unit_id(0));
    EXPECT_EQ(IOObjectGetRetainCount(s), 1u);
    EXPECT_EQ(IOObjectRelease(s), kIOReturnSuccess);
    EXPECT_EQ(IOObjectGetRetainCount(s), 0u);
    EXPECT_EQ(IOServiceGetMatchingService(kIOMasterPortDefault, avc_matching()), 0u);
}

TEST_F(Registry, PlugInAndUnitInterfacesOpenExclusively) {
    int id = fwsim_add_default_unit();
    OpenUnit a;
    ASSERT_TRUE(a.ok());
    EXPECT_TRUE((*a.unit)->isOpen(a.unit));
    EXPECT_TRUE(fwsim_is_open(id));
    OpenUnit b;  // second client: interface granted, open refused
    ASSERT_TRUE(b.ok());
    EXPECT_FALSE((*b.unit)->isOpen(b.unit));
    EXPECT_EQ((*b.unit)->open(b.unit), kIOReturnExclusiveAccess);
    IOReturn st;
    b.send({0x01, 0x20, 0xD0, 0x7F}, 4, &st);
    EXPECT_EQ(st, kIOReturnNotOpen);
    EXPECT_EQ((*a.unit)->addCallbackDispatcherToRunLoop(a.unit, CFRunLoopGetCurrent()), kIOReturnSuccess);
    EXPECT_EQ((*a.unit)->close(a.unit), kIOReturnSuccess);
    EXPECT_EQ((*a.unit)->close(a.unit), kIOReturnNotOpen);
    EXPECT_EQ((*b.unit)->open(b.unit), kIOReturnSuccess);
}

TEST_F(Registry, PlugInCreationChecksItsArguments) {
    fwsim_add_default_unit();
    io_service_t unit = IOServiceGetMatchingService(kIOMasterPortDefault, avc_matching());
    io_service_t device = IOServiceGetMatchingService(kIOMasterPortDefault, IOServiceMatching("IOFireWireDevice"));
    IOCFPlugInInterface **p = nullptr;
    SInt32 score;
    EXPECT_NE(IOCreatePlugInInterfaceForService(unit, kIOCFPlugInInterfaceID, kIOCFPlugInInterfaceID, &p, &score),
              kIOReturnSuccess);
    EXPECT_NE(
        IOCreatePlugInInterfaceForService(device, kIOFireWireAVCLibUnitTypeID, kIOCFPlugInInterfaceID, &p, &score),
        kIOReturnSuccess);
    EXPECT_EQ(
        IOCreatePlugInInterfaceForService(0xDEAD, kIOFireWireAVCLibUnitTypeID, kIOCFPlugInInterfaceID, &p, &score),
        kIOReturnBadArgument);
    EXPECT_EQ(p, nullptr);
    ASSERT_EQ(IOCreatePlugInInterfaceForService(unit, kIOFireWireAVCLibUnitTypeID, kIOCFPlugInInterfaceID, &p, &score),
              kIOReturnSuccess);
    LPVOID other = nullptr;
    EXPECT_EQ((*p)->QueryInterface(p, CFUUIDGetUUIDBytes(kIOFireWireAVCLibUnitTypeID), &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(IODestroyPlugInInterface(p), kIOReturnSuccess);
    IOObjectRelease(unit);
    IOObjectRelease(device);
}

TEST_F(Registry, RefusalFaults) {
    int id = fwsim_add_default_unit();
    fwsim_set_fault(id, FWSIM_REFUSE_PLUGIN, 0);
    EXPECT_EQ(OpenUnit().plugin, nullptr);
    fwsim_set_fault(id, FWSIM_REFUSE_INTERFACE, 0);
    {
        OpenUnit u;
        EXPECT_NE(u.plugin, nullptr);
        EXPECT_FALSE(u.ok());
    }
    fwsim_set_fault(id, FWSIM_REFUSE_OPEN, 0);
    {
        OpenUnit u;
        ASSERT_TRUE(u.ok());
        EXPECT_FALSE((*u.unit)->isOpen(u.unit));
    }
    fwsim_reset(0);
    EXPECT_EQ(OpenUnit().plugin, nullptr);  // no unit at all
}

// ---- notifications -----------------------------------------------------------

struct Events {
    IONotificationPortRef port = nullptr;
    std::vector<io_service_t> added, terminated;
    std::vector<std::pair<io_service_t, uint32_t>> messages;
    bool destroyPortOnMessage = false;
};

void on_interest(void *refcon, io_service_t service, natural_t type, void *) {
    auto *e = static_cast<Events *>(refcon);
    e->messages.emplace_back(service, type);
    if (e->destroyPortOnMessage && e->port) {
        IONotificationPortDestroy(e->port);
        e->port = nullptr;
    }
}

void on_added(void *refcon, io_iterator_t it) {
    auto *e = static_cast<Events *>(refcon);
    while (io_service_t s = IOIteratorNext(it)) {
        e->added.push_back(s);
        io_object_t note;
        EXPECT_EQ(IOServiceAddInterestNotification(e->port, s, kIOGeneralInterest, on_interest, e, &note),
                  kIOReturnSuccess);
        IOObjectRelease(s);
    }
}

void on_terminated(void *refcon, io_iterator_t it) {
    auto *e = static_cast<Events *>(refcon);
    while (io_service_t s = IOIteratorNext(it)) {
        e->terminated.push_back(s);
        IOObjectRelease(s);
    }
}

class Notifications : public Registry {
protected:
    Events ev;
    io_iterator_t addedIt = 0, termIt = 0;
    void arm() {
        mach_port_t master;
        ASSERT_EQ(IOMasterPort(bootstrap_port, &master), kIOReturnSuccess);
        ev.port = IONotificationPortCreate(master);
        ASSERT_NE(ev.port, nullptr);
        ASSERT_EQ(IOServiceAddMatchingNotification(ev.port, kIOFirstPublishNotification,
                                                   IOServiceMatching("IOFireWireDevice"), on_added, &ev, &addedIt),
                  kIOReturnSuccess);
        on_added(&ev, addedIt);  // the devices already present
        ASSERT_EQ(IOServiceAddMatchingNotification(ev.port, kIOTerminatedNotification,
                                                   IOServiceMatching("IOFireWireDevice"), on_terminated, &ev, &termIt),
                  kIOReturnSuccess);
        CFRunLoopAddSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(ev.port), kCFRunLoopDefaultMode);
    }
    void TearDown() override {
        if (ev.port) IONotificationPortDestroy(ev.port);
        pump_now();
        Registry::TearDown();
    }
};

TEST_F(Notifications, PresentDevicesAtOnceNewOnesThroughTheRunLoop) {
    fwsim_add_default_unit();
    arm();
    EXPECT_EQ(ev.added.size(), 1u);
    fwsim_add_default_unit();
    EXPECT_EQ(ev.added.size(), 1u);  // nothing inside the call that published it
    ASSERT_TRUE(pump_until([&] { return ev.added.size() == 2; }));
    EXPECT_TRUE(ev.messages.empty());
}

TEST_F(Notifications, BusResetPowerAndUnknownMessagesArriveInOrder) {
    int id = fwsim_add_default_unit();
    arm();
    fwsim_bus_reset();
    fwsim_send_message(id, kIOMessageSystemWillSleep, nullptr);
    fwsim_send_message(id, 0xE0001234, nullptr);
    ASSERT_TRUE(pump_until([&] { return ev.messages.size() == 4; }));
    EXPECT_EQ(ev.messages[0].second, kIOMessageServiceIsSuspended);
    EXPECT_EQ(ev.messages[1].second, kIOMessageServiceIsResumed);
    EXPECT_EQ(ev.messages[2].second, kIOMessageSystemWillSleep);
    EXPECT_EQ(ev.messages[3].second, 0xE0001234u);
    EXPECT_EQ(ev.messages[0].first, ev.added[0]);
}

TEST_F(Notifications, TerminationEndsTheDevicesNotifications) {
    int id = fwsim_add_default_unit();
    arm();
    fwsim_remove_unit(id);
    ASSERT_TRUE(pump_until([&] { return !ev.terminated.empty() && !ev.messages.empty(); }));
    EXPECT_EQ(ev.messages.back().second, kIOMessageServiceIsTerminated);
    EXPECT_EQ(ev.terminated[0], ev.added[0]);
    size_t seen = ev.messages.size();
    fwsim_bus_reset();
    pump_until([] { return false; }, 30);
    EXPECT_EQ(ev.messages.size(), seen);
}

TEST_F(Notifications, NothingIsDeliveredWhileTheSourceIsOutOfTheLoop) {
    int id = fwsim_add_default_unit();
    arm();
    CFRunLoopRemoveSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(ev.port), kCFRunLoopDefaultMode);
    fwsim_send_message(id, kIOMessageDeviceHasPoweredOn, nullptr);
    pump_until([] { return false; }, 20);
    EXPECT_TRUE(ev.messages.empty());
    CFRunLoopAddSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(ev.port), kCFRunLoopDefaultMode);
    EXPECT_TRUE(pump_until([&] { return ev.messages.size() == 1; }));
}

TEST_F(Notifications, DestroyingThePortInsideItsCallbackDropsTheRest) {
    int id = fwsim_add_default_unit();
    arm();
    ev.destroyPortOnMessage = true;
    fwsim_bus_reset();
    fwsim_send_message(id, kIOMessageSystemHasPoweredOn, nullptr);
    pump_until([] { return false; }, 30);
    EXPECT_EQ(ev.messages.size(), 1u);
    EXPECT_EQ(ev.port, nullptr);
    fwsim_bus_reset();  // no listener left: nothing happens
    EXPECT_EQ(pump_now(), 0);
}

TEST_F(Notifications, ReleasingAnInterestNotificationEndsIt) {
    fwsim_add_default_unit();
    arm();
    io_service_t dev = IOServiceGetMatchingService(kIOMasterPortDefault, IOServiceMatching("IOFireWireDevice"));
    Events other;
    io_object_t note = 0;
    ASSERT_EQ(IOServiceAddInterestNotification(ev.port, dev, kIOGeneralInterest, on_interest, &other, &note),
              kIOReturnSuccess);
    EXPECT_EQ(IOServiceAddInterestNotification(ev.port, dev, "IOBusyInterest", on_interest, &other, &note),
              kIOReturnBadArgument);
    IOObjectRelease(note);
    fwsim_bus_reset();
    ASSERT_TRUE(pump_until([&] { return ev.messages.size() == 2; }));
    EXPECT_TRUE(other.messages.empty());
    IOObjectRelease(dev);
}

TEST_F(Notifications, PlatformSeams) {
    fwsim_set_seam(FWSIM_SEAM_MASTER_PORT, kIOReturnNotResponding);
    mach_port_t master = 0;
    EXPECT_EQ(IOMasterPort(bootstrap_port, &master), kIOReturnNotResponding);
    fwsim_set_seam(FWSIM_SEAM_NOTIFY_PORT, 1);
    EXPECT_EQ(IONotificationPortCreate(master), nullptr);
    fwsim_set_seam(FWSIM_SEAM_NOTIFY_PORT, 0);
    IONotificationPortRef port = IONotificationPortCreate(master);
    fwsim_set_seam(FWSIM_SEAM_ADD_MATCHING, kIOReturnNoMemory);
    io_iterator_t it = 0;
    EXPECT_EQ(IOServiceAddMatchingNotification(port, kIOFirstPublishNotification, IOServiceMatching("IOFireWireDevice"),
                                               on_added, &ev, &it),
              kIOReturnNoMemory);
    EXPECT_EQ(it, 0u);
    IONotificationPortDestroy(port);
}

}  // namespace
