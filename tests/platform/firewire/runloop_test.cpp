// The main run loop as the host drives it (fd + perform), CF timers and the
// Carbon event-loop idle timers on top of it.
#include "fw_test_util.h"

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
    EXPECT_EQ(RunCurrentEventLoop(0.001), noErr);
}

struct IdleLog {
    std::vector<int> messages;
    EventLoopTimerRef timer = nullptr;
    bool removeOnIdle = false;
};

void idle_proc(EventLoopTimerRef t, EventLoopIdleTimerMessage m, void *data) {
    auto *log = static_cast<IdleLog *>(data);
    log->messages.push_back(m);
    if (log->removeOnIdle && m == kEventLoopIdleTimerIdling) {
        RemoveEventLoopTimer(t);
        log->timer = nullptr;
    }
}

TEST(IdleTimer, StartsIdlesAndStopsOnUserActivity) {
    FwClock clock;
    IdleLog log;
    ASSERT_EQ(InstallEventLoopIdleTimer(GetMainEventLoop(), 0.02, 0.01, NewEventLoopIdleTimerUPP(idle_proc), &log,
                                        &log.timer),
              noErr);
    // The delay counts from the installation, then an interval each.
    clock.run(19);
    EXPECT_TRUE(log.messages.empty());
    clock.run(1);
    EXPECT_EQ(log.messages, (std::vector<int>{kEventLoopIdleTimerStarted}));
    clock.run(20);
    EXPECT_EQ(log.messages, (std::vector<int>{1, 2, 2}));
    log.messages.clear();
    fw_note_user_activity();
    clock.run(1);
    EXPECT_EQ(log.messages, (std::vector<int>{kEventLoopIdleTimerStopped}));
    clock.run(19);
    EXPECT_EQ(log.messages.size(), 1u);
    clock.run(1);  // idle again after the delay
    EXPECT_EQ(log.messages, (std::vector<int>{kEventLoopIdleTimerStopped, kEventLoopIdleTimerStarted}));
    EXPECT_EQ(RemoveEventLoopTimer(log.timer), noErr);
    log.messages.clear();
    clock.run(40);
    EXPECT_TRUE(log.messages.empty());
}

TEST(IdleTimer, NextFireTimeForeverSilencesAndRemovalInsideTheProcIsSafe) {
    FwClock clock;
    IdleLog quiet;
    ASSERT_EQ(InstallEventLoopIdleTimer(GetCurrentEventLoop(), 0.01, 0.01, idle_proc, &quiet, &quiet.timer), noErr);
    EXPECT_EQ(SetEventLoopTimerNextFireTime(quiet.timer, kEventDurationForever), noErr);
    IdleLog selfRemoving;
    selfRemoving.removeOnIdle = true;
    ASSERT_EQ(
        InstallEventLoopIdleTimer(GetCurrentEventLoop(), 0.005, 0.005, idle_proc, &selfRemoving, &selfRemoving.timer),
        noErr);
    clock.run(60);
    EXPECT_TRUE(quiet.messages.empty());
    EXPECT_EQ(selfRemoving.messages, (std::vector<int>{1, 2}));
    EXPECT_EQ(selfRemoving.timer, nullptr);
    EXPECT_EQ(RemoveEventLoopTimer(quiet.timer), noErr);
    EXPECT_EQ(RemoveEventLoopTimer(nullptr), paramErr);
}

TEST(EventLoopTimer, PlainTimerFiresOnce) {
    FwClock clock;
    int fired = 0;
    EventLoopTimerRef t = nullptr;
    ASSERT_EQ(
        InstallEventLoopTimer(
            GetMainEventLoop(), 0.005, 0, [](EventLoopTimerRef, void *d) { ++*static_cast<int *>(d); }, &fired, &t),
        noErr);
    clock.run(4);
    EXPECT_EQ(fired, 0);
    clock.run(36);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(RemoveEventLoopTimer(t), noErr);
}

}  // namespace
