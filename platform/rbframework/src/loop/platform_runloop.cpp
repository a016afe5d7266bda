// The platform's main run loop (FireWire notification ports, Carbon idle
// timers) runs on the runtime's main loop: its one file descriptor is a
// source of the loop once the runtime starts (RuntimeInit). The platform
// runs on the runtime's clock from then on, so that one clock, a test's
// too, moves the runtime, the run loop and the simulated FireWire decks.
#include "core.h"

#include "loop/clock.h"

#include <rb/loop.h>

#include <CoreFoundation/CoreFoundation.h>

#include <poll.h>

namespace rb::core {

namespace {

uint64_t runtimeNs(void *) { return uint64_t(microseconds()) * 1000u; }

// A wait on the runtime's clock: moved on at once when a test holds it;
// on the machine's clock the platform waits in the machine's time.
bool passByHand(void *, int ms) {
    const auto &letTimePass = clockPass();
    if (letTimePass) letTimePass(int64_t(ms) * 1000);
    return bool(letTimePass);
}

}  // namespace

void attachPlatformRunLoop() {
    fw_set_clock(runtimeNs, passByHand, nullptr);
    int fd = fw_runloop_fd();
    if (fd >= 0) addSource(fd, POLLIN, [] { fw_runloop_perform(); });
}

}  // namespace rb::core
