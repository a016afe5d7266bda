// What the FireWire platform tests share: the AV/C unit matching
// dictionary and an opened unit (the run loop on the test clock is
// run_loop_clock.h).
#pragma once

#include "fw/AVCFrame.h"
#include "fw/FWSim.h"
#include <IOKit/IOKit.h>
#include "run_loop_clock.h"

#include <glob.h>
#include <poll.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <vector>

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
