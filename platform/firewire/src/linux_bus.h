// The Linux FireWire bus (fw/FWLinux.h): its units in the I/O registry,
// their AV/C exchanges, and the bus resets. Internal to libfirewire.
#pragma once

#include "CoreFoundation/CoreFoundation.h"
#include "fw/FWLinux.h"
#include "unit.h"

#include <map>
#include <memory>
#include <vector>

namespace fw::linux1394 {

class Bus;

// An AV/C unit on a port, known by its GUID.
struct LinuxUnit : Unit {
    Bus *bus = nullptr;  // none once the bus has stopped
    int port = -1, node = -1;
    IOReturn exchange(const UInt8 *command, UInt32 cmdLen, UInt8 *response, UInt32 *responseLen) override;
};

class Bus {
public:
    // Publishes the AV/C units on the `ports` ports of an opened transport
    // and watches each port's descriptor on the main run loop.
    Bus(std::unique_ptr<Transport> transport, int ports);
    // Stops watching; the units leave the registry without messages.
    ~Bus();
    Bus(const Bus &) = delete;
    Bus &operator=(const Bus &) = delete;

    // The frame goes to the unit's node in quadlets; a bus reset met on the
    // way is handled before the outcome is known: kIOReturnNoDevice when the
    // unit left, kIOReturnTimeout when no final answer came.
    IOReturn exchange(LinuxUnit &unit, const UInt8 *command, UInt32 cmdLen, UInt8 *response, UInt32 *responseLen);

private:
    struct Port {
        Bus *bus = nullptr;
        int index = 0;
        unsigned resets = 0;  // the transport's count when last looked at
        CFFileDescriptorRef fd = nullptr;
        CFRunLoopSourceRef source = nullptr;
    };
    static void readable(CFFileDescriptorRef fd, CFOptionFlags types, void *info);
    void catchUp(int port);
    void scan(int port, bool afterReset);

    std::unique_ptr<Transport> transport_;
    std::vector<std::unique_ptr<Port>> ports_;
    std::map<uint64_t, std::shared_ptr<LinuxUnit>> units_;  // by GUID, kept when they leave
};

}  // namespace fw::linux1394
