// Waiting in tests of the host: runs the event loop in short slices until a
// condition holds or the time is up. The time is the runtime's clock: on a
// TestClock the slices move it, so what waits on it (timers, sleeping
// threads, the video) comes about at once. What another thread brings about
// needs the machine's time as well: the wait gives up only once the
// timeout has passed on both clocks, and past the runtime's deadline it
// waits on the machine's clock with the runtime's standing.
#pragma once

#include "wait_until.h"

#include <rb/loop.h>
#include <rb/operator.h>

#include <chrono>
#include <cstdint>

template <class Done> bool runUntil(Done &&done, std::chrono::milliseconds timeout) {
    int64_t end = rb::microseconds() + int64_t(timeout.count()) * 1000;
    auto machineEnd = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        bool late = rb::microseconds() >= end;
        if (late && std::chrono::steady_clock::now() >= machineEnd) return done();
        if (late) {
            rb::runOnce(1);
            continue;
        }
        rb::op::runFor(0);  // the clock standing, first: it moves no further than needed
        if (done()) return true;
        rb::op::runFor(1);
    }
    return true;
}

// Runs the loop until `done` holds or `timeout` of the machine's clock has
// passed, moving nothing of the runtime's clock (it stands, or a Pacer
// moves it): for what another thread brings about at a time on the
// runtime clock that the test has set.
template <class Done> bool runUntilStill(Done &&done, std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return done();
        rb::runOnce(1);
    }
    return true;
}
