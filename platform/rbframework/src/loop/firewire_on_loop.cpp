// The platform's main run loop (FireWire notification ports, Carbon idle
// timers) runs on the runtime's main loop: its one file descriptor is a
// source of the loop once the runtime starts (RuntimeInit).
#include "core.h"

#include <rb/loop.h>

#include <fw/CoreFoundation.h>

#include <poll.h>

namespace rb::core {

void attachFireWireRunLoop() {
    int fd = fw_runloop_fd();
    if (fd >= 0) addSource(fd, POLLIN, [] { fw_runloop_perform(); });
}

}  // namespace rb::core
