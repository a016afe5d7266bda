// Modal dialogs wait in the runtime's loop: timers go on while a dialog is
// open, a quit closes it, dialogs nest, and a window closed under one stays
// alive until the dialog is done. Also the window without a close box.
#include <rb/loop.h>
#include <rb/operator.h>
#include <rb/thread.h>
#include <rb/ui.h>

#include "operator_fixture.h"
#include "pacer.h"
#include "test_clock.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace rb;

namespace {

struct Plain : Window {
    static int alive;
    Plain() : Window("Plain", WindowKind::Document, "Plain", 200, 100) { ++alive; }
    ~Plain() override { --alive; }
};
int Plain::alive = 0;

class ModalLoop : public OperatorTest {
protected:
    TestClock clock;
    Pacer pacer{clock};
};

Answer after(int ms, Answer a) {
    a.afterMs = ms;
    return a;
}

TEST_F(ModalLoop, ADialogThatTakesTimeRunsTheLoopMeanwhile) {
    int fired = 0;
    uint64_t timer = 0;
    std::function<void()> every50 = [&] {
        ++fired;
        timer = postAfter(50, every50);
    };
    timer = postAfter(50, every50);
    op::answerNext(after(3000, {Answer::Folder, "/tmp"}));
    int64_t opened = clock.nowMs();
    std::shared_ptr<FolderItem> chosen = selectFolderDialog("Choose");
    ASSERT_NE(chosen, nullptr);
    cancel(timer);
    EXPECT_NEAR(double(clock.nowMs() - opened), 3000, 1);  // answered on time, not before
    EXPECT_EQ(fired, 60);                                  // the timer ran all along
    ASSERT_EQ(op::shown().size(), 1u);
    EXPECT_EQ(op::shown()[0].answer.path, "/tmp");
}

TEST_F(ModalLoop, AQuitWhileADialogIsOpenClosesItAsCancelled) {
    struct App : Application {
    } app;
    app.start();
    implicitInstance<Plain>().show();
    op::answerNext(after(3000, {Answer::Button, "Go"}));
    postAfter(1000, [&app] { app.quit(0); });
    MessageDialog d;
    d.message = "Go on?";
    d.actionCaption = "Go";
    d.cancelCaption = "Stop";
    int64_t opened = clock.nowMs();
    // Neither of its buttons: its caller is told that a quit closed it.
    EXPECT_EQ(d.showModal(), "");
    EXPECT_LT(clock.nowMs() - opened, 1100);
    EXPECT_TRUE(app.quitting());
    EXPECT_TRUE(windows().empty());
    ASSERT_EQ(op::shown().size(), 1u);
    EXPECT_TRUE(op::shown()[0].answer.dismissed);
    // A file dialog closed by the quit chooses nothing, and says why.
    op::answerNext(after(3000, {Answer::File, "/tmp/x"}));
    bool dismissed = false;
    EXPECT_EQ(saveFileDialog("Save", "", "Save", {}, &dismissed), nullptr);
    EXPECT_TRUE(dismissed);
    op::answerNext(after(3000, {Answer::OK, {}}));
    EXPECT_FALSE(msgBox("closed by the quit"));
}

// A person's answers are not taken for a quit's.
TEST_F(ModalLoop, DialogsAnsweredByAPersonAreNotDismissed) {
    op::answerNext(after(100, {Answer::Cancel, {}}));
    bool dismissed = true;
    EXPECT_EQ(selectFolderDialog("Choose", &dismissed), nullptr);
    EXPECT_FALSE(dismissed);
    op::answerNext(after(100, {Answer::OK, {}}));
    EXPECT_TRUE(msgBox("read"));
    MessageDialog d;
    d.cancelCaption = "Cancel";
    op::answerNext(after(100, {Answer::Cancel, {}}));
    EXPECT_EQ(d.showModal(), "Cancel");
}

// A quit that waits for a cooperative thread (a capture saving its frames)
// still closes the dialog that thread waits on, or each would wait for the
// other; a dialog of the main thread stays until the quit goes ahead.
TEST_F(ModalLoop, AQuitClosesTheDialogACooperativeThreadWaitsOnEvenWhenItWaitsForThatThread) {
    struct App : Application {
        bool threadDone = false;
        bool CancelClose() override { return !threadDone; }
    } app;
    app.start();
    op::answerNext(after(60000, {Answer::OK, {}}));
    bool threadAnswered = false, personAnswered = true;
    ObjRef t = newThread([&](REALobject) {
        personAnswered = msgBox("from the thread");
        threadAnswered = true;
        app.threadDone = true;
        post([&app] { app.quit(0); });
    });
    startThread(t.get());
    int64_t start = clock.nowMs();
    postAfter(1000, [&app] { app.quit(0); });
    while (!app.quitting() && clock.nowMs() - start < 10000) runOnce(5);
    EXPECT_TRUE(threadAnswered);
    EXPECT_FALSE(personAnswered);
    EXPECT_TRUE(app.quitting());
    // Closed by the quit, long before its own answer was due.
    EXPECT_LT(clock.nowMs() - start, 30000);
}

TEST_F(ModalLoop, ADialogOpenedFromInsideADialogIsAnsweredFirst) {
    std::vector<std::string> returned;
    op::answerNext(after(3000, {Answer::Button, "Outer"}));
    op::answerNext(after(500, {Answer::Button, "Inner"}));
    postAfter(1000, [&] {
        MessageDialog inner;
        inner.message = "inner";
        std::string got = inner.showModal();
        returned.push_back(got + " at " + std::to_string(clock.nowMs()));
    });
    int64_t start = clock.nowMs();
    MessageDialog outer;
    outer.message = "outer";
    std::string got = outer.showModal();
    returned.push_back(got + " at " + std::to_string(clock.nowMs()));
    // Each comes when its own time is up (or the pass after).
    ASSERT_EQ(returned.size(), 2u);
    EXPECT_TRUE(returned[0] == "Inner at " + std::to_string(start + 1500) ||
                returned[0] == "Inner at " + std::to_string(start + 1501))
        << returned[0];
    EXPECT_TRUE(returned[1] == "Outer at " + std::to_string(start + 3000) ||
                returned[1] == "Outer at " + std::to_string(start + 3001))
        << returned[1];
}

TEST_F(ModalLoop, AWindowClosedUnderAnOpenDialogLivesUntilTheDialogIsDone) {
    Plain &w = implicitInstance<Plain>();
    w.show();
    int aliveWhenClosed = -1;
    postAfter(500, [&] {
        w.close();
        collectClosedWindows();  // as the loop does after each handler
        aliveWhenClosed = Plain::alive;
    });
    op::answerNext(after(1000, {Answer::OK, {}}));
    msgBox("the window goes while this is open");
    EXPECT_EQ(aliveWhenClosed, 1);  // the dialog's caller may still use it
    EXPECT_EQ(findWindow("Plain"), nullptr);
    clock.run(10);  // the loop frees it once nothing is being handled
    EXPECT_EQ(Plain::alive, 0);
}

// The capture thread's "no video" box, say: the main thread shows it, in
// its own loop, and the thread waits for the answer.
TEST_F(ModalLoop, ADialogAskedFromACooperativeThreadIsShownByTheMainThread) {
    struct Recording : HeadlessBackend {
        std::thread::id askedOn;
        int64_t answeredAt = -1;
        DialogAnswer ask(const DialogRequest &r) override {
            askedOn = std::this_thread::get_id();
            DialogAnswer a = HeadlessBackend::ask(r);
            answeredAt = TestClock::now();
            return a;
        }
    };
    auto owned = std::make_unique<Recording>();
    Recording *recording = owned.get();
    setBackend(std::move(owned));
    op::answerNext(after(1000, {Answer::Button, "Sure"}));
    std::string got;
    bool done = false;
    int64_t resumedAt = -2;
    ObjRef t = newThread([&](REALobject) {
        MessageDialog d;
        d.message = "from a thread";
        got = d.showModal();
        resumedAt = TestClock::now();
        done = true;
    });
    startThread(t.get());
    int64_t start = clock.nowMs();
    while (!done && clock.nowMs() - start < 5000) runOnce(5);
    EXPECT_TRUE(done);
    EXPECT_EQ(got, "Sure");
    EXPECT_EQ(recording->askedOn, std::this_thread::get_id());
    EXPECT_GE(clock.nowMs() - start, 1000);
    // Handed the answer, the thread goes on in the pass that gave it,
    // before the clock moves again.
    EXPECT_EQ(resumedAt, recording->answeredAt);
    setBackend(nullptr);
}

TEST_F(ModalLoop, AWindowWithoutACloseBoxIsClosedOnlyByTheApplication) {
    struct Palette : Window {
        Palette() : Window("Palette", WindowKind::Floating, "Controls", 200, 100) { closeBox = false; }
    };
    Palette &p = implicitInstance<Palette>();
    p.show();
    EXPECT_FALSE(op::closeWindow("Palette"));
    EXPECT_EQ(op::lastError(), "Palette has no close box");
    p.requestClose();
    EXPECT_FALSE(p.closed());
    p.close();
    EXPECT_TRUE(p.closed());
}

}  // namespace
