// What the FireWire platform tests share: the test clock, pumping the
// main run loop as a host does, the AV/C unit matching dictionary and an
// opened unit.
#pragma once

#include "fw/AVCFrame.h"
#include "fw/Carbon.h"
#include "fw/FWSim.h"
#include "fw/IOKit.h"
#include "test_clock.h"

#include <glob.h>
#include <poll.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <vector>

// The run loop and the simulated decks on the test clock, which only the
// test moves: run(ms) moves it a millisecond at a time and runs what is due
// after each; a deck's wait moves it on at once.
struct FwClock {
    TestClock clock;
    FwClock() {
        fw_runloop_set_clock(nowNs, nullptr);
        fwsim_set_clock(nowNs, nullptr);
        fwsim_set_wait([](void *self, int ms) { static_cast<FwClock *>(self)->clock.advance(ms); }, this);
    }
    ~FwClock() {
        fw_runloop_set_clock(nullptr, nullptr);
        fwsim_set_clock(nullptr, nullptr);
        fwsim_set_wait(nullptr, nullptr);
    }
    FwClock(const FwClock &) = delete;
    FwClock &operator=(const FwClock &) = delete;
    static uint64_t nowNs(void *) { return uint64_t(TestClock::now()) * 1000; }
    uint64_t ns() const { return uint64_t(clock.nowUs()) * 1000; }
    void run(int ms) {
        for (int i = 0; i < ms; ++i) {
            clock.advance(1);
            fw_runloop_perform();
        }
    }
};

// Polls the run-loop fd like a host would, performing work as it becomes
// due, until cond() holds or the time runs out.
inline bool pump_until(const std::function<bool()> &cond, int timeout_ms = 1000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!cond()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fw_runloop_fd(), POLLIN, 0};
        if (poll(&p, 1, int(left.count())) > 0) fw_runloop_perform();
    }
    return true;
}

// Runs whatever is due right now (nothing waits).
inline int pump_now() {
    pollfd p{fw_runloop_fd(), POLLIN, 0};
    return poll(&p, 1, 0) > 0 ? fw_runloop_perform() : 0;
}

inline CFMutableDictionaryRef avc_matching(int32_t spec = avcframe::kUnitSpecId,
                                           int32_t version = avcframe::kUnitSwVersion) {
    CFMutableDictionaryRef d = IOServiceMatching("IOFireWireAVCUnit");
    CFNumberRef a = CFNumberCreate(nullptr, kCFNumberSInt32Type, &spec);
    CFNumberRef b = CFNumberCreate(nullptr, kCFNumberSInt32Type, &version);
    CFDictionarySetValue(d, CFSTR("Unit_Spec_ID"), a);
    CFDictionarySetValue(d, CFSTR("Unit_SW_Vers"), b);
    CFRelease(a);
    CFRelease(b);
    return d;
}

// How many services match (the dictionary is consumed); -1 when the
// registry cannot be asked.
inline int count_matching(CFMutableDictionaryRef matching) {
    io_iterator_t it = 0;
    if (IOServiceGetMatchingServices(kIOMasterPortDefault, matching, &it) != kIOReturnSuccess) return -1;
    int n = 0;
    while (io_service_t s = IOIteratorNext(it)) {
        ++n;
        IOObjectRelease(s);
    }
    IOObjectRelease(it);
    return n;
}

// How many AV/C units the bus shows.
inline int avc_unit_count() { return count_matching(avc_matching()); }

// Whether this machine has FireWire device files of its own.
inline bool machine_has_firewire() {
    glob_t g{};
    bool any = glob("/dev/fw[0-9]*", 0, nullptr, &g) == 0 && g.gl_pathc > 0;
    globfree(&g);
    return any;
}

typedef IOFireWireAVCLibUnitInterface **UnitRef;

// The plug-in and unit interfaces of the first matching unit, opened.
struct OpenUnit {
    IOCFPlugInInterface **plugin = nullptr;
    UnitRef unit = nullptr;
    bool ok() const { return unit != nullptr; }
    OpenUnit() {
        io_service_t s = IOServiceGetMatchingService(kIOMasterPortDefault, avc_matching());
        if (!s) return;
        SInt32 score;
        IOCreatePlugInInterfaceForService(s, kIOFireWireAVCLibUnitTypeID, kIOCFPlugInInterfaceID, &plugin, &score);
        IOObjectRelease(s);
        if (!plugin) return;
        if ((*plugin)->QueryInterface(plugin, CFUUIDGetUUIDBytes(kIOFireWireAVCLibUnitInterfaceID),
                                      reinterpret_cast<LPVOID *>(&unit)) != S_OK)
            return;
        (*unit)->open(unit);
    }
    ~OpenUnit() {
        if (unit) (*unit)->Release(unit);
        if (plugin) IODestroyPlugInInterface(plugin);
    }
    // One exchange; the response, sized to what came back.
    std::vector<uint8_t> send(std::initializer_list<uint8_t> frame, UInt32 capacity = 8, IOReturn *status = nullptr) {
        std::vector<uint8_t> f(frame), r(capacity, 0xEE);
        UInt32 len = capacity;
        IOReturn st = (*unit)->AVCCommand(unit, f.data(), UInt32(f.size()), r.data(), &len);
        if (status) *status = st;
        r.resize(st == kIOReturnSuccess ? len : 0);
        return r;
    }
};
