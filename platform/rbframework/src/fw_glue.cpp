// The platform's main run loop (FireWire notification ports, Carbon idle
// timers) runs on the runtime's main loop: its one file descriptor is a
// source of the loop from the start.
#include <rb/loop.h>

#include <fw/CoreFoundation.h>

#include <poll.h>

namespace rb {
namespace {

struct FireWireRunLoop {
    FireWireRunLoop() {
        int fd = fw_runloop_fd();
        if (fd >= 0) addSource(fd, POLLIN, [] { fw_runloop_perform(); });
    }
} gFireWireRunLoop;

}  // namespace
}  // namespace rb
