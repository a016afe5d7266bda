// The platform's main run loop as a host drives it, on the test clock. The
// runtime hands its clock to the platform when it starts, so the one
// TestClock moves the run loop, the idle timers and the simulated FireWire
// decks too; a deck's wait moves it on at once.
#pragma once

#include "test_clock.h"

#include <CoreFoundation/CoreFoundation.h>
#include <rb/runtime.h>

#include <poll.h>

#include <chrono>
#include <functional>

// The test clock with the runtime started: run(ms) moves it a millisecond at
// a time and runs what is due on the run loop after each.
struct FwClock {
    FwClock() { RuntimeInit(); }
    TestClock clock;
    uint64_t ns() const { return uint64_t(clock.nowUs()) * 1000; }
    void run(int ms) {
        for (int i = 0; i < ms; ++i) {
            clock.advance(1);
            fw_runloop_perform();
        }
    }
};

// Polls the run-loop fd like a host would, performing work as it becomes
// due, until cond() holds or the time runs out.
inline bool pump_until(const std::function<bool()> &cond, int timeout_ms = 1000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!cond()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fw_runloop_fd(), POLLIN, 0};
        if (poll(&p, 1, int(left.count())) > 0) fw_runloop_perform();
    }
    return true;
}

// Runs whatever is due right now (nothing waits).
inline int pump_now() {
    pollfd p{fw_runloop_fd(), POLLIN, 0};
    return poll(&p, 1, 0) > 0 ? fw_runloop_perform() : 0;
}
