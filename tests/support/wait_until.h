// Waiting for a condition in tests, instead of sleeping a fixed time or
// counting passes: check, do one short step, check again, until the
// condition holds or the time is up.
#pragma once

#include <chrono>
#include <thread>

// Steps with `step(sliceMs)` until `done()` holds or `timeout` has passed;
// returns whether it holds (checked once more at the end).
template <class Done, class Step>
bool pollUntil(Done &&done, std::chrono::milliseconds timeout, Step &&step, int sliceMs = 5) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return done();
        step(sliceMs);
    }
    return true;
}

// Sleeps between checks: for what another thread or process brings about.
template <class Done> bool waitUntil(Done &&done, std::chrono::milliseconds timeout) {
    return pollUntil(done, timeout, [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); });
}
