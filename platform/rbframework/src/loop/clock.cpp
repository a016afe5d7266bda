// The runtime clock: the machine's monotonic clock, or one a test injects.
#include "loop/clock.h"

#include <rb/loop.h>

#include <memory>
#include <mutex>
#include <time.h>

namespace rb {

namespace {

struct Clock {
    // Read from any thread (a plug-in's video clock reads it), under mu.
    std::mutex mu;
    std::shared_ptr<const std::function<int64_t()>> now;
    std::function<void(int64_t)> pass;  // main thread only
    // Added to the clock so that the runtime's time never runs back when a
    // clock is injected or restored, and every deadline stays good. Whole
    // seconds, so that the ticks of an injected clock keep its alignment.
    int64_t offset = 0;
};

Clock &clock() {
    static Clock c;
    return c;
}

// The machine's clock.
int64_t monotonicUs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

}  // namespace

int64_t microseconds() {
    Clock &c = clock();
    std::shared_ptr<const std::function<int64_t()>> now;
    int64_t offset = 0;
    {
        std::lock_guard lk(c.mu);
        now = c.now;
        offset = c.offset;
    }
    return (now ? (*now)() : monotonicUs()) + offset;
}

int64_t Ticks() { return microseconds() * 60 / 1000000; }

void setClock(std::function<int64_t()> usNow, std::function<void(int64_t)> pass) {
    Clock &c = clock();
    int64_t now = microseconds();
    auto injected = usNow ? std::make_shared<const std::function<int64_t()>>(std::move(usNow)) : nullptr;
    int64_t behind = now - (injected ? (*injected)() : monotonicUs());
    int64_t seconds = behind > 0 ? (behind + 999'999) / 1'000'000 : -(-behind / 1'000'000);
    std::lock_guard lk(c.mu);
    c.now = std::move(injected);
    c.pass = c.now ? std::move(pass) : nullptr;
    c.offset = seconds * 1'000'000;
}

const std::function<void(int64_t)> &core::clockPass() { return clock().pass; }

}  // namespace rb
