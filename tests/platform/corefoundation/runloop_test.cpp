// The main run loop as the host drives it (fd + perform) and its timers.
#include "run_loop_clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

bool fd_ready() {
    pollfd p{fw_runloop_fd(), POLLIN, 0};
    return poll(&p, 1, 0) > 0;
}

CFRunLoopSourceRef counting_source(int *count) {
    CFRunLoopSourceContext ctx{};
    ctx.info = count;
    ctx.perform = [](void *info) { ++*static_cast<int *>(info); };
    return CFRunLoopSourceCreate(nullptr, 0, &ctx);
}

TEST(RunLoop, SignalledSourceMakesTheFdReadableAndRunsOnce) {
    pump_now();
    int runs = 0;
    CFRunLoopSourceRef s = counting_source(&runs);
    CFRunLoopSourceSignal(s);  // not in the loop yet: waits
    EXPECT_EQ(pump_now(), 0);
    CFRunLoopAddSource(CFRunLoopGetMain(), s, kCFRunLoopDefaultMode);
    EXPECT_TRUE(fd_ready());
    EXPECT_EQ(fw_runloop_perform(), 1);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(fd_ready());
    EXPECT_EQ(fw_runloop_next_timeout(), -1);
    CFRunLoopSourceSignal(s);
    CFRunLoopSourceSignal(s);  // two signals before a run: one perform
    EXPECT_EQ(fw_runloop_next_timeout(), 0);
    fw_runloop_perform();
    EXPECT_EQ(runs, 2);
    CFRunLoopSourceInvalidate(s);
    CFRunLoopSourceSignal(s);
    EXPECT_EQ(pump_now(), 0);
    EXPECT_FALSE(CFRunLoopContainsSource(CFRunLoopGetMain(), s, kCFRunLoopDefaultMode));
    CFRelease(s);
}

TEST(RunLoop, TimersRepeatAndOneShotsEnd) {
    FwClock clock;
    struct Count {
        int n = 0;
    } repeat, once;
    CFRunLoopTimerContext c1{0, &repeat, nullptr, nullptr, nullptr};
    CFRunLoopTimerContext c2{0, &once, nullptr, nullptr, nullptr};
    auto cb = [](CFRunLoopTimerRef, void *info) { ++static_cast<Count *>(info)->n; };
    CFRunLoopTimerRef r = CFRunLoopTimerCreate(nullptr, CFAbsoluteTimeGetCurrent() + 0.01, 0.01, 0, 0, cb, &c1);
    CFRunLoopTimerRef o = CFRunLoopTimerCreate(nullptr, CFAbsoluteTimeGetCurrent() + 0.01, 0, 0, 0, cb, &c2);
    CFRunLoopAddTimer(CFRunLoopGetMain(), r, kCFRunLoopCommonModes);
    CFRunLoopAddTimer(CFRunLoopGetMain(), o, kCFRunLoopCommonModes);
    EXPECT_EQ(CFGetRetainCount(r), 2);  // the loop holds one
    clock.run(9);
    EXPECT_EQ(repeat.n + once.n, 0);
    clock.run(21);  // at 10, 20 and 30 ms
    EXPECT_EQ(repeat.n, 3);
    EXPECT_EQ(once.n, 1);
    EXPECT_FALSE(CFRunLoopTimerIsValid(o));
    CFRunLoopTimerInvalidate(r);
    clock.run(40);
    EXPECT_EQ(repeat.n, 3);
    EXPECT_EQ(CFGetRetainCount(r), 1);
    CFRelease(r);
    CFRelease(o);
}

// Once the runtime has started, its clock is the platform's: moving a
// test's clock moves absolute time, the decks' clock and a wait on the run
// loop, which moves the clock on instead of waiting for it.
TEST(RunLoop, RunsOnTheRuntimesClock) {
    FwClock clock;
    double before = CFAbsoluteTimeGetCurrent();
    uint64_t ns = fw_clock_ns();
    clock.clock.advance(250);
    EXPECT_NEAR(CFAbsoluteTimeGetCurrent() - before, 0.25, 1e-6);
    EXPECT_EQ(fw_clock_ns() - ns, 250'000'000u);
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.5, 0), kCFRunLoopRunTimedOut);
    EXPECT_EQ(fw_clock_ns() - ns, 750'000'000u);
    fw_clock_wait(40);
    EXPECT_EQ(fw_clock_ns() - ns, 790'000'000u);
}

// A late loop runs a repeating timer once and skips the firings it missed.
TEST(RunLoop, ALateLoopSkipsTheMissedFirings) {
    FwClock clock;
    int n = 0;
    CFRunLoopTimerContext c{0, &n, nullptr, nullptr, nullptr};
    CFRunLoopTimerRef r = CFRunLoopTimerCreate(
        nullptr, CFAbsoluteTimeGetCurrent() + 0.01, 0.01, 0, 0,
        [](CFRunLoopTimerRef, void *info) { ++*static_cast<int *>(info); }, &c);
    CFRunLoopAddTimer(CFRunLoopGetMain(), r, kCFRunLoopCommonModes);
    clock.clock.advance(55);
    fw_runloop_perform();
    EXPECT_EQ(n, 1);
    EXPECT_NEAR(CFRunLoopTimerGetNextFireDate(r) - CFAbsoluteTimeGetCurrent(), 0.005, 1e-6);
    clock.run(5);
    EXPECT_EQ(n, 2);
    CFRunLoopTimerInvalidate(r);
    CFRelease(r);
}

// The run loop's one test on the machine's own clock.
TEST(RealTime, RunInModeWaitsAtMostItsTime) {
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.02, 0), kCFRunLoopRunTimedOut);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 15);
    EXPECT_LT(ms, 500);
}

}  // namespace
