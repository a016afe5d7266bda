// One AV/C unit as the I/O registry publishes it, whichever bus it is on
// (the simulated decks of simavc.cpp, the Linux units of linux_bus.cpp),
// and the registry calls the buses make. Internal to libfirewire.
#pragma once

#include "IOKit/IOKit.h"

#include <cstdint>
#include <memory>
#include <string>

namespace fw {

struct Unit {
    virtual ~Unit() = default;

    // What the registry publishes: "GUID" and, when the configuration ROM
    // names them, "FireWire Vendor Name" and "FireWire Product Name" on the
    // node's "IOFireWireDevice"; "Unit_Spec_ID" and "Unit_SW_Vers" on the
    // "IOFireWireAVCUnit" below it.
    uint64_t guid = 0;
    uint32_t specId = 0, swVersion = 0;
    std::string vendorName, modelName;

    io_object_t deviceService = 0, unitService = 0;  // the latest publication
    bool gone = false;                               // terminated, not (yet) back
    void *openedBy = nullptr;                        // the unit interface that has it open

    // Steps a unit may refuse (the simulated decks' faults).
    enum class Step { PlugIn, Interface, Open };
    virtual bool refuses(Step) const { return false; }

    // One AV/C exchange as IOFireWireAVCLibUnitInterface::AVCCommand
    // describes it, for an open interface on a unit that is not gone; the
    // arguments are checked.
    virtual IOReturn exchange(const UInt8 *command, UInt32 cmdLen, UInt8 *response, UInt32 *responseLen) = 0;
};

// ---- the registry (iokit.cpp) ----------------------------------------------------------
// Publishes new services for the unit (matching notifications fire) and
// clears `gone`; a unit that left can be published again.
void publish(const std::shared_ptr<Unit> &unit);
// Sets `gone`; with `notify`, ServiceIsTerminated goes to the interest
// notifications of its services and terminated-matching notifications fire;
// then the services leave the registry.
void terminate(Unit &unit, bool notify);
// A message to every interest notification on one service, or on both
// services of a unit.
void message(io_object_t service, uint32_t type, void *arg);
void message(const Unit &unit, uint32_t type, void *arg);

}  // namespace fw
