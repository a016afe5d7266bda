// Timers, threads and the application object by resolver name, and the
// handlers plug-ins install on single objects.
#include "run_until.h"
#include "host_service.h"
#include "test_clock.h"

#include <rb/exception.h>
#include <rb/loop.h>
#include <rb/object.h>
#include <rb/plugins.h>
#include <rb/string.h>
#include <rb/thread.h>
#include <rb/timer.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace rb;
using namespace std::chrono_literals;

namespace {

using IntGet = int32_t(REALobject, int32_t);
using IntSet = void(REALobject, int32_t, int32_t);
using Install = int32_t(REALobject, REALstring, void (*)());

std::vector<std::string> gSeen;
extern "C" void ownHandler(REALobject) { gSeen.push_back("own"); }

TEST(TimerMembers, ModePeriodAndEnabledBySelector) {
    TestClock clock;
    int fired = 0;
    ObjRef t = newTimer(10, [&](REALobject) { ++fired; });
    auto get = service<IntGet>("intGetter");
    service<IntSet>("timerPeriodSetter")(t.get(), 32, 20);
    service<IntSet>("timerModeSetter")(t.get(), 28, TimerMultiple);
    EXPECT_EQ(get(t.get(), 28), TimerMultiple);
    EXPECT_EQ(get(t.get(), 32), 20);
    EXPECT_EQ(get(t.get(), 40), 1);
    runFor(70);
    EXPECT_EQ(fired, 3);
    service<IntSet>("intSetter")(t.get(), 40, 0);  // disabled: keeps its mode, stops firing
    EXPECT_EQ(get(t.get(), 40), 0);
    EXPECT_EQ(get(t.get(), 28), TimerMultiple);
    EXPECT_EQ(refCount(t.get()), 1);  // it no longer holds itself
    int before = fired;
    runFor(60);
    EXPECT_EQ(fired, before);
    service<IntSet>("intSetter")(t.get(), 40, 1);
    service<void(REALobject)>("RuntimeTimerReset")(t.get());
    runFor(50);
    EXPECT_GT(fired, before);
    setTimerMode(t.get(), TimerOff);
    service<void(REALobject)>("RuntimeTimerReset")(nullptr);
}

TEST(TimerMembers, InstanceHandlerFiresInPlaceOfTheAction) {
    TestClock clock;
    gSeen.clear();
    int action = 0;
    ObjRef t = newTimer(5, [&](REALobject) { ++action; });
    String name("Action");
    EXPECT_EQ(service<Install>("RuntimeInstallInstanceEventHandler")(t.get(), name.get(),
                                                                     reinterpret_cast<void (*)()>(&ownHandler)),
              1);
    setTimerMode(t.get(), TimerSingle);
    runFor(40);
    EXPECT_EQ(gSeen, std::vector<std::string>{"own"});
    EXPECT_EQ(action, 0);
}

TEST(InstanceHandlers, AskedBeforeTheClassHandlerAndDroppedWithTheObject) {
    ClassInfo *cls = defineSubclass("HandlerTestTimer", timerClass());
    ASSERT_NE(cls, nullptr);
    setNamedHandler(cls, "Tick", [](REALobject) { gSeen.push_back("class"); });
    gSeen.clear();
    REALobject a = newObject(cls), b = newObject(cls);
    String tick("TICK");
    auto install = service<Install>("RuntimeInstallInstanceEventHandler");
    EXPECT_EQ(install(a, tick.get(), reinterpret_cast<void (*)()>(&ownHandler)), 1);
    EXPECT_TRUE(raiseNamedEvent(a, "Tick"));
    EXPECT_TRUE(raiseNamedEvent(b, "Tick"));
    EXPECT_EQ(gSeen, (std::vector<std::string>{"own", "class"}));
    release(a);
    // A new object at the same address starts without the old one's handler.
    REALobject c = newObject(cls);
    gSeen.clear();
    EXPECT_TRUE(raiseNamedEvent(c, "Tick"));
    EXPECT_EQ(gSeen, std::vector<std::string>{"class"});
    EXPECT_EQ(instanceHandler(c, "Tick"), nullptr);
    release(c);
    release(b);
}

TEST(InstanceHandlers, PluginEventsAskTheObjectFirst) {
    ASSERT_TRUE(loadPlugin(std::string(TEST_PLUGIN_DIR) + "/testplugin.so").ok);
    ClassInfo *plug = findClass("Widget");
    ASSERT_NE(plug, nullptr);
    ASSERT_FALSE(plug->events.empty());
    ClassInfo *sub = defineSubclass("WidgetWithOwnHandlers", plug);
    ASSERT_NE(sub, nullptr);
    void *own = reinterpret_cast<void *>(&ownHandler);
    std::vector<void *> handlers(plug->events.size(), nullptr);
    int dummy = 0;
    handlers[0] = &dummy;  // the subclass's own handler of the first event
    setEventHandlers(sub, handlers);
    REALobject o = newObject(sub);
    intptr_t token = plug->events[0].token;
    auto get = service<void *(REALobject, intptr_t)>("GetEventInstance");
    EXPECT_EQ(get(o, token), &dummy);
    std::string name = plug->events[0].declaration.substr(0, plug->events[0].declaration.find('('));
    String ev(name);
    service<Install>("RuntimeInstallInstanceEventHandler")(o, ev.get(), reinterpret_cast<void (*)()>(own));
    EXPECT_EQ(get(o, token), own);
    release(o);
}

TEST(ThreadMembers, StatePriorityAndRunByName) {
    ObjRef th = newThread([](REALobject self) {
        gSeen.push_back(currentThreadObject() == self ? "current" : "other");
        REALobject cur = service<REALobject(REALobject)>("REALGetCurrentThread")(applicationObject());
        gSeen.push_back(cur == self ? "found" : "lost");
        release(cur);
    });
    gSeen.clear();
    EXPECT_EQ(service<IntGet>("ThreadGetState")(th.get(), 0), int32_t(ThreadState::NotStarted));
    service<IntSet>("ThreadSetPriority")(th.get(), 0, 7);
    EXPECT_EQ(service<IntGet>("ThreadGetPriority")(th.get(), 0), 7);
    service<void(REALobject)>("threadRun")(th.get());
    runUntil([&] { return threadState(th.get()) == ThreadState::Done; }, 500ms);
    EXPECT_EQ(service<IntGet>("ThreadGetState")(th.get(), 0), int32_t(ThreadState::Done));
    EXPECT_EQ(gSeen, (std::vector<std::string>{"current", "found"}));
    EXPECT_EQ(service<REALobject(REALobject)>("REALGetCurrentThread")(nullptr), nullptr);  // main thread
    service<void(REALobject)>("threadRun")(nullptr);
    ObjRef notThread = make("Timer");
    service<void(REALobject)>("threadRun")(notThread.get());
}

TEST(ThreadMembers, RunHandlerOfTheObjectComesFirst) {
    bool body = false;
    ObjRef th = newThread([&](REALobject) { body = true; });
    String run("Run");
    service<Install>("RuntimeInstallInstanceEventHandler")(th.get(), run.get(),
                                                           reinterpret_cast<void (*)()>(&ownHandler));
    gSeen.clear();
    startThread(th.get());
    runUntil([&] { return threadState(th.get()) == ThreadState::Done; }, 500ms);
    EXPECT_EQ(gSeen, std::vector<std::string>{"own"});
    EXPECT_FALSE(body);
}

TEST(AppMembers, ObjectAndEvents) {
    REALobject app = service<REALobject()>("getAppObject")();
    EXPECT_EQ(app, applicationObject());
    bool ran = false;
    post([&] { ran = true; });
    service<void(REALobject, int32_t)>("RuntimeDoEvents")(app, -1);
    EXPECT_TRUE(ran);
    service<void(REALobject)>("YieldToNextThread")(app);  // nothing else to run
}

}  // namespace
