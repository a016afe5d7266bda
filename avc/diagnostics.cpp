// General AV/C STATUS inquiries to the unit, printed to standard output.
#include "bundle.h"
#include "unit.h"

#include <cstdio>
#include <string>

extern "C" {

const char *responseStr[16] = {"Reserved0", "Reserved1", "Reserved2", "Reserved3", "Reserved4", "Reserved5",
                               "Reserved6", "Reserved7", "NOT IMPLEMENTED", "ACCEPTED", "REJECTED",
                               "IN TRANSITION", "IMPLEMENTED/STABLE", "CHANGED", "ReservedE", "INTERIM"};

const char *unitTypeStr[32] = {
    "Video monitor", "Reserved1", "Reserved2", "Reserved3", "Video cassette recorder (VCR)", "TV tuner",
    "Reserved6", "Video camera", "Reserved8", "Reserved9", "ReservedA", "ReservedB", "ReservedC", "ReservedD",
    "ReservedE", "ReservedF", "Reserved10", "Reserved11", "Reserved12", "Reserved13", "Reserved14", "Reserved15",
    "Reserved16", "Reserved17", "Reserved18", "Reserved19", "Reserved1A", "Reserved1B", "Vendor unique",
    "Reserved1D", "Reserved1E", "Unit"};

void DisplayAVCResponse(const UInt8 *r) {
    std::printf("\nDisplay: AVCResponse\n");
    std::printf("\tresponse: 0x%02X %s\n", r[0] & 0x0F, responseStr[r[0] & 0x0F]);
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
    UInt8 command[8] = {0x01, 0xFF, opcode, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    UInt8 response[256] = {};
    UInt32 length = sizeof response;
    IOReturn status = (*unit)->AVCCommand(unit, command, sizeof command, response, &length);
    std::printf("\nStatusInquiry result: 0x%08X responseLen: %ld\n", unsigned(status), long(length));
    if (status == 0 && length >= 3) DisplayAVCResponse(response);
    if (opcode == 0x30) DisplayUnitInfo(response);
    if (opcode == 0x31) DisplaySubunitInfo(response);
    return status;
}

IOReturn SendCommandStatusUnitInfo(IOFireWireAVCLibUnitInterface **u) { return SendCommandStatusInquiry(u, 0x30); }
IOReturn SendCommandStatusSubunitInfo(IOFireWireAVCLibUnitInterface **u) { return SendCommandStatusInquiry(u, 0x31); }
IOReturn SendCommandStatusOutputPlugSignalFormat(IOFireWireAVCLibUnitInterface **u) {
    return SendCommandStatusInquiry(u, 0x18);
}
IOReturn SendCommandStatusVendorDependent(IOFireWireAVCLibUnitInterface **u) { return SendCommandStatusInquiry(u, 0x00); }

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
