// A fake helper bundle for the AV/C fuzz target. Its unit answers every frame
// with the next response of a script that the target hands it, so the
// plug-in's response handling sees whatever a hostile unit could send:
//
//   status byte   bits 0-1: 0 and 1 success, 2 time-out, 3 device gone;
//                 bit 2: the reported length is the next four bytes (big
//                 endian) instead of the number of bytes written
//   count byte    bytes of the response that follow (at most the room the
//                 caller offered are written)
//   bytes
//
// A script that has run out answers success with nothing. The diagnostic
// inquiries go to the inquiry function the target names (the plug-in's own
// exported one), with this bundle's unit.
#include <Carbon/Carbon.h>
#include <IOKit/IOKit.h>
#include <rb/plugin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#define HELPER extern "C" __attribute__((visibility("default")))

namespace {

using Unit = IOFireWireAVCLibUnitInterface **;
using Inquiry = IOReturn (*)(Unit, UInt8);

struct Script {
    const uint8_t *bytes = nullptr;
    size_t left = 0;
    uint8_t next() {
        if (!left) return 0;
        --left;
        return *bytes++;
    }
} gScript;

// The last answer, for the target's checks.
struct Answer {
    uint32_t serial = 0;  // answers given so far
    IOReturn status = 0;
    UInt32 reported = 0;
    UInt32 written = 0;
    uint8_t bytes[256] = {};
} gLast;

Inquiry gInquiry = nullptr;
uint8_t gRefuse = 0;  // bit 0: no plug-in interface, bit 1: no unit
IOServiceInterestCallback gInterest = nullptr;
REALobject gInterestObject = nullptr;
int gPortToken = 0;

IOReturn avcCommand(void *, const UInt8 *, UInt32, UInt8 *response, UInt32 *responseLength) {
    static const IOReturn kStatus[4] = {kIOReturnSuccess, kIOReturnSuccess, kIOReturnTimeout, kIOReturnNoDevice};
    uint8_t head = gScript.next();
    ++gLast.serial;
    gLast.status = kStatus[head & 3];
    UInt32 reported = 0;
    if (head & 4)
        for (int i = 0; i < 4; ++i) reported = reported << 8 | gScript.next();
    UInt32 room = responseLength ? *responseLength : 0;
    UInt32 count = std::min<UInt32>(gScript.next(), room);
    count = std::min<UInt32>(count, UInt32(gScript.left));
    if (response && count) std::memcpy(response, gScript.bytes, count);
    gScript.bytes += count;
    gScript.left -= count;
    gLast.written = count;
    gLast.reported = head & 4 ? reported : count;
    std::memset(gLast.bytes, 0, sizeof gLast.bytes);
    if (response) std::memcpy(gLast.bytes, response, std::min<UInt32>(room, sizeof gLast.bytes));
    if (responseLength) *responseLength = gLast.reported;
    return gLast.status;
}

IOReturn ok(void *) { return kIOReturnSuccess; }
ULONG one(void *) { return 1; }

IOFireWireAVCLibUnitInterface gUnitFunctions = [] {
    IOFireWireAVCLibUnitInterface u{};
    u.AddRef = one;
    u.Release = one;
    u.open = ok;
    u.close = ok;
    u.AVCCommand = avcCommand;
    return u;
}();
IOFireWireAVCLibUnitInterface *gUnit = &gUnitFunctions;
IOCFPlugInInterface gPluginFunctions{};
IOCFPlugInInterface *gPlugin = &gPluginFunctions;

}  // namespace

// ---- the target's side ----------------------------------------------------------

HELPER void FuzzHelperReset(const uint8_t *script, size_t size, uint8_t refuse, Inquiry inquiry) {
    gScript = {script, size};
    gLast = {};
    gRefuse = refuse;
    gInquiry = inquiry;
}
HELPER size_t FuzzHelperLeft() { return gScript.left; }
HELPER uint8_t FuzzHelperNext() { return gScript.next(); }
HELPER void FuzzHelperLastAnswer(uint32_t *serial, IOReturn *status, UInt32 *reported, const uint8_t **bytes) {
    *serial = gLast.serial;
    *status = gLast.status;
    *reported = gLast.reported;
    *bytes = gLast.bytes;
}
// Delivers a device message to the interest callback that the plug-in
// handed to CreateNotificationPort; false when it handed none.
HELPER bool FuzzHelperMessage(natural_t type) {
    if (!gInterest) return false;
    gInterest(gInterestObject, 0x1234, type, nullptr);
    return true;
}

// ---- the helper functions the plug-in looks up ----------------------------------

HELPER IOCFPlugInInterface **CreateIOCFPlugInInterface() { return gRefuse & 1 ? nullptr : &gPlugin; }
HELPER Unit GetIOFireWireAVCLibUnitInterface(IOCFPlugInInterface **plugin) {
    return plugin && !(gRefuse & 2) ? &gUnit : nullptr;
}
HELPER void ReleaseIOFireWireAVCLibUnitInterface(Unit) {}
HELPER void DestroyPlugInInterface(IOCFPlugInInterface **) {}

HELPER IOReturn Send2Device(Unit unit, const UInt8 *frame, UInt32 length, UInt8 *response, UInt32 *responseLength) {
    if (!unit) return kIOReturnBadArgument;
    return (*unit)->AVCCommand(unit, frame, length, response, responseLength);
}

HELPER IOReturn SendCommandStatusUnitInfo(Unit unit) { return gInquiry ? gInquiry(unit, 0x30) : kIOReturnError; }
HELPER IOReturn SendCommandStatusSubunitInfo(Unit unit) { return gInquiry ? gInquiry(unit, 0x31) : kIOReturnError; }
HELPER IOReturn SendCommandStatusOutputPlugSignalFormat(Unit unit) {
    return gInquiry ? gInquiry(unit, 0x18) : kIOReturnError;
}
HELPER IOReturn SendCommandStatusVendorDependent(Unit unit) { return gInquiry ? gInquiry(unit, 0x00) : kIOReturnError; }

HELPER IOReturn CreateNotificationPort(IONotificationPortRef *port, IOServiceInterestCallback callback,
                                       REALobject object) {
    if (!port) return kIOReturnBadArgument;
    *port = reinterpret_cast<IONotificationPortRef>(&gPortToken);
    gInterest = callback;
    gInterestObject = object;
    return kIOReturnSuccess;
}
HELPER void DestroyNotificationPort(IONotificationPortRef) {
    gInterest = nullptr;
    gInterestObject = nullptr;
}
