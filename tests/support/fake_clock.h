// The runtime's clock in a test's hands: ticks, timed calls, timers and
// sleeping threads all follow it, and it moves only when the test says.
#pragma once

#include <rb/loop.h>

#include <atomic>
#include <cstdint>

class FakeClock {
public:
    explicit FakeClock(int64_t startUs = 1'000'000) : us_(startUs) {
        rb::setClock([this] { return us_.load(); });
    }
    ~FakeClock() { rb::setClock(nullptr); }
    FakeClock(const FakeClock &) = delete;
    FakeClock &operator=(const FakeClock &) = delete;

    int64_t nowUs() const { return us_.load(); }
    int64_t nowMs() const { return us_.load() / 1000; }
    void set(int64_t us) { us_ = us; }
    void advance(int64_t ms) { us_ += ms * 1000; }

    // Moves the clock on by `ms` in steps of `stepMs`, one loop pass after
    // each step.
    void run(int64_t ms, int64_t stepMs = 1) {
        for (int64_t done = 0; done < ms; done += stepMs) {
            advance(stepMs);
            rb::runOnce(0);
        }
    }

private:
    std::atomic<int64_t> us_;
};
