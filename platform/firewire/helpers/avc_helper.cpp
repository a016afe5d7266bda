// A helper bundle for the deck-control plug-in's bundle path, built over
// libfirewire. AVCHelper.bundle exports every helper function;
// AVCHelperPartial.bundle (FW_HELPER_PARTIAL) lacks "Send2Device",
// "SetTimerAVC" and "CreateNotificationPort".
//
// FwHelperCallCount(name) tells tests how often a function was called.
#include "fw/AVCFrame.h"
#include "Carbon/Carbon.h"
#include "IOKit/IOKit.h"

#include <map>
#include <string>

#define HELPER extern "C" __attribute__((visibility("default")))

namespace {

std::map<std::string, int> &calls() {
    static std::map<std::string, int> m;
    return m;
}
void count(const char *name) { ++calls()[name]; }

typedef IOFireWireAVCLibUnitInterface **Unit;

IOReturn inquiry(Unit unit, UInt8 opcode) {
    if (!unit) return kIOReturnBadArgument;
    using namespace avcframe;
    UInt8 frame[8] = {ctype::kStatus, subunit::kUnit, opcode, kNone, kNone, kNone, kNone, kNone};
    UInt8 response[256];
    UInt32 length = sizeof response;
    return (*unit)->AVCCommand(unit, frame, sizeof frame, response, &length);
}

#ifndef FW_HELPER_PARTIAL
IONotificationPortRef g_port = nullptr;

void device_added(void *refcon, io_iterator_t iterator) {
    auto *ctx = static_cast<std::pair<IOServiceInterestCallback, void *> *>(refcon);
    while (io_service_t s = IOIteratorNext(iterator)) {
        io_object_t note = 0;
        if (g_port) IOServiceAddInterestNotification(g_port, s, kIOGeneralInterest, ctx->first, ctx->second, &note);
        IOObjectRelease(s);
    }
}
#endif

}  // namespace

HELPER int FwHelperCallCount(const char *name) { return name ? calls()[name] : 0; }

HELPER IOCFPlugInInterface **CreateIOCFPlugInInterface() {
    count("CreateIOCFPlugInInterface");
    CFMutableDictionaryRef d = IOServiceMatching("IOFireWireAVCUnit");
    SInt32 spec = avcframe::kUnitSpecId, version = avcframe::kUnitSwVersion;
    CFNumberRef n1 = CFNumberCreate(nullptr, kCFNumberSInt32Type, &spec);
    CFNumberRef n2 = CFNumberCreate(nullptr, kCFNumberSInt32Type, &version);
    CFDictionarySetValue(d, CFSTR("Unit_Spec_ID"), n1);
    CFDictionarySetValue(d, CFSTR("Unit_SW_Vers"), n2);
    CFRelease(n1);
    CFRelease(n2);
    io_service_t s = IOServiceGetMatchingService(kIOMasterPortDefault, d);
    if (!s) return nullptr;
    IOCFPlugInInterface **plugin = nullptr;
    SInt32 score = 0;
    IOCreatePlugInInterfaceForService(s, kIOFireWireAVCLibUnitTypeID, kIOCFPlugInInterfaceID, &plugin, &score);
    IOObjectRelease(s);
    return plugin;
}

HELPER Unit GetIOFireWireAVCLibUnitInterface(IOCFPlugInInterface **plugin) {
    count("GetIOFireWireAVCLibUnitInterface");
    if (!plugin) return nullptr;
    Unit unit = nullptr;
    if ((*plugin)->QueryInterface(plugin, CFUUIDGetUUIDBytes(kIOFireWireAVCLibUnitInterfaceID),
                                  reinterpret_cast<LPVOID *>(&unit)) != S_OK)
        return nullptr;
    (*unit)->open(unit);
    return unit;
}

HELPER void ReleaseIOFireWireAVCLibUnitInterface(Unit unit) {
    count("ReleaseIOFireWireAVCLibUnitInterface");
    if (!unit) return;
    (*unit)->close(unit);
    (*unit)->Release(unit);
}

HELPER void DestroyPlugInInterface(IOCFPlugInInterface **plugin) {
    count("DestroyPlugInInterface");
    if (plugin) IODestroyPlugInInterface(plugin);
}

HELPER IOReturn SendCommandStatusUnitInfo(Unit unit) {
    count("SendCommandStatusUnitInfo");
    return inquiry(unit, avcframe::unitop::kUnitInfo);
}
HELPER IOReturn SendCommandStatusSubunitInfo(Unit unit) {
    count("SendCommandStatusSubunitInfo");
    return inquiry(unit, avcframe::unitop::kSubunitInfo);
}
HELPER IOReturn SendCommandStatusOutputPlugSignalFormat(Unit unit) {
    count("SendCommandStatusOutputPlugSignalFormat");
    return inquiry(unit, avcframe::unitop::kOutputPlugSignalFormat);
}
HELPER IOReturn SendCommandStatusVendorDependent(Unit unit) {
    count("SendCommandStatusVendorDependent");
    return inquiry(unit, avcframe::unitop::kVendorDependent);
}

HELPER void DestroyNotificationPort(IONotificationPortRef port) {
    count("DestroyNotificationPort");
    if (!port) return;
#ifndef FW_HELPER_PARTIAL
    if (port == g_port) g_port = nullptr;
#endif
    IONotificationPortDestroy(port);
}

HELPER kern_return_t IOServiceAddMatchingNotificationPtr(IONotificationPortRef port, const char *type,
                                                         CFDictionaryRef matching, IOServiceMatchingCallback callback,
                                                         void *refCon, io_iterator_t *notification) {
    count("IOServiceAddMatchingNotificationPtr");
    return IOServiceAddMatchingNotification(port, type, matching, callback, refCon, notification);
}

#ifndef FW_HELPER_PARTIAL
HELPER IOReturn Send2Device(Unit unit, const UInt8 *frame, UInt32 length, UInt8 *response, UInt32 *responseLength) {
    count("Send2Device");
    if (!unit) return kIOReturnBadArgument;
    return (*unit)->AVCCommand(unit, frame, length, response, responseLength);
}

HELPER EventLoopTimerRef SetTimerAVC(EventLoopTimerRef *slot, SInt32 delay, SInt32 interval, void *userData,
                                     EventLoopIdleTimerProcPtr proc) {
    count("SetTimerAVC");
    if (!slot) return nullptr;
    if (*slot) {
        RemoveEventLoopTimer(*slot);
        *slot = nullptr;
    }
    InstallEventLoopIdleTimer(GetMainEventLoop(), delay * 0.001, interval * 0.001, NewEventLoopIdleTimerUPP(proc),
                              userData, slot);
    return *slot;
}

HELPER IOReturn CreateNotificationPort(IONotificationPortRef *portOut, IOServiceInterestCallback callback,
                                       void *object) {
    count("CreateNotificationPort");
    if (!portOut) return kIOReturnBadArgument;
    mach_port_t master = 0;
    IOReturn st = IOMasterPort(bootstrap_port, &master);
    if (st != kIOReturnSuccess) return st;
    *portOut = IONotificationPortCreate(master);
    if (!*portOut) return kIOReturnError;
    g_port = *portOut;
    static std::pair<IOServiceInterestCallback, void *> ctx;
    ctx = {callback, object};
    io_iterator_t added = 0;
    st = IOServiceAddMatchingNotification(g_port, kIOFirstPublishNotification, IOServiceMatching("IOFireWireDevice"),
                                          device_added, &ctx, &added);
    if (st != kIOReturnSuccess) return st;
    device_added(&ctx, added);
    CFRunLoopAddSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(g_port), kCFRunLoopDefaultMode);
    return kIOReturnSuccess;
}
#endif
