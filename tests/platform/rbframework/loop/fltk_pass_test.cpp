// FLTK's own loops (what a pulldown menu or popup list held open runs) run
// the runtime's loop, on an X server of the test's own (Xvfb; skipped where
// there is none): timers and cooperative threads go on, on time, while a
// menu is held open; a dialog asked meanwhile can be answered, but its
// popup lists do not open over the menu, and a menu bar's menu held under
// it holds the mouse and keys again after it; a quit ends the menu, also
// one under a dialog, and every loop of a dialog, a list and a box nested
// three deep; a window closed under its menu leaves the menu's items as
// they were.
#include "own_screen.h"
#include "pacer.h"
#include "run_until.h"
#include "test_clock.h"

#include <rb/backend.h>
#include <rb/loop.h>
#include <rb/operator.h>
#include <rb/thread.h>
#include <rb/ui.h>

// gtest first: the toolkit's X headers define names such as None.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

// The on-screen backend on an X server of the test's own, with a window
// shown for the menus to belong to.
bool onScreen() {
    static bool up = [] {
        if (!onOwnScreen()) return false;
        static Fl_Window window(200, 100);
        window.show();
        return true;
    }();
    return up;
}

// A key pressed in the menu held open.
void press(int key) {
    Fl::e_keysym = key;
    if (Fl_Window *w = Fl::grab()) Fl::handle(FL_KEYBOARD, w);
}
void escape(void * = nullptr) { press(FL_Escape); }

// A popup menu held open from the next loop pass on, in FLTK's own loop,
// until something ends it.
struct HeldMenu {
    Fl_Menu_Item items[3] = {};
    bool ended = false;
    const Fl_Menu_Item *picked = nullptr;
    int64_t openedMs = -1, endedMs = -1;
    HeldMenu() {
        items[0].label("One");
        items[1].label("Two");
        rb::post([this] {
            openedMs = TestClock::now() / 1000;
            picked = items->popup(20, 20);
            endedMs = TestClock::now() / 1000;
            ended = true;
        });
    }
};

class FltkLoops : public ::testing::Test {
protected:
    void SetUp() override {
        if (!onScreen()) GTEST_SKIP() << "no Xvfb here";
        // No menu stays open longer on the machine's clock, whatever breaks.
        Fl::add_timeout(20.0, escape);
        rb::op::reset();
    }
    void TearDown() override {
        Fl::remove_timeout(escape);
        rb::op::reset();
    }
    TestClock clock;
    Pacer pacer{clock};
};

// What goes on, from now on, while FLTK's loops run: a cooperative thread
// that sleeps a second three times, and a timer every 100 ms.
struct WorkOnTheClock {
    explicit WorkOnTheClock(TestClock &clock)
        : thread(rb::newThread([this, &clock](REALobject) {
              for (int i = 0; i < 3; ++i) {
                  rb::sleep(1000);
                  woke.push_back(clock.nowMs() - start);
              }
          })),
          start(clock.nowMs()) {
        rb::startThread(thread.get());
        timer = rb::postAfter(100, every100);
    }
    ~WorkOnTheClock() { rb::cancel(timer); }
    // Over the three seconds: each sleep ends in the pass that reaches its
    // time, and the thread has its turn there (the clock moves on only once
    // it sleeps again); the timer fired every 100 ms.
    void expectOnTime() const {
        EXPECT_EQ(woke, (std::vector<int64_t>{1000, 2000, 3000}));
        EXPECT_EQ(fired, 30);
    }

    rb::ObjRef thread;
    int64_t start;
    std::vector<int64_t> woke;
    int fired = 0;
    uint64_t timer = 0;
    std::function<void()> every100 = [this] {
        ++fired;
        timer = rb::postAfter(100, every100);
    };
};

// A widget of the kind in one of FLTK's windows shown, or nullptr.
template <class W> W *shown() {
    for (Fl_Window *w = Fl::first_window(); w; w = Fl::next_window(w))
        for (int i = 0; i < w->children(); ++i)
            if (auto *found = dynamic_cast<W *>(w->child(i))) return found;
    return nullptr;
}

// The first mouse button pressed at x, y of `w`, read by FLTK's next wait.
void pressAt(Fl_Window &w, int x, int y) {
    XEvent e{};
    XButtonEvent &b = e.xbutton;
    b.type = ButtonPress;
    b.display = fl_display;
    b.window = fl_xid(&w);
    b.root = RootWindow(fl_display, fl_screen);
    b.x = x;
    b.y = y;
    b.x_root = w.x() + x;
    b.y_root = w.y() + y;
    b.button = Button1;
    b.same_screen = True;
    XSendEvent(fl_display, b.window, False, ButtonPressMask, &e);
    XSync(fl_display, False);  // in Xlib's queue once this returns
}

// The first mouse button pressed, and held, in the middle of `w`.
void pressOn(Fl_Widget &w) { pressAt(*w.window(), w.x() + w.w() / 2, w.y() + w.h() / 2); }

// A modal dialog with a popup list.
struct WithPopup : rb::Window {
    WithPopup() : rb::Window("WithPopup", rb::WindowKind::MovableModal, "Choose", 300, 100) {
        rb::Control &list = add(rb::ControlKind::PopupMenu, "List", {20, 20, 150, 25});
        list.addRow("One");
        list.addRow("Two");
    }
};

// A window with the application's menu bar, and its File menu pulled down
// from the next loop pass on, as a click on the bar does, until something
// ends it; `chosen` holds the items chosen from it.
struct HeldMenuOfTheBar {
    struct WithMenuBar : rb::Window {
        WithMenuBar() : rb::Window("WithMenuBar", rb::WindowKind::Document, "Menus", 300, 200) { hasMenuBar = true; }
    };
    const std::string item = "AnItemOfTheFileMenu";
    rb::MenuBar menus;
    rb::MenuItem file, entry;
    std::vector<std::string> chosen;
    std::shared_ptr<WithMenuBar> window;
    Fl_Window *screenWindow = nullptr;
    bool ended = false;
    int64_t endedMs = -1;

    explicit HeldMenuOfTheBar(rb::Application &app) {
        file.name = "FileMenu";
        file.text = "File";
        entry.name = item;
        entry.text = "Item";
        entry.autoEnable = true;
        menus.append(file);
        menus.appendTo("FileMenu", entry);
        app.menuBar = &menus;
        app.addMenuHandler(item, [this] { chosen.push_back(item); });
        window = rb::newWindow<WithMenuBar>();
        window->show();
        Fl_Menu_Bar *bar = shown<Fl_Menu_Bar>();
        if (!bar) return;
        screenWindow = bar->window();
        rb::post([this, bar] {
            bar->picked(bar->menu()->pulldown(bar->x(), bar->y(), bar->w(), bar->h(), bar->menu(), bar, nullptr, 1));
            endedMs = TestClock::now() / 1000;
            ended = true;
        });
    }
    ~HeldMenuOfTheBar() {
        rb::cancel(fallback);
        if (!window->closed()) window->close();
    }
    // Ends the menu, held or not, as Escape pressed in it does, at `ms` on
    // the clock: what a test that fails leaves no menu open by.
    void endAt(int ms, Fl_Window *const &menuWindow) {
        fallback = rb::postAfter(ms, [this, &menuWindow] {
            if (ended || !menuWindow) return;
            Fl::e_keysym = FL_Escape;
            menuWindow->handle(FL_KEYBOARD);
        });
    }
    uint64_t fallback = 0;
};

TEST_F(FltkLoops, AMenuHeldOpenRunsTimersAndThreadsOnTime) {
    WorkOnTheClock work(clock);
    bool grabbed = false;
    rb::postAfter(1500, [&] { grabbed = Fl::grab() != nullptr; });
    rb::postAfter(3000, [] { escape(); });
    HeldMenu menu;
    ASSERT_TRUE(runUntil([&] { return menu.ended; }, 30s));
    EXPECT_TRUE(grabbed) << "the menu was open";
    EXPECT_EQ(menu.picked, nullptr);
    EXPECT_LE(menu.openedMs - work.start, 1);
    EXPECT_NEAR(double(menu.endedMs - work.start), 3000, 1);
    work.expectOnTime();
}

// FLTK keeps the state of one menu held open: a popup list of a dialog
// shown over a menu held open does not open (FLTK would run no pass of the
// runtime's loop from inside it, and the menu under it, left with the state
// of the list gone, would not survive its next event). The loop runs on,
// and the menu ends when it is escaped.
TEST_F(FltkLoops, APopupListInADialogShownOverAHeldMenuDoesNotOpen) {
    WorkOnTheClock work(clock);
    std::shared_ptr<WithPopup> dialog;
    rb::postAfter(500, [&] {
        dialog = rb::newWindow<WithPopup>();
        dialog->showModalWithin(*dialog);
    });
    Fl_Choice *list = nullptr;
    rb::postAfter(1000, [&] {
        if ((list = shown<Fl_Choice>())) pressOn(*list);
    });
    bool listHeld = true;
    rb::postAfter(1500, [&] { listHeld = Fl::grab() != nullptr; });
    rb::postAfter(2500, [&] { dialog->close(); });
    rb::postAfter(3000, [] { escape(); });
    HeldMenu menu;
    ASSERT_TRUE(runUntil([&] { return menu.ended; }, 30s));
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(listHeld);
    EXPECT_NEAR(double(menu.endedMs - work.start), 3000, 1);
    work.expectOnTime();
}

TEST_F(FltkLoops, ADialogAskedWhileAMenuIsHeldOpenCanBeAnswered) {
    int64_t start = clock.nowMs();
    Fl_Window *menuWindow = nullptr;
    bool liftedForTheDialog = false, givenBack = false;
    int64_t answeredMs = -1;
    rb::postAfter(500, [&] {
        menuWindow = Fl::grab();
        rb::op::answerNext({rb::Answer::OK, "", 1000});
        rb::postAfter(500, [&] { liftedForTheDialog = Fl::grab() == nullptr; });
        rb::msgBox("asked while a menu is held open");
        answeredMs = clock.nowMs() - start;
        givenBack = menuWindow && Fl::grab() == menuWindow;
    });
    rb::postAfter(3000, [] { escape(); });
    HeldMenu menu;
    ASSERT_TRUE(runUntil([&] { return menu.ended; }, 30s));
    ASSERT_NE(menuWindow, nullptr);
    // The menu's hold on the mouse and keys is lifted while the dialog
    // waits for its answer, and given back after.
    EXPECT_TRUE(liftedForTheDialog);
    EXPECT_TRUE(givenBack);
    EXPECT_NEAR(double(answeredMs), 1500, 1);
    EXPECT_NEAR(double(menu.endedMs - start), 3000, 1);
    EXPECT_EQ(rb::op::pendingAnswers(), 0u) << "the dialog took its answer";
}

// The File menu of a menu bar, held open under a box that a capture shows
// (the clip ended): once the box is answered the menu holds the mouse and
// keys again, so that a click outside it, wherever, closes it.
TEST_F(FltkLoops, AMenuOfTheBarHeldUnderABoxHoldsTheMouseAgainAfterIt) {
    struct App : rb::Application {
    } app;
    HeldMenuOfTheBar menu(app);
    ASSERT_NE(menu.screenWindow, nullptr);
    int64_t start = clock.nowMs();
    Fl_Window *menuWindow = nullptr;
    bool givenBack = false;
    rb::postAfter(500, [&] {
        menuWindow = Fl::grab();
        rb::op::answerNext({rb::Answer::OK, "", 1000});
        rb::msgBox("the video ended");
        givenBack = menuWindow && Fl::grab() == menuWindow;
    });
    // A click at the window's far corner, away from the menu.
    rb::postAfter(2000, [&] { pressAt(*menu.screenWindow, 290, 190); });
    menu.endAt(5000, menuWindow);
    ASSERT_TRUE(runUntil([&] { return menu.ended; }, 30s));
    ASSERT_NE(menuWindow, nullptr);
    EXPECT_TRUE(givenBack);
    EXPECT_LT(menu.endedMs - start, 2500) << "the click outside did not close the menu";
    EXPECT_TRUE(menu.chosen.empty());
}

// A quit with a box open over a menu bar's menu held open (SIGTERM, a
// capture that ends), or after the box was answered: the box closes and
// the menu ends a pass or two after the quit.
TEST_F(FltkLoops, AQuitEndsAMenuOfTheBarHeldUnderABox) {
    for (bool answered : {false, true}) {
        SCOPED_TRACE(answered ? "after the box" : "with the box open");
        struct App : rb::Application {
        } app;
        HeldMenuOfTheBar menu(app);
        ASSERT_NE(menu.screenWindow, nullptr);
        int64_t start = clock.nowMs();
        Fl_Window *menuWindow = nullptr;
        int64_t boxEndedMs = -1;
        rb::postAfter(500, [&] {
            menuWindow = Fl::grab();
            if (answered) rb::op::answerNext({rb::Answer::OK, "", 500});
            rb::msgBox("the video ended");
            boxEndedMs = clock.nowMs() - start;
        });
        rb::postAfter(1500, [&] { app.quit(0); });
        menu.endAt(5000, menuWindow);
        ASSERT_TRUE(runUntil([&] { return menu.ended; }, 30s));
        ASSERT_NE(menuWindow, nullptr);
        EXPECT_TRUE(app.quitting());
        EXPECT_NEAR(double(boxEndedMs), answered ? 1000 : 1500, 1);
        EXPECT_NEAR(double(menu.endedMs - start), 1500, 5) << "the quit did not end the menu";
        EXPECT_TRUE(menu.chosen.empty());
        rb::runFor(100);  // the windows the quit closed go
    }
}

// Loops three deep: a box shown over a popup list held open in a dialog.
// A quit closes the box, ends the list's loop and then the dialog's, each
// a pass or two after the quit.
TEST_F(FltkLoops, AQuitEndsABoxOverAPopupListHeldInADialog) {
    struct App : rb::Application {
    } app;
    std::shared_ptr<WithPopup> dialog = rb::newWindow<WithPopup>();
    int64_t start = clock.nowMs(), boxEndedMs = -1, dialogEndedMs = -1;
    rb::post([&] {
        dialog->showModalWithin(*dialog);
        dialogEndedMs = clock.nowMs() - start;
    });
    rb::postAfter(500, [] {
        if (auto *list = shown<Fl_Choice>()) pressOn(*list);
    });
    Fl_Window *listWindow = nullptr;
    rb::postAfter(1000, [&] {
        if (!(listWindow = Fl::grab())) return;
        rb::msgBox("the video ended");
        boxEndedMs = clock.nowMs() - start;
    });
    rb::postAfter(2000, [&] { app.quit(0); });
    uint64_t fallback = rb::postAfter(5000, [&] {
        Fl::e_keysym = FL_Escape;
        if (listWindow && dialogEndedMs < 0) listWindow->handle(FL_KEYBOARD);
    });
    ASSERT_TRUE(runUntil([&] { return dialogEndedMs >= 0; }, 30s));
    rb::cancel(fallback);
    ASSERT_NE(listWindow, nullptr) << "the list did not open";
    EXPECT_NEAR(double(boxEndedMs), 2000, 5);
    EXPECT_NEAR(double(dialogEndedMs), 2000, 5) << "the quit did not end the list's loop";
    EXPECT_EQ(Fl::grab(), nullptr);
    rb::runFor(100);  // the windows the quit closed go
}

TEST_F(FltkLoops, AQuitEndsAMenuHeldOpen) {
    struct App : rb::Application {
    } app;
    int64_t start = clock.nowMs();
    rb::postAfter(1000, [&] { app.quit(0); });
    HeldMenu menu;
    ASSERT_TRUE(runUntil([&] { return menu.ended; }, 30s));
    EXPECT_TRUE(app.quitting());
    EXPECT_EQ(menu.picked, nullptr);
    EXPECT_NEAR(double(menu.endedMs - start), 1000, 1);
}

// A window closed while the menu of its menu bar is held open: the item
// chosen from the menu after is still the one the menu shows.
TEST_F(FltkLoops, AMenuOfAWindowClosedWhileItIsHeldOpenChoosesItsItem) {
    const std::string item = "AnItemOfTheWindowsMenuBar";  // a name kept outside its string
    struct App : rb::Application {
    } app;
    rb::MenuBar menus;
    rb::MenuItem file, entry;
    file.name = "FileMenu";
    file.text = "File";
    entry.name = item;
    entry.text = "Item";
    entry.autoEnable = true;
    menus.append(file);
    menus.appendTo("FileMenu", entry);
    app.menuBar = &menus;
    std::vector<std::string> chosen;
    app.addMenuHandler(item, [&] { chosen.push_back(item); });
    struct WithMenuBar : rb::Window {
        WithMenuBar() : rb::Window("WithMenuBar", rb::WindowKind::Document, "Menus", 300, 200) { hasMenuBar = true; }
    };
    std::shared_ptr<WithMenuBar> window = rb::newWindow<WithMenuBar>();
    window->show();
    Fl_Menu_Bar *bar = shown<Fl_Menu_Bar>();
    ASSERT_NE(bar, nullptr);
    bool ended = false;
    rb::post([&] {
        // The File menu pulled down from the bar, as a click on it does.
        bar->picked(bar->menu()->pulldown(bar->x(), bar->y(), bar->w(), bar->h(), bar->menu(), bar, nullptr, 1));
        ended = true;
    });
    bool heldWhenClosed = false;
    rb::postAfter(500, [&] {
        heldWhenClosed = Fl::grab() != nullptr;
        window->close();
    });
    rb::postAfter(1000, [] {
        press(FL_Down);
        press(FL_Enter);
    });
    ASSERT_TRUE(runUntil([&] { return ended; }, 30s));
    EXPECT_TRUE(heldWhenClosed);
    EXPECT_EQ(chosen, std::vector<std::string>{item});
}

}  // namespace
