// The Carbon services: the Frameworks folder and System.framework, Gestalt,
// DebugStr, and the event-loop (idle) timers on the main run loop.
#include "run_loop_clock.h"

#include <Carbon/Carbon.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

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

TEST(Frameworks, SystemFrameworkResolvesPrintAndIdleTimerMaker) {
    setenv("TAVRIN_FRAMEWORKS_DIR", FW_FRAMEWORKS_DIR, 1);
    FSRef ref;
    ASSERT_EQ(FSFindFolder(kOnAppropriateDisk, kFrameworksFolderType, 1, &ref), noErr);
    CFURLRef folder = CFURLCreateFromFSRef(nullptr, &ref);
    CFURLRef url = CFURLCreateCopyAppendingPathComponent(nullptr, folder, CFSTR("System.framework"), 0);
    CFBundleRef b = CFBundleCreate(nullptr, url);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(CFBundleLoadExecutable(b));
    EXPECT_NE(CFBundleGetFunctionPointerForName(b, CFSTR("printf")), nullptr);
    void *maker = CFBundleGetFunctionPointerForName(b, CFSTR("NewEventLoopIdleTimerUPP"));
    EXPECT_EQ(maker, reinterpret_cast<void *>(&NewEventLoopIdleTimerUPP));
    CFRelease(b);
    CFRelease(url);
    CFRelease(folder);
    unsetenv("TAVRIN_FRAMEWORKS_DIR");
}

TEST(Frameworks, FolderIsCreatedOnlyWhenAsked) {
    char tmpl[] = "/tmp/fwtestXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string dir = std::string(tmpl) + "/Library/Frameworks";
    setenv("TAVRIN_FRAMEWORKS_DIR", dir.c_str(), 1);
    FSRef ref;
    EXPECT_EQ(FSFindFolder(kUserDomain, kFrameworksFolderType, 0, &ref), fnfErr);
    ASSERT_EQ(FSFindFolder(kUserDomain, kFrameworksFolderType, 1, &ref), noErr);
    EXPECT_EQ(std::string(ref.path), dir);
    EXPECT_EQ(FSFindFolder(kUserDomain, FW_FOURCC("pref"), 1, &ref), fnfErr);
    unsetenv("TAVRIN_FRAMEWORKS_DIR");
    std::string cleanup = "rm -rf " + std::string(tmpl);
    EXPECT_EQ(std::system(cleanup.c_str()), 0);
}

TEST(Carbon, GestaltAnswersSystemVersionUnlessMadeToFail) {
    SInt32 v = 0;
    ASSERT_EQ(Gestalt(gestaltSystemVersion, &v), noErr);
    EXPECT_EQ(v, 0x1048);
    EXPECT_EQ(Gestalt(FW_FOURCC("xxxx"), &v), gestaltUndefSelectorErr);
    fw_gestalt_fail(-1);
    v = 7;
    EXPECT_EQ(Gestalt(gestaltSystemVersion, &v), -1);
    EXPECT_EQ(v, 7);
    fw_gestalt_fail(0);
    EXPECT_EQ(Gestalt(gestaltSystemVersion, &v), noErr);
}

TEST(Carbon, DebugStrHandsTheLengthPrefixedTextToTheHook) {
    std::string got;
    fw_set_debugstr_hook([](const char *t, size_t n, void *ctx) { static_cast<std::string *>(ctx)->assign(t, n); },
                         &got);
    Str255 s;
    s[0] = 255;
    for (int i = 1; i <= 255; ++i) s[i] = static_cast<unsigned char>('a' + i % 26);
    DebugStr(s);
    EXPECT_EQ(got.size(), 255u);
    EXPECT_EQ(got[0], 'b');
    const unsigned char empty[1] = {0};
    DebugStr(empty);
    EXPECT_EQ(got, "");
    fw_set_debugstr_hook(nullptr, nullptr);
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

// Carbon's event loop on the machine's own clock.
TEST(RealTime, RunCurrentEventLoopWaitsAndReturns) {
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(RunCurrentEventLoop(0.02), noErr);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(ms, 500);
}

}  // namespace
