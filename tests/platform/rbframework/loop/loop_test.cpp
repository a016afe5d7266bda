// Event loop, timers and cooperative threads, on the injected clock; the
// RealTime tests (run serially, labelled "smoke") check the real one.
#include "test_clock.h"
#include "run_until.h"

#include <rb/backend.h>
#include <rb/exception.h>
#include <rb/loop.h>
#include <rb/runtime.h>
#include <rb/thread.h>
#include <rb/timer.h>
#include <rb/ui.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sstream>
#include <string>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What the loop reports on standard error meanwhile, a line each.
class Reports {
public:
    Reports() { ::testing::internal::CaptureStderr(); }
    ~Reports() {
        if (!read_) ::testing::internal::GetCapturedStderr();
    }
    std::vector<std::string> seen() {
        read_ = true;
        std::istringstream said(::testing::internal::GetCapturedStderr());
        std::vector<std::string> lines;
        for (std::string line; std::getline(said, line);) lines.push_back(line);
        return lines;
    }

private:
    bool read_ = false;
};

TEST(Loop, PostedWorkFromAnyThreadRunsOnTheMainThread) {
    auto main = std::this_thread::get_id();
    std::thread::id ranOn;
    std::thread other([&] { rb::post([&] { ranOn = std::this_thread::get_id(); }); });
    other.join();
    rb::runFor(20);
    EXPECT_EQ(ranOn, main);
}

TEST(Loop, SourcesFireWhenReadyAndCanBeRemoved) {
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    int fired = 0;
    short got = 0;
    rb::addSource(p[0], POLLIN, [&](short rev) {
        char c;
        (void)!read(p[0], &c, 1);
        got = rev;
        ++fired;
    });
    rb::runFor(10);
    EXPECT_EQ(fired, 0);
    (void)!write(p[1], "x", 1);
    rb::runFor(10);
    EXPECT_EQ(fired, 1);
    EXPECT_TRUE(got & POLLIN);
    rb::removeSource(p[0]);
    (void)!write(p[1], "x", 1);
    rb::runFor(10);
    EXPECT_EQ(fired, 1);
    close(p[0]);
    close(p[1]);
}

TEST(Loop, TimedCallsRunInOrderOnTimeAndCanBeCancelled) {
    TestClock clock;
    int64_t start = clock.nowMs();
    std::vector<int64_t> at;
    rb::postAfter(30, [&] { at.push_back(clock.nowMs() - start); });
    rb::postAfter(10, [&] { at.push_back(clock.nowMs() - start); });
    uint64_t dropped = rb::postAfter(20, [&] { at.push_back(-1); });
    rb::cancel(dropped);
    rb::cancel(dropped);  // twice is harmless
    clock.run(9);
    EXPECT_TRUE(at.empty()) << "nothing is due before its time";
    clock.run(51);
    EXPECT_EQ(at, (std::vector<int64_t>{10, 30}));
}

// Work that can wait rides on a pass other work brings, and wakes the loop
// itself only once its slack is out. How long one pass sleeps is what is
// looked at, so the machine's clock runs it.
TEST(Loop, WorkThatCanWaitRidesOnAPassOtherWorkBrings) {
    std::vector<int> ran;
    rb::postAfterLoosely(5, 200, [&] { ran.push_back(1); });
    rb::postAfter(30, [&] { ran.push_back(2); });
    rb::runOnce(1000);  // one pass, which sleeps until the second is due
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    // Alone, it wakes the loop once its slack is out, long before a call
    // due much later.
    rb::postAfterLoosely(5, 20, [&] { ran.push_back(3); });
    uint64_t later = rb::postAfter(5000, [&] { ran.push_back(4); });
    rb::runOnce(-1);
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    rb::cancel(later);
}

TEST(Loop, EscapingExceptionsAreReportedAndTheLoopGoesOn) {
    Reports r;
    bool after = false;
    rb::post([] { rb::raise("NilObjectException", "no deck"); });
    rb::post([] { rb::setPending(rb::newException("RuntimeException", "left pending", 1).get()); });
    rb::post([] { throw std::runtime_error("plain"); });
    rb::post([&] { after = true; });
    rb::runFor(20);
    EXPECT_TRUE(after);
    std::vector<std::string> seen = r.seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], "An exception of class NilObjectException was not handled: no deck");
    EXPECT_EQ(seen[1], "An exception of class RuntimeException was not handled: left pending");
    EXPECT_NE(seen[2].find("was not handled: plain"), std::string::npos);
    EXPECT_FALSE(rb::hasPending());
}

TEST(Loop, TicksFollowTheInjectedClock) {
    TestClock clock;
    int64_t t0 = rb::Ticks();
    clock.advance(500);  // half a second
    EXPECT_EQ(rb::Ticks() - t0, 30);
}

// runFor moves the injected clock itself, a millisecond between passes:
// what falls due runs at its time, and the run ends when the clock says.
TEST(Loop, RunForRunsOnTheInjectedClock) {
    TestClock clock;
    int64_t start = clock.nowMs();
    std::vector<int64_t> at;
    rb::postAfter(500, [&] { at.push_back(clock.nowMs() - start); });
    uint64_t later = rb::postAfter(1500, [&] { at.push_back(clock.nowMs() - start); });
    rb::runFor(1200);
    EXPECT_EQ(clock.nowMs() - start, 1200);
    EXPECT_EQ(at, (std::vector<int64_t>{500}));
    rb::runFor(0);  // one pass, the clock standing
    EXPECT_EQ(clock.nowMs() - start, 1200);
    rb::cancel(later);
}

// runUntil gives up when the runtime's clock is past the time allowed.
TEST(Loop, RunUntilWaitsOnTheInjectedClock) {
    TestClock clock;
    int64_t start = clock.nowMs();
    bool due = false;
    rb::postAfter(3000, [&] { due = true; });
    EXPECT_TRUE(runUntil([&] { return due; }, 10s));
    EXPECT_EQ(clock.nowMs() - start, 3000);
    EXPECT_FALSE(runUntil([] { return false; }, 20ms));
    EXPECT_GE(clock.nowMs() - start, 3020);
}

TEST(Loop, RunEndsWithTheQuitCode) {
    RuntimeInit();
    rb::postAfter(10, [] { rb::quit(3); });
    EXPECT_EQ(RuntimeRun(), 3);
    EXPECT_EQ(RuntimeExit(), 3);
}

// ---- timers ----------------------------------------------------------------------

TEST(Timers, RepeatingTimerFiresAtItsPeriod) {
    TestClock clock;
    int64_t start = clock.nowMs();
    std::vector<int64_t> at;
    rb::ObjRef t = rb::newTimer(20, [&](REALobject) { at.push_back(clock.nowMs() - start); });
    EXPECT_TRUE(rb::setPropValue(t.get(), "Mode", int64_t(rb::TimerMultiple)));
    clock.run(250);
    rb::setTimerMode(t.get(), rb::TimerOff);
    clock.run(50);
    EXPECT_EQ(at, (std::vector<int64_t>{20, 40, 60, 80, 100, 120, 140, 160, 180, 200, 220, 240}));
}

TEST(Timers, ALateLoopCatchesUpWithoutABurst) {
    TestClock clock;
    int64_t start = clock.nowMs();
    std::vector<int64_t> at;
    rb::ObjRef t = rb::newTimer(20, [&](REALobject) { at.push_back(clock.nowMs() - start); });
    rb::setTimerMode(t.get(), rb::TimerMultiple);
    clock.advance(75);  // the loop was held up for three periods and more
    rb::runOnce(0);
    clock.run(30);
    rb::setTimerMode(t.get(), rb::TimerOff);
    EXPECT_EQ(at, (std::vector<int64_t>{75, 95})) << "one late firing, then the period from there";
}

TEST(Timers, SingleModeFiresOnceAndTurnsItselfOff) {
    TestClock clock;
    int fired = 0;
    rb::ObjRef t = rb::newTimer(10, [&](REALobject) { ++fired; });
    rb::setTimerMode(t.get(), rb::TimerSingle);
    clock.run(60);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(std::get<int64_t>(rb::getPropValue(t.get(), "Mode")), rb::TimerOff);
    EXPECT_EQ(rb::refCount(t.get()), 1);
}

TEST(Timers, NamedActionHandlerServesASubclass) {
    rb::ClassInfo *cls = rb::defineSubclass("PollTimer", rb::timerClass());
    int fired = 0;
    rb::setNamedHandler(cls, "Action", [&](REALobject) { ++fired; });
    rb::ObjRef t = rb::make(cls);
    TestClock clock;
    rb::setTimerPeriod(t.get(), 10);
    rb::setTimerMode(t.get(), rb::TimerSingle);
    clock.run(40);
    EXPECT_EQ(fired, 1);
}

bool gFreed = false;
struct Watch {
    ~Watch() { gFreed = true; }
};

TEST(Timers, TimerKeptOnlyByItselfFiresUntilTurnedOff) {
    rb::ClassInfo *cls = rb::defineClass<Watch>("WatchedTimer", rb::timerClass());
    ASSERT_NE(cls, nullptr);
    gFreed = false;
    int fired = 0;
    rb::setNamedHandler(cls, "Action", [&](REALobject self) {
        if (++fired == 5) rb::setPropValue(self, "Mode", int64_t(0));  // turns itself off
    });
    TestClock clock;
    {
        rb::ObjRef t = rb::make(cls);
        rb::setTimerPeriod(t.get(), 10);
        rb::setTimerMode(t.get(), rb::TimerMultiple);
        EXPECT_EQ(rb::refCount(t.get()), 2);
    }
    EXPECT_FALSE(gFreed);
    clock.run(150);
    EXPECT_EQ(fired, 5);
    EXPECT_TRUE(gFreed) << "turned off, nobody holds it";
}

// ---- threads ---------------------------------------------------------------------

TEST(Threads, InterleaveOnlyAtYields) {
    std::vector<std::string> log;
    auto body = [&log](const char *name) {
        return [&log, name](REALobject) {
            for (int i = 0; i < 4; ++i) {
                log.push_back(std::string(name) + std::to_string(i) + "a");
                std::this_thread::sleep_for(std::chrono::milliseconds(1));  // no switch here
                log.push_back(std::string(name) + std::to_string(i) + "b");
                rb::yield();
            }
        };
    };
    rb::ObjRef a = rb::newThread(body("A")), b = rb::newThread(body("B"));
    rb::startThread(a.get());
    rb::startThread(b.get());
    EXPECT_EQ(rb::threadState(a.get()), rb::ThreadState::Running);
    EXPECT_TRUE(log.empty()) << "nothing runs while the main thread holds the baton";
    rb::runFor(100);
    std::vector<std::string> want;
    for (int i = 0; i < 4; ++i)
        for (const char *n : {"A", "B"}) {
            want.push_back(n + std::to_string(i) + "a");
            want.push_back(n + std::to_string(i) + "b");
        }
    EXPECT_EQ(log, want);
    EXPECT_EQ(rb::threadState(a.get()), rb::ThreadState::Done);
    EXPECT_EQ(rb::refCount(a.get()), 1) << "the finished thread let its object go";
}

// A thread that sleeps 100 ms on the test's clock, started, and asleep.
class SleepingThread : public ::testing::Test {
protected:
    void SetUp() override {
        rb::startThread(thread.get());
        ASSERT_TRUE(runUntil([&] { return state() == rb::ThreadState::Sleeping; }, 5s));
    }
    rb::ThreadState state() const { return rb::threadState(thread.get()); }

    TestClock clock;
    std::atomic<int64_t> wokeAt{-1};  // the clock's time when it woke
    int64_t start = clock.nowMs();
    rb::ObjRef thread = rb::newThread([this](REALobject) {
        rb::sleep(100);
        wokeAt = clock.nowMs();
    });
};

TEST_F(SleepingThread, WakesOnTime) {
    clock.run(99);
    for (int i = 0; i < 20; ++i) rb::runOnce(0);
    EXPECT_EQ(state(), rb::ThreadState::Sleeping) << "not before its time";
    clock.advance(1);
    EXPECT_TRUE(runUntil([&] { return state() == rb::ThreadState::Done; }, 5s));
    EXPECT_EQ(wokeAt - start, 100);
}

// While the main thread works outside the loop (a toolkit building a
// window) no pass wakes a sleeper: it wakes itself at its time.
TEST_F(SleepingThread, WakesOnTimeWhileTheMainThreadIsAwayFromTheLoop) {
    auto woken = [&] {
        for (int i = 0; i < 5000 && wokeAt < 0; ++i) std::this_thread::sleep_for(1ms);
        return wokeAt >= 0;
    };
    {
        rb::AwayFromLoop busy;
        clock.advance(99);
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(wokeAt, -1) << "not before its time";
        clock.advance(1);
        EXPECT_TRUE(woken()) << "at " << clock.nowMs() - start << " ms, the thread in state " << int(state());
    }
    EXPECT_EQ(wokeAt - start, 100);
    EXPECT_EQ(state(), rb::ThreadState::Done);
    rb::runOnce(0);  // which joins it
}

// A thread that yields has its next turn before the loop's next pass, however
// late the machine schedules it: on a moving clock a turn missed is time
// lost to it. The machine is made to schedule it as late as can be: it
// shares one processor with the main thread, at the idle priority, so that
// the main thread runs the moment the yield lets it, and the yielding
// thread only once the main thread waits.
TEST(Threads, AYieldingThreadHasATurnInEveryLoopPass) {
    TestClock clock;
    cpu_set_t all, one;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    CPU_ZERO(&one);
    for (int c = 0; c < CPU_SETSIZE; ++c)
        if (CPU_ISSET(c, &all)) {
            CPU_SET(c, &one);
            break;
        }
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    int turns = 0;
    bool stop = false;
    rb::ObjRef t = rb::newThread([&](REALobject) {
        sched_param idle{};
        pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
        while (!stop) {
            ++turns;
            rb::yield();
        }
    });
    rb::startThread(t.get());
    rb::runOnce(0);
    int missed = 0;
    for (int pass = 0; pass < 200; ++pass) {
        int before = turns;
        rb::runOnce(0);
        missed += turns == before;
    }
    stop = true;
    EXPECT_EQ(missed, 0);
    EXPECT_TRUE(runUntil([&] { return rb::threadState(t.get()) == rb::ThreadState::Done; }, 5s));
    sched_setaffinity(0, sizeof all, &all);
}

TEST(Threads, ShutdownStopsAndJoinsThreads) {
    int passes = 0;
    bool unwound = false;
    rb::ObjRef spinner = rb::newThread([&](REALobject) {
        struct Guard {
            bool &flag;
            ~Guard() { flag = true; }
        } g{unwound};
        for (;;) {
            ++passes;
            rb::yield();
        }
    });
    // The clock never moves: only the shutdown can wake the sleeper.
    TestClock clock;
    rb::ObjRef sleeper = rb::newThread([](REALobject) { rb::sleep(1000); });
    rb::startThread(spinner.get());
    rb::startThread(sleeper.get());
    ASSERT_TRUE(
        runUntil([&] { return passes > 0 && rb::threadState(sleeper.get()) == rb::ThreadState::Sleeping; }, 5s));
    rb::shutdown();
    EXPECT_TRUE(unwound);
    EXPECT_EQ(rb::threadState(spinner.get()), rb::ThreadState::Done);
    EXPECT_EQ(rb::threadState(sleeper.get()), rb::ThreadState::Done);
    EXPECT_EQ(rb::refCount(spinner.get()), 1);
}

TEST(Threads, ExceptionInABodyIsReported) {
    Reports r;
    rb::ObjRef t = rb::newThread([](REALobject) { rb::raise("RuntimeException", "capture failed"); });
    rb::startThread(t.get());
    rb::runFor(30);
    EXPECT_EQ(r.seen(),
              std::vector<std::string>{"An exception of class RuntimeException was not handled: capture failed"});
}

}  // namespace

// ---- the real clock ----------------------------------------------------------------

// Timers and sleeps on the machine's own clock, with bounds loose enough for
// a busy machine.
TEST(RealTime, TimersAndSleepsFollowTheMachineClock) {
    int64_t slept = -1;
    rb::ObjRef th = rb::newThread([&](REALobject) {
        int64_t t0 = nowMs();
        rb::sleep(100);
        slept = nowMs() - t0;
    });
    rb::startThread(th.get());
    // Started after the thread, which may take a while to make (under a
    // sanitizer): the timer counts the 300 ms of the run.
    int fired = 0;
    rb::ObjRef t = rb::newTimer(20, [&](REALobject) { ++fired; });
    rb::setTimerMode(t.get(), rb::TimerMultiple);
    int64_t a = rb::Ticks();
    rb::runFor(300);
    rb::setTimerMode(t.get(), rb::TimerOff);
    EXPECT_GE(fired, 5);
    EXPECT_LE(fired, 15);
    EXPECT_GE(slept, 100);
    EXPECT_GE(rb::Ticks() - a, 15);
}

// The machine's clock takes the path the injected one does: the loop's
// pass wakes a sleeper when its time comes and lets it run before it ends.
TEST(RealTime, ALoopPassWakesASleeperAndLetsItRunFirst) {
    bool woke = false;
    rb::ObjRef th = rb::newThread([&](REALobject) {
        rb::sleep(20);
        woke = true;
        rb::sleep(60'000);
    });
    rb::startThread(th.get());
    ASSERT_TRUE(runUntilStill([&] { return rb::threadState(th.get()) == rb::ThreadState::Sleeping; }, 5s));
    // Nothing else to wait for: only the sleeper's time ends the wait (a
    // post far later ends it should it not).
    std::mutex m;
    std::condition_variable cv;
    bool returned = false;
    std::thread late([&] {
        std::unique_lock lk(m);
        if (!cv.wait_for(lk, 10s, [&] { return returned; })) rb::post([] {});
    });
    int64_t t0 = nowMs();
    rb::runOnce(-1);
    int64_t waited = nowMs() - t0;
    {
        std::lock_guard lk(m);
        returned = true;
    }
    cv.notify_all();
    late.join();
    EXPECT_TRUE(woke) << "the woken thread runs within the pass";
    EXPECT_LT(waited, 5000);
    rb::shutdown();
}

// A thread waiting for a dialog's answer waits without a deadline: while the
// main thread is away from the loop (GTK building a chooser) it sleeps, and
// takes none of the processor's time.
TEST(RealTime, AThreadWaitingForADialogTakesNoProcessorTimeWhileTheMainThreadIsAway) {
    struct AwayWhileAsked : rb::HeadlessBackend {
        rb::DialogAnswer ask(const rb::DialogRequest &r) override {
            rb::AwayFromLoop gtkAtWork;
            std::this_thread::sleep_for(300ms);
            return rb::defaultAnswer(r);
        }
    };
    auto threadCpuUs = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return int64_t(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
    };
    rb::setBackend(std::make_unique<AwayWhileAsked>());
    std::atomic<int64_t> cpuUs{-1};
    rb::ObjRef t = rb::newThread([&](REALobject) {
        int64_t before = threadCpuUs();
        rb::msgBox("asked from a thread");
        cpuUs = threadCpuUs() - before;
    });
    rb::startThread(t.get());
    bool answered = runUntilStill([&] { return cpuUs >= 0; }, 10s);
    rb::setBackend(nullptr);
    ASSERT_TRUE(answered);
    EXPECT_LT(cpuUs, 20'000) << "microseconds of the thread's, over 300 ms away";
}
