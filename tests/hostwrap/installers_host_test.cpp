// Event handlers installed through the wrappers on the host runtime's own
// objects: they run when the host raises the event on that one object, and
// on no other.
#include "wrappers/wrappers.h"

#include "real_host_test.h"

#include <rb/object.h>
#include <rb/operator.h>
#include <rb/thread.h>
#include <rb/timer.h>
#include <rb/ui.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> gEvents;
std::vector<REALobject> gSelves;

// The host calls an instance handler with the object whose event it is.
template <const char *Name> void handler(REALobject self) {
    gEvents.push_back(Name);
    gSelves.push_back(self);
}
constexpr char kOwnAction[] = "own Action", kOwnClose[] = "own Close", kOwnRun[] = "own Run";
template <const char *Name> REALproc proc() { return reinterpret_cast<REALproc>(&handler<Name>); }

REALobjectStruct *objectOf(rb::Control *c) { return c->handle(); }

class Transport : public rb::Window {
public:
    Transport() : rb::Window("InstallersTransport", rb::WindowKind::Document, "Transport", 300, 120) {
        add(rb::ControlKind::PushButton, "play", {10, 20, 80, 22}).on("Action", [] {
            gEvents.push_back("play's own");
        });
        add(rb::ControlKind::PushButton, "stop", {100, 20, 80, 22}).on("Action", [] {
            gEvents.push_back("stop's own");
        });
    }
    void Close() override { gEvents.push_back("window's own Close"); }
};

class InstallersOnTheHost : public RealHostTest {
protected:
    void SetUp() override {
        RealHostTest::SetUp();
        gEvents.clear();
        gSelves.clear();
    }
    void TearDown() override {
        RealHostTest::TearDown();
        rb::collectClosedWindows();
    }
};

}  // namespace

TEST_F(InstallersOnTheHost, TimerActionRunsWhenTheTimerFires) {
    rb::ObjRef timer = rb::newTimer(1000), other = rb::newTimer(1000);
    XTimer t(timer.get()), u(other.get());
    EXPECT_EQ(t.action_handler(proc<kOwnAction>()), 1);
    for (XTimer x : {t, u}) {
        x.period(5);
        x.mode(1);  // once
    }
    rb::op::runFor(60);
    EXPECT_EQ(gEvents, std::vector<std::string>{"own Action"});  // the other timer has none
    EXPECT_EQ(gSelves, std::vector<REALobject>{timer.get()});
    EXPECT_TRUE(log().empty());
}

TEST_F(InstallersOnTheHost, PushButtonActionRunsOnTheOperatorsClick) {
    auto win = rb::newWindow<Transport>();
    XPushButton play(objectOf(win->control("play")));
    EXPECT_EQ(play.action_handler(proc<kOwnAction>()), 1);
    ASSERT_TRUE(rb::op::click("InstallersTransport", "play"));
    EXPECT_EQ(gEvents, std::vector<std::string>{"own Action"});
    EXPECT_EQ(gSelves, std::vector<REALobject>{objectOf(win->control("play"))});
    // The second button of the same class keeps its own handler.
    ASSERT_TRUE(rb::op::click("InstallersTransport", "stop"));
    EXPECT_EQ(gEvents, (std::vector<std::string>{"own Action", "stop's own"}));
    win->close();
}

TEST_F(InstallersOnTheHost, WindowCloseRunsWhenTheWindowCloses) {
    auto first = rb::newWindow<Transport>(), second = rb::newWindow<Transport>();
    XWindow w(reinterpret_cast<REALwindow>(first->handle()));
    EXPECT_EQ(w.close_handler(proc<kOwnClose>()), 1);
    first->close();
    EXPECT_EQ(gEvents, std::vector<std::string>{"own Close"});
    second->close();
    EXPECT_EQ(gEvents, (std::vector<std::string>{"own Close", "window's own Close"}));
}

TEST_F(InstallersOnTheHost, ThreadRunsTheInstalledBody) {
    rb::ObjRef thread = rb::newThread([](REALobject) { gEvents.push_back("class Run"); });
    XThread th(thread.get());
    EXPECT_EQ(th.runhandler(proc<kOwnRun>()), 1);
    th.run();
    rb::op::runFor(50);
    EXPECT_EQ(gEvents, std::vector<std::string>{"own Run"});
}

TEST_F(InstallersOnTheHost, ANilWrapperInstallsNothing) {
    XTimer none;
    XPushButton noButton;
    EXPECT_EQ(none.action_handler(proc<kOwnAction>()), 0);
    EXPECT_EQ(noButton.mousedown_handler(proc<kOwnAction>()), 0);
    EXPECT_EQ(X().InstallEventHandler(nullptr, proc<kOwnAction>()), 0);
    EXPECT_TRUE(log().empty());  // the host answered; nothing to report
    rb::op::runFor(10);
    EXPECT_TRUE(gEvents.empty());
}
