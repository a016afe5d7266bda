// General AV/C STATUS inquiries to the unit, printed to standard output.
#include "bundle.h"
#include "unit.h"

#include <fw/AVCFrame.h>

#include <cstdio>
#include <string>

using namespace avcframe;

extern "C" {

const char *responseStr[16] = {"Reserved0",          "Reserved1", "Reserved2", "Reserved3",
                               "Reserved4",          "Reserved5", "Reserved6", "Reserved7",
                               "NOT IMPLEMENTED",    "ACCEPTED",  "REJECTED",  "IN TRANSITION",
                               "IMPLEMENTED/STABLE", "CHANGED",   "ReservedE", "INTERIM"};

const char *unitTypeStr[32] = {
    "Video monitor", "Reserved1",  "Reserved2",    "Reserved3",     "Video cassette recorder (VCR)",
    "TV tuner",      "Reserved6",  "Video camera", "Reserved8",     "Reserved9",
    "ReservedA",     "ReservedB",  "ReservedC",    "ReservedD",     "ReservedE",
    "ReservedF",     "Reserved10", "Reserved11",   "Reserved12",    "Reserved13",
    "Reserved14",    "Reserved15", "Reserved16",   "Reserved17",    "Reserved18",
    "Reserved19",    "Reserved1A", "Reserved1B",   "Vendor unique", "Reserved1D",
    "Reserved1E",    "Unit"};

void DisplayAVCResponse(const UInt8 *r) {
    std::printf("\nDisplay: AVCResponse\n");
    std::printf("\tresponse: 0x%02X %s\n", r[0] & response::kMask, responseStr[r[0] & response::kMask]);
    std::printf("\tsubunit_type: 0x%02X\n", r[1] >> 3);
    std::printf("\tsubunit_ID: 0x%02X\n", r[1] & 7);
    std::printf("\topcode: 0x%02X\n", r[2]);
}

void DisplayUnitInfo(const UInt8 *r) {
    std::printf("\nDisplay: UnitInfo\n");
    std::printf("\toperand0: 0x%02X\n", r[3]);
    std::printf("\tunit_type: 0x%02X %s\n", r[4] >> 3, unitTypeStr[r[4] >> 3]);
    std::printf("\tunit: 0x%02X\n", r[4] & 7);
    std::printf("\tcompany ID: 0x%02X%02X%02X\n", r[5], r[6], r[7]);
}

void DisplaySubunitInfo(const UInt8 *r) {
    std::printf("\nDisplay: SubunitInfo\n");
    std::printf("\toperand0: 0x%02X\n", r[3]);
    for (int i = 4; i < 8; ++i) {
        std::printf("\tsubunit type: 0x%02X %s", r[i] >> 3, unitTypeStr[r[i] >> 3]);
        std::printf(" count: %d\n", (r[i] & 7) + 1);
    }
}

IOReturn SendCommandStatusInquiry(IOFireWireAVCLibUnitInterface **unit, UInt8 opcode) {
    if (!unit) return kIOReturnNotOpen;  // nothing is sent without a unit
    UInt8 command[8] = {ctype::kStatus, subunit::kUnit, opcode, kNone, kNone, kNone, kNone, kNone};
    UInt8 response[256] = {};
    UInt32 length = sizeof response;
    IOReturn status = (*unit)->AVCCommand(unit, command, sizeof command, response, &length);
    std::printf("\nStatusInquiry result: 0x%08X responseLen: %ld\n", unsigned(status), long(length));
    if (status == 0 && length >= 3) DisplayAVCResponse(response);
    if (opcode == unitop::kUnitInfo) DisplayUnitInfo(response);
    if (opcode == unitop::kSubunitInfo) DisplaySubunitInfo(response);
    return status;
}

IOReturn SendCommandStatusUnitInfo(IOFireWireAVCLibUnitInterface **u) {
    return SendCommandStatusInquiry(u, unitop::kUnitInfo);
}
IOReturn SendCommandStatusSubunitInfo(IOFireWireAVCLibUnitInterface **u) {
    return SendCommandStatusInquiry(u, unitop::kSubunitInfo);
}
IOReturn SendCommandStatusOutputPlugSignalFormat(IOFireWireAVCLibUnitInterface **u) {
    return SendCommandStatusInquiry(u, unitop::kOutputPlugSignalFormat);
}
IOReturn SendCommandStatusVendorDependent(IOFireWireAVCLibUnitInterface **u) {
    return SendCommandStatusInquiry(u, unitop::kVendorDependent);
}

}  // extern "C"

namespace {

using Inquiry = IOReturn (*)(IOFireWireAVCLibUnitInterface **);

void inquire(REALobject obj, const char *name, Inquiry local) {
    AVCData *d = AVC_Data(obj);
    if (d->bundleLoaded == 1) {
        d->lastError = -50;
        auto fn = reinterpret_cast<Inquiry>(avc::bundleFunction(d->bundle, name));
        if (!fn) return;
        d->lastError = fn(d->unit);
        return;
    }
    d->lastError = d->unit ? local(d->unit) : -50;
}

}  // namespace

extern "C" {
void AVC_SendCommandStatusUnitInfo(REALobject o) { inquire(o, "SendCommandStatusUnitInfo", SendCommandStatusUnitInfo); }
void AVC_SendCommandStatusSubunitInfo(REALobject o) {
    inquire(o, "SendCommandStatusSubunitInfo", SendCommandStatusSubunitInfo);
}
void AVC_SendCommandStatusOutputPlugSignalFormat(REALobject o) {
    inquire(o, "SendCommandStatusOutputPlugSignalFormat", SendCommandStatusOutputPlugSignalFormat);
}
void AVC_SendCommandStatusVendorDependent(REALobject o) {
    inquire(o, "SendCommandStatusVendorDependent", SendCommandStatusVendorDependent);
}
}

namespace {

// The unit's answer to a frame, printed under its title; returns the status.
IOReturn exchange(IOFireWireAVCLibUnitInterface **unit, const char *title, const UInt8 *frame, UInt32 length,
                  UInt8 *response, UInt32 *responseLength, bool withLength) {
    IOReturn status = (*unit)->AVCCommand(unit, frame, length, response, responseLength);
    if (withLength)
        std::printf("\n%s result: 0x%08X responseLen: %ld\n", title, unsigned(status), long(*responseLength));
    else std::printf("\n%s result: 0x%08X\n", title, unsigned(status));
    if (status == 0) DisplayAVCResponse(response);
    return status;
}

void Wait10Seconds() {
    std::printf("\nPlaying:");
    for (int i = 0; i < 30; ++i) {
        std::printf(".");
        std::fflush(stdout);
    }
    std::printf("\n");
}

}  // namespace

extern "C" int TestFunction(int, char **) {
    IOCFPlugInInterface **plugin = CreateIOCFPlugInInterface();
    if (!plugin) {
        std::printf("\n***Did not find any AVC devices***");
        return 0;
    }
    IOFireWireAVCLibUnitInterface **unit = GetIOFireWireAVCLibUnitInterface(plugin);
    if (unit) {
        UInt8 response[256] = {};
        UInt32 length = sizeof response;
        const UInt8 unitInfo[8] = {ctype::kStatus, subunit::kUnit, unitop::kUnitInfo, kNone, kNone, kNone,
                                   kNone,          kNone};
        if (exchange(unit, "UNIT INFO", unitInfo, 8, response, &length, true) == 0) DisplayUnitInfo(response);
        // Each later exchange offers the length the previous one received.
        // Operand 0x07: page 0, every extension code.
        const UInt8 subunitInfo[8] = {ctype::kStatus, subunit::kUnit, unitop::kSubunitInfo, 0x07, kNone, kNone,
                                      kNone,          kNone};
        if (exchange(unit, "SUBUNIT INFO", subunitInfo, 8, response, &length, true) == 0) DisplaySubunitInfo(response);
        const UInt8 playFrame[4] = {ctype::kControl, subunit::kTape, tapeop::kPlay, play::kForward};
        if (exchange(unit, "PLAY", playFrame, 4, response, &length, false) == 0 && response[0] == response::kAccepted)
            Wait10Seconds();
        const UInt8 stopFrame[4] = {ctype::kControl, subunit::kTape, tapeop::kWind, wind::kStop};
        exchange(unit, "WIND STOP", stopFrame, 4, response, &length, false);
        ReleaseIOFireWireAVCLibUnitInterface(unit);
    }
    DestroyPlugInInterface(plugin);
    return 0;
}
