// The Linux FireWire bus under the I/O registry, and the transport it
// stands on.
//
// The bus finds the AV/C units on every port (nodes whose configuration ROM
// says AV/C, by librom1394), publishes each as the registry's
// "IOFireWireDevice" and "IOFireWireAVCUnit" services with the keys the
// simulated decks publish, and sends AV/C frames through libavc1394. It
// watches each port's file descriptor on the main run loop; after a bus
// reset it reads the node list again: a unit still there (by GUID) hears
// ServiceIsSuspended then ServiceIsResumed, a unit that left hears
// ServiceIsSuspended then ServiceIsTerminated and leaves the registry, a
// new unit is published. A unit that comes back after it left is published
// anew, and interfaces opened on it before work again.
//
// The bus reaches the libraries only through a Transport: the library
// transport calls them directly; tests give their own.
#pragma once

#include "FWBus.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fw::linux1394 {

// The FireWire device files (/dev/fw*).
struct DeviceFiles {
    int count = 0;
    std::string blocked;  // the first one this process may not open, or ""
};

// What a node's configuration ROM says (librom1394).
struct NodeRom {
    bool avc = false;  // the node type is AV/C
    uint64_t guid = 0;
    uint32_t specId = 0, swVersion = 0;
    std::string vendor, model;  // the textual leaves, when there are any
};

class Transport {
public:
    virtual ~Transport() = default;
    virtual DeviceFiles devices() = 0;
    // raw1394_new_handle and raw1394_get_port_info, then one handle per
    // port: 0 and the number of ports, or an errno value.
    virtual int open(int &ports) = 0;
    virtual int nodeCount(int port) = 0;  // raw1394_get_nodecount
    virtual int localNode(int port) = 0;  // raw1394_get_local_id, node number
    // False when the node's ROM cannot be read.
    virtual bool readRom(int port, int node, NodeRom &rom) = 0;
    // One AV/C transaction through FCP: the request and the final response
    // as libavc1394 has them, in quadlets, frame byte 0 in the top byte of
    // the first. False when no final response came (after the library's
    // retries).
    virtual bool fcp(int port, int node, const std::vector<uint32_t> &request, std::vector<uint32_t> &response) = 0;
    // The bus-reset wait: the port's file descriptor, readable when an event
    // is pending; handleEvents takes what is pending (raw1394_loop_iterate);
    // busResets counts the bus resets the port has seen, during FCP
    // transactions as well.
    virtual int fd(int port) = 0;
    virtual void handleEvents(int port) = 0;
    virtual unsigned busResets(int port) = 0;
};

// The transport over libraw1394, librom1394 and libavc1394; the device
// files are looked for in `deviceDir`.
std::unique_ptr<Transport> libraryTransport(const std::string &deviceDir = "/dev");

// Makes the start-up choice again (tests): `forced` as TAVRIN_FIREWIRE, the
// libraries reached through `transport`. Every unit leaves the registry
// without messages first (decks off the bus stay); a simulated bus is
// filled from $TAVRIN_AVC_UNITS.
FwBusKind restart(const char *forced, std::unique_ptr<Transport> transport);

}  // namespace fw::linux1394
