// The runtime's clock in a test's hands: ticks, timed calls, timers, sleeping
// threads and the video all follow it. It moves when the test moves it, and
// when the test runs the loop (rb::runFor, runUntil). One at a time; the
// machine's clock comes back when it goes.
#pragma once

#include <rb/loop.h>

#include <atomic>
#include <cassert>
#include <cstdint>

class TestClock {
public:
    explicit TestClock(int64_t startUs = 1'000'000) {
        assert(!current_);
        us_ = startUs;
        current_ = this;
        rb::setClock(now, [](int64_t us) { us_ += us; });
    }
    ~TestClock() {
        rb::setClock(nullptr, nullptr);
        current_ = nullptr;
    }
    TestClock(const TestClock &) = delete;
    TestClock &operator=(const TestClock &) = delete;

    // Its time as a plain function, for what takes a clock by pointer (the
    // video, a host's "RuntimeMicroseconds"); any thread may call it.
    static int64_t now() {
        ++reads_;
        return us_.load();
    }
    // How often it was read so far.
    static int64_t reads() { return reads_.load(); }

    int64_t nowUs() const { return us_.load(); }
    int64_t nowMs() const { return us_.load() / 1000; }
    void set(int64_t us) { us_ = us; }
    // Stands it at the start of tick `ticks` (1/60 s) of its own time.
    void setTicks(int64_t ticks) { us_ = ticks * 1'000'000 / 60 + 1; }
    void advance(int64_t ms) { us_ += ms * 1000; }
    void advanceUs(int64_t us) { us_ += us; }

    // Moves it on by `ms` in steps of `stepMs`, one loop pass after each step.
    void run(int64_t ms, int64_t stepMs = 1) {
        for (int64_t done = 0; done < ms; done += stepMs) {
            advance(stepMs);
            rb::runOnce(0);
        }
    }

private:
    static inline std::atomic<int64_t> us_{0};
    static inline std::atomic<int64_t> reads_{0};
    static inline TestClock *current_ = nullptr;
};
