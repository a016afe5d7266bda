// Waiting in tests of the host: runs the event loop in short slices until a
// condition holds or the time is up (see wait_until.h).
#pragma once

#include "wait_until.h"

#include <rb/operator.h>

#include <chrono>

template <class Done> bool runUntil(Done &&done, std::chrono::milliseconds timeout) {
    return pollUntil(done, timeout, [](int ms) { rb::op::runFor(ms); });
}
