// The window model: implicit instances, controls, events, menus, quitting.
#include <rb/operator.h>
#include <rb/runtime.h>
#include <rb/ui.h>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

using namespace rb;

namespace {

std::vector<std::string> events;  // what the test windows saw, in order

struct Palette : Window {
    static int alive;
    Palette() : Window("Palette", WindowKind::Floating, "Controls", 428, 269) {
        ++alive;
        for (const char *name : {"interval", "framecount"}) {
            auto &f = add(ControlKind::EditField, name, {60, 13, 46, 22});
            std::string n = name;
            f.on("GotFocus", [n] { events.push_back(n + ".GotFocus"); });
            f.on("LostFocus", [n] { events.push_back(n + ".LostFocus"); });
        }
        control("interval")->setText("30");
        auto &b = add(ControlKind::PushButton, "capturebutton", {293, 216, 115, 20});
        b.setCaption("Start Capture");
        b.on("Action", [this] { events.push_back("capture " + control("interval")->text()); });
        auto &p = add(ControlKind::PopupMenu, "filecreator", {205, 146, 148, 20});
        for (const char *r : {"Photoshop", "Preview", "Graphic Converter"}) p.addRow(r);
        p.on("Open", [&p] {
            events.push_back("filecreator.Open");
            p.setListIndex(0);
        });
        p.on("Change", [&p] { events.push_back("Change " + std::to_string(p.listIndex())); });
    }
    ~Palette() override { --alive; }
    void Open() override { events.push_back("Palette.Open"); }
    void Close() override { events.push_back("Palette.Close"); }
    bool MouseDown(int, int) override {
        setFocus(nullptr);
        return false;
    }
};
int Palette::alive = 0;

struct Main : Window {
    Main() : Window("CaptureWindow", WindowKind::Document, "Tavrin!", 500, 460) {
        auto &s = add(ControlKind::Slider, "shuttleslider", {136, 49, 144, 16});
        s.setMaximum(30);
        s.setValue(15);
        s.on("ValueChanged", [&s] { events.push_back("slider " + std::to_string(s.value())); });
        s.on("MouseExit", [&s] { s.setValue(15); });
        add(ControlKind::GroupBox, "GroupBox1", {11, 14, 252, 76}).setCaption("Device Protocol:");
        for (const char *r : {"rs422button", "firewirebutton"}) {
            auto &rb = add(ControlKind::RadioButton, r, {20, 35, 69, 20});
            rb.parentName = "GroupBox1";
        }
        auto &q = add(ControlKind::BevelButton, "closer", {10, 5, 82, 22});
        q.on("Action", [this] {
            close();
            // The window is still there for the rest of its own handler.
            events.push_back("after close " + title());
        });
        addMenuHandler("VideoDeckControl", [] { events.push_back("window VideoDeckControl"); });
    }
    void Open() override { events.push_back("Main.Open"); }
    void Close() override { events.push_back("Main.Close"); }
    void Resized() override { events.push_back("Resized " + std::to_string(width()) + "x" + std::to_string(height())); }
    void Paint() override { events.push_back("Paint"); }
    void EnableMenuItems() override { app()->menuBar->child("VideoDeckControl")->enabled = true; }
};

struct TestMenu : MenuBar {
    TestMenu() {
        append({MenuItem::Item, "UntitledMenu2", "File", "", false, false, {}});
        appendTo("UntitledMenu2", {MenuItem::Quit, "FileQuit", "Quit", "Cmd+Q", true, false, {}});
        append({MenuItem::Item, "VideoMenu", "Settings", "", false, false, {}});
        appendTo("VideoMenu", {MenuItem::Item, "VideoDeckControl", "Deck Control Settings", "", false, false, {}});
        appendTo("VideoMenu", {MenuItem::Item, "SettingsResetVideoDevice", "Reset Video Device", "", true, false, {}});
        append({MenuItem::Item, "HelpMenu", "Help", "", false, false, {}});
        appendTo("HelpMenu", {MenuItem::Apple, "aboutmenu", "About Tavrin!", "", false, false, {}});
        appendTo("HelpMenu", {MenuItem::Item, "HelpDocumentation", "Documentation", "Cmd+?", true, false, {}});
    }
};

struct TestApp : Application {
    TestMenu bar;
    bool enableAbout = true;
    TestApp() {
        menuBar = &bar;
        addMenuHandler("aboutmenu", [] { events.push_back("app aboutmenu"); });
        addMenuHandler("VideoDeckControl", [] { events.push_back("app VideoDeckControl"); });
    }
    void Open() override { events.push_back("App.Open"); }
    void Close() override { events.push_back("App.Close"); }
    void Activate() override { events.push_back("Activate"); }
    void Deactivate() override { events.push_back("Deactivate"); }
    void EnableMenuItems() override {
        if (enableAbout) menuBar->child("aboutmenu")->enabled = true;
    }
};

class Ui : public ::testing::Test {
protected:
    void SetUp() override {
        events.clear();
        op::reset();
    }
    void TearDown() override {
        for (Window *w : windows()) w->close();
        collectClosedWindows();
        op::reset();
    }
};

TEST_F(Ui, ImplicitInstanceIsMadeOnceAndOpenedOnce) {
    Palette &a = implicitInstance<Palette>();
    Palette &b = implicitInstance<Palette>();
    EXPECT_EQ(&a, &b);
    // Control Open events come before the window's own.
    EXPECT_EQ(events, (std::vector<std::string>{"filecreator.Open", "Change 0", "Palette.Open"}));
    EXPECT_EQ(findWindow("palette"), &a);
    EXPECT_EQ(Palette::alive, 1);

    a.close();
    a.close();  // a second close does nothing
    EXPECT_EQ(std::count(events.begin(), events.end(), "Palette.Close"), 1);
    EXPECT_EQ(findWindow("Palette"), nullptr);
    collectClosedWindows();
    EXPECT_EQ(Palette::alive, 0);

    events.clear();
    implicitInstance<Palette>();  // a new one, opened again
    EXPECT_EQ(Palette::alive, 1);
    EXPECT_EQ(events.back(), "Palette.Open");
}

TEST_F(Ui, ClosingFromOwnHandlerKeepsWindowAliveUntilHandled) {
    auto &m = implicitInstance<Main>();
    m.show();
    ASSERT_TRUE(op::click("CaptureWindow", "closer"));
    EXPECT_EQ(events.back(), "after close Tavrin!");
    EXPECT_EQ(findWindow("CaptureWindow"), nullptr);
    EXPECT_FALSE(op::click("CaptureWindow", "closer"));
    EXPECT_NE(op::lastError().find("CaptureWindow"), std::string::npos);
}

TEST_F(Ui, NewWindowIsHeldUntilClosedAndByItsOwner) {
    auto w = newWindow<Palette>();
    EXPECT_EQ(Palette::alive, 1);
    w->close();
    collectClosedWindows();
    EXPECT_EQ(Palette::alive, 1);  // the caller still holds it
    w.reset();
    EXPECT_EQ(Palette::alive, 0);
}

TEST_F(Ui, ControlsByNameInCreationOrder) {
    Palette p;
    ASSERT_NE(p.control("CAPTUREBUTTON"), nullptr);
    EXPECT_EQ(p.control("capturebutton")->caption(), "Start Capture");
    EXPECT_EQ(p.control("nothere"), nullptr);
    std::vector<std::string> names;
    for (auto &c : p.controls()) names.push_back(c->name());
    EXPECT_EQ(names, (std::vector<std::string>{"interval", "framecount", "capturebutton", "filecreator"}));
}

TEST_F(Ui, ResizedOnlyWhenTheSizeChangesAfterOpen) {
    Main m;
    m.setWidth(600);  // before Open: no event
    EXPECT_TRUE(events.empty());
    m.runOpen();
    events.clear();
    m.setWidth(600);
    m.setLeft(10);
    EXPECT_TRUE(events.empty());
    m.setWidth(601);
    m.setSize(640, 480);
    m.setHeight(10);  // held at the minimum height
    EXPECT_EQ(events, (std::vector<std::string>{"Resized 601x460", "Resized 640x480", "Resized 640x64"}));
}

TEST_F(Ui, RefreshPaintsAtOnceOrOnceOnTheNextPass) {
    Main m;
    m.refresh(true);
    EXPECT_EQ(events, std::vector<std::string>{"Paint"});
    m.refresh();
    m.refresh();
    EXPECT_EQ(events.size(), 1u);
    op::runFor(0);
    EXPECT_EQ(events, (std::vector<std::string>{"Paint", "Paint"}));
}

TEST_F(Ui, FocusMovesWithTypingAndBackgroundClicks) {
    implicitInstance<Palette>().show();
    events.clear();
    ASSERT_TRUE(op::type("Palette", "interval", "45"));
    ASSERT_TRUE(op::type("Palette", "interval", "60"));  // already focused: no events
    ASSERT_TRUE(op::type("Palette", "framecount", "3"));
    ASSERT_TRUE(op::click("Palette", ""));
    EXPECT_EQ(events, (std::vector<std::string>{"interval.GotFocus", "interval.LostFocus", "framecount.GotFocus",
                                                "framecount.LostFocus"}));
    EXPECT_EQ(findWindow("Palette")->control("interval")->text(), "60");
    EXPECT_FALSE(op::type("Palette", "capturebutton", "x"));  // not a text field
}

TEST_F(Ui, ControlValuesRaiseEventsOnlyOnChange) {
    Main m;
    Control &s = *m.control("shuttleslider");
    events.clear();
    s.setValue(15);
    s.setValue(99);  // held at the maximum
    EXPECT_EQ(events, std::vector<std::string>{"slider 30"});
    s.raise("MouseExit");
    EXPECT_EQ(s.value(), 15);

    Palette p;
    Control &pop = *p.control("filecreator");
    pop.setListIndex(2);
    pop.setListIndex(7);  // no such row: ignored
    pop.setListIndex(-2);
    EXPECT_EQ(pop.listIndex(), 2);

    Control &rs = *m.control("rs422button"), &fw = *m.control("firewirebutton");
    rs.setValue(1);
    fw.push();
    EXPECT_EQ(rs.value(), 0);
    EXPECT_EQ(fw.value(), 1);

    Control &b = *p.control("capturebutton");
    b.setEnabled(false);
    events.clear();
    b.push();
    EXPECT_TRUE(events.empty());
}

TEST_F(Ui, MenuEnablingAndDispatchOrder) {
    TestApp a;
    auto &m = implicitInstance<Main>();
    m.show();
    implicitInstance<Palette>().show();  // a palette in front is not the front window
    EXPECT_EQ(frontWindow(), &m);

    a.updateMenus();
    EXPECT_TRUE(a.bar.child("FileQuit")->enabled);  // enables itself
    EXPECT_TRUE(a.bar.child("SettingsResetVideoDevice")->enabled);
    EXPECT_TRUE(a.bar.child("VideoDeckControl")->enabled);  // by the window
    EXPECT_TRUE(a.bar.child("aboutmenu")->enabled);         // by the application

    events.clear();
    EXPECT_TRUE(a.chooseMenu("VideoDeckControl"));  // the window's handler wins
    EXPECT_TRUE(a.chooseMenu("aboutmenu"));
    EXPECT_EQ(events, (std::vector<std::string>{"window VideoDeckControl", "app aboutmenu"}));
    // A second handler of an item, named in any case, replaces the first.
    a.addMenuHandler("AboutMenu", [] { events.push_back("app aboutmenu again"); });
    events.clear();
    EXPECT_TRUE(a.chooseMenu("aboutmenu"));
    EXPECT_EQ(events, std::vector<std::string>{"app aboutmenu again"});

    a.enableAbout = false;
    a.chooseMenu("HelpDocumentation");
    EXPECT_FALSE(a.bar.child("aboutmenu")->enabled);  // switched off again each time
    EXPECT_FALSE(a.chooseMenu("aboutmenu"));
    EXPECT_FALSE(a.chooseMenu("HelpDocumentation"));  // enabled but nobody handles it
    EXPECT_FALSE(a.chooseMenu("NoSuchItem"));

    m.close();  // without the window, its items stay off
    EXPECT_FALSE(a.chooseMenu("VideoDeckControl"));
    EXPECT_FALSE(a.bar.child("VideoDeckControl")->enabled);
}

TEST_F(Ui, QuitClosesWindowsThenRaisesClose) {
    TestApp a;
    a.start();
    a.start();
    implicitInstance<Main>().show();
    implicitInstance<Palette>().show();
    events.clear();
    EXPECT_TRUE(op::chooseMenu("FileQuit"));
    EXPECT_TRUE(a.quitting());
    EXPECT_EQ(events, (std::vector<std::string>{"Palette.Close", "Main.Close", "App.Close"}));
    a.quit(3);  // only the first quit acts
    EXPECT_EQ(a.exitCode(), 0);
    EXPECT_TRUE(windows().empty());
}

// A window or the application can hold a quit off (a capture still
// saving, say); the quit then goes on by a later call of its own.
TEST_F(Ui, CancelCloseHoldsTheQuitOffUntilAskedAgain) {
    struct Holding : TestApp {
        bool hold = true;
        bool CancelClose() override {
            events.push_back("App.CancelClose");
            return hold;
        }
    } a;
    struct Keeper : Window {
        bool keep = false;
        Keeper() : Window("Keeper", WindowKind::Document, "Keeper", 200, 100) {}
        bool CancelClose(bool quitting) override {
            events.push_back(std::string("Keeper.CancelClose ") + (quitting ? "quitting" : "box"));
            return keep;
        }
        void Close() override { events.push_back("Keeper.Close"); }
    };
    Keeper &k = implicitInstance<Keeper>();
    k.show();
    events.clear();
    a.quit(4);
    EXPECT_FALSE(a.quitting());
    EXPECT_EQ(a.exitCode(), 4);  // the code asked for, kept for the later quit
    EXPECT_EQ(events, (std::vector<std::string>{"Keeper.CancelClose quitting", "App.CancelClose"}));
    EXPECT_EQ(findWindow("Keeper"), &k);

    // The close box asks the window alone.
    events.clear();
    k.keep = true;
    ASSERT_TRUE(op::closeWindow("Keeper"));
    EXPECT_EQ(events, std::vector<std::string>{"Keeper.CancelClose box"});
    EXPECT_FALSE(k.closed());
    // A window that holds off a quit holds it off whatever the application says.
    a.hold = false;
    a.quit(5);
    EXPECT_FALSE(a.quitting());

    k.keep = false;
    events.clear();
    a.quit(a.exitCode());
    EXPECT_TRUE(a.quitting());
    EXPECT_EQ(a.exitCode(), 5);
    EXPECT_EQ(events, (std::vector<std::string>{"Keeper.CancelClose quitting", "App.CancelClose", "Keeper.Close",
                                                "App.Close"}));
    EXPECT_FALSE(op::closeWindow("Keeper"));
}

TEST_F(Ui, CloseBoxClosesAWindowThatDoesNotObject) {
    Main &m = implicitInstance<Main>();
    m.show();
    events.clear();
    ASSERT_TRUE(op::closeWindow("CaptureWindow"));
    EXPECT_EQ(events, std::vector<std::string>{"Main.Close"});
    EXPECT_EQ(findWindow("CaptureWindow"), nullptr);
    std::string out;
    EXPECT_FALSE(op::runScript("close CaptureWindow\n", out));
    EXPECT_NE(out.find("no open window CaptureWindow"), std::string::npos);
}

// Locked edges follow the window's: a strip across the window and an area
// filling it keep their margins whatever size the window takes.
TEST_F(Ui, LockedEdgesFollowTheWindowsSize) {
    Window w("Strip", WindowKind::Document, "Strip", 500, 460);
    Control &line = w.add(ControlKind::Separator, "line", {0, 32, 500, 4});
    line.lockRight = true;
    Control &area = w.add(ControlKind::Rectangle, "area", {0, 100, 500, 360});
    area.lockRight = area.lockBottom = true;
    Control &fixed = w.add(ControlKind::StaticText, "fixed", {449, 45, 46, 17});
    w.setSize(720, 580);
    EXPECT_EQ(line.bounds().width, 720);
    EXPECT_EQ(line.bounds().height, 4);
    EXPECT_EQ(area.bounds().width, 720);
    EXPECT_EQ(area.bounds().height, 480);
    EXPECT_EQ(fixed.bounds().width, 46);
    w.setWidth(10);  // held at the minimum width
    EXPECT_EQ(line.bounds().width, 64);
    w.setSize(100, 100);
    EXPECT_EQ(area.bounds().width, 100);
    EXPECT_EQ(area.bounds().height, 0);  // never below nothing
    EXPECT_EQ(area.bounds().left, 0);
    EXPECT_EQ(area.bounds().top, 100);
}

// SIGTERM, SIGHUP and SIGINT reach the application as its quit, on the loop
// and not inside the signal handler; a quit held off stays held off.
TEST_F(Ui, TerminationSignalsAskTheApplicationToQuit) {
    struct Holding : TestApp {
        int asked = 0;
        bool CancelClose() override { return ++asked <= 2; }
    } a;
    quitOnTerminationSignals();
    quitOnTerminationSignals();  // only the first call acts
    auto runUntilAsked = [&](int n) {
        for (int i = 0; i < 400 && a.asked < n; ++i) op::runFor(5);
    };
    ASSERT_EQ(::raise(SIGTERM), 0);
    EXPECT_EQ(a.asked, 0);
    runUntilAsked(1);
    EXPECT_EQ(a.asked, 1);
    EXPECT_FALSE(a.quitting());
    // The terminal the program was started from closed.
    ASSERT_EQ(::raise(SIGHUP), 0);
    runUntilAsked(2);
    EXPECT_EQ(a.asked, 2);
    EXPECT_FALSE(a.quitting());
    ASSERT_EQ(::raise(SIGINT), 0);
    runUntilAsked(3);
    EXPECT_TRUE(a.quitting());
    EXPECT_EQ(a.exitCode(), 0);
}

TEST_F(Ui, ApplicationStartsOnceAndFollowsActivation) {
    TestApp a;
    EXPECT_EQ(app(), &a);
    op::runFor(0);  // the first loop pass raises Open
    a.start();
    op::setActive(false);
    op::setActive(false);
    op::setActive(true);
    EXPECT_EQ(events, (std::vector<std::string>{"App.Open", "Deactivate", "Activate"}));
}

TEST_F(Ui, KeyTable) {
    EXPECT_FALSE(asyncKeyDown(KeySpace));
    op::keyDown(KeySpace);
    op::keyDown(KeyL);
    EXPECT_TRUE(asyncKeyDown(49));
    EXPECT_TRUE(asyncKeyDown(37));
    op::keyUp(KeySpace);
    EXPECT_FALSE(asyncKeyDown(49));
    EXPECT_FALSE(asyncKeyDown(-1));
    EXPECT_FALSE(asyncKeyDown(4000));
}

TEST_F(Ui, ScreenDefaultsAndCanBeSet) {
    EXPECT_EQ(mainScreen().width, 1280);
    EXPECT_EQ(mainScreen().height, 1024);
    setMainScreen({1920, 1080});
    EXPECT_EQ(mainScreen().width, 1920);
    setMainScreen({});
}

}  // namespace

namespace {

TEST_F(Ui, PropertiesByName) {
    Main m;
    m.runOpen();
    events.clear();
    EXPECT_EQ(std::get<std::string>(*getProperty(m, "title")), "Tavrin!");
    EXPECT_TRUE(setProperty(m, "Width", int32_t(510)));
    EXPECT_EQ(events, std::vector<std::string>{"Resized 510x460"});  // same path as code
    EXPECT_TRUE(setProperty(m, "Left", std::string("12")));
    EXPECT_EQ(m.left(), 12);
    EXPECT_FALSE(setProperty(m, "Left", std::string("twelve")));
    EXPECT_FALSE(setProperty(m, "Nonsense", int32_t(1)));
    EXPECT_FALSE(getProperty(m, "Nonsense"));

    Control &s = *m.control("shuttleslider");
    EXPECT_TRUE(setProperty(s, "Maximum", int32_t(16)));
    EXPECT_TRUE(setProperty(s, "Value", int32_t(8)));
    EXPECT_EQ(std::get<int32_t>(*getProperty(s, "VALUE")), 8);
    EXPECT_TRUE(setProperty(s, "Enabled", int32_t(0)));
    EXPECT_FALSE(std::get<bool>(*getProperty(s, "Enabled")));
    EXPECT_FALSE(setProperty(s, "Enabled", std::string("no")));
    EXPECT_TRUE(std::get<bool>(*getProperty(*m.control("firewirebutton"), "Value")) == false);
    EXPECT_STREQ(propertyType("ListIndex"), "integer");
    EXPECT_STREQ(propertyType("caption"), "String");
    EXPECT_EQ(propertyType("Bogus"), nullptr);
}

// A window still open when the process ends is destroyed while the
// framework's lists of windows are still there to take it out of.
TEST(UiExit, AWindowStillOpenAtExitIsFreedSafely) {
    EXPECT_EXIT(
        {
            implicitInstance<Palette>().show();
            implicitInstance<Main>().show();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
