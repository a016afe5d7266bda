// The application starting, its windows, and quitting.
#include "e2e_fixture.h"

#include "binding/entrypoints.h"
#include "capturewindow/framefiles.h"

#include <rb/entrypoints.h>
#include <rb/picture.h>

#include <sys/inotify.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>

namespace {

// A FIFO or a huge file where the preferences and grabber settings live:
// start-up neither blocks on them nor reads them, and keeps the defaults
// (a start-up that blocked would never end).
void startWithSpecialFiles(bool settingsFifo, const std::function<void()> &start) {
    fs::path prefs = gDir / "prefs" / kPrefsFileName, settings = gDir / "prefs" / kCaptureSettingsFileName;
    fs::remove(prefs);
    fs::remove(settings);
    ASSERT_EQ(::mkfifo(prefs.c_str(), 0600), 0);
    if (settingsFifo) {
        ASSERT_EQ(::mkfifo(settings.c_str(), 0600), 0);
    } else {
        std::ofstream(settings, std::ios::binary) << "tavrin-grabber 1 brightness=10";
        fs::resize_file(settings, uintmax_t(400) << 20);  // sparse: costs no disk
    }
    // Nothing reads them: a read of the FIFO would wait for a writer, and
    // one of the huge file would take its time.
    int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, prefs.parent_path().c_str(), IN_ACCESS), 0);
    start();
    EXPECT_NE(rb::findWindow("CaptureWindow"), nullptr);
    EXPECT_EQ(app().controlpref, 0);
    alignas(inotify_event) char events[4096];
    ssize_t n = read(watch, events, sizeof events);
    for (ssize_t at = 0; at < n;) {
        auto *e = reinterpret_cast<inotify_event *>(events + at);
        ADD_FAILURE() << "read at start-up: " << (e->len ? e->name : "?");
        at += ssize_t(sizeof(inotify_event) + e->len);
    }
    close(watch);
}

}  // namespace

TEST_F(Tavrin, StartsWithLiveVideoSizedToTheSource) {
    start();
    ASSERT_NE(rb::findWindow("CaptureWindow"), nullptr);
    EXPECT_EQ(main().width(), 720);
    EXPECT_EQ(main().height(), 580);
    EXPECT_TRUE(app().devicepresent);
    EXPECT_FALSE(main().checkvideobutton->enabled());
    EXPECT_EQ(main().playstatus, PlayStatus::Stopped);
    // The palette opens at the right edge of the main screen.
    EXPECT_EQ(palette().left(), 1280 - 428);
    EXPECT_EQ(palette().top(), 40);
    EXPECT_EQ(palette().title(), "Controls");
    // The poll timer has painted the video: not a blank area.
    auto px = main().surface.pixels();
    ASSERT_FALSE(px.empty());
    EXPECT_NE(std::count(px.begin(), px.end(), px.front()), std::ptrdiff_t(px.size()));
    EXPECT_EQ(main().surface.area.top, 100);
}

// A resized window hands the grabber the area below the strip of controls,
// across the whole window.
TEST_F(Tavrin, ResizedWindowGivesTheGrabberTheAreaBelowTheStrip) {
    start();
    main().setSize(800, 700);
    rb::ObjRef r = rb::getProp(ENTRY("QTGrabberPlyx.CurrentVideoSize.Get"), main().qGrab.get());
    ASSERT_TRUE(r);
    // The rectangle's data: top, bottom, left, right.
    EXPECT_EQ(rb::direct<int32_t>(r.get(), 0), 100);
    EXPECT_EQ(rb::direct<int32_t>(r.get(), 4), 700);
    EXPECT_EQ(rb::direct<int32_t>(r.get(), 8), 0);
    EXPECT_EQ(rb::direct<int32_t>(r.get(), 12), 800);
    EXPECT_EQ(rb::getProp(ENTRY("IntegerRectPlyx.Height.Get"), r.get()), 600);
}

TEST_F(Tavrin, TheWindowsShowNoPlaceholderAndFitTheVideo) {
    start();
    EXPECT_EQ(main().message->text(), "");
    for (const char *name : {"TheSeparator", "Separator1", "Rectangle1"})
        EXPECT_EQ(main().control(name)->bounds().width, 720) << name;
    EXPECT_EQ(main().control("Rectangle1")->bounds().height, 480);
    // The palette at the right edge of the screen, the main window beside it.
    EXPECT_EQ(palette().left(), 1280 - 428);
    EXPECT_LE(main().left() + main().width(), palette().left());
    EXPECT_GE(main().left(), 0);
}

// A video narrower than the strip of controls: the window takes the
// strip's width, so every control of the strip is inside it and the status
// line has the top row's room; the picture keeps its shape below.
class NarrowVideo : public Tavrin {
protected:
    void expectTheWholeStripFor(const char *videoSize, int videoWidth, int videoHeight);
};

void NarrowVideo::expectTheWholeStripFor(const char *videoSize, int videoWidth, int videoHeight) {
    setenv("TAVRIN_VIDEO_SIZE", videoSize, 1);
    start();
    unsetenv("TAVRIN_VIDEO_SIZE");
    CaptureWindow &w = captureWindow();
    EXPECT_EQ(w.width(), kStripWidth);
    EXPECT_EQ(w.height(), videoHeight * kStripWidth / videoWidth + kStripHeight);
    for (const auto &c : w.controls()) {
        rb::Rect r = c->bounds();
        if (r.top >= kStripHeight) continue;
        EXPECT_LE(r.left + r.width, w.width()) << c->name() << " at " << videoSize;
    }
    rb::Rect line = w.message->bounds();
    EXPECT_EQ(line.top, 7);
    EXPECT_GE(line.width, 200) << videoSize;
    EXPECT_EQ(line.left + line.width, w.width() - 5);
    EXPECT_EQ(w.surface.area.top, kStripHeight);
}

TEST_F(NarrowVideo, A176x144VideosWindowHoldsTheWholeStrip) { expectTheWholeStripFor("176x144", 176, 144); }
TEST_F(NarrowVideo, A320x240VideosWindowHoldsTheWholeStrip) { expectTheWholeStripFor("320x240", 320, 240); }

TEST_F(Tavrin, QuitWritesThePreferences) {
    start();
    rb::op::selectRow("controlwindow", "filecreator", 1);
    EXPECT_TRUE(rb::op::chooseMenu("FileQuit"));
    rb::op::runFor(50);
    std::ifstream in(gDir / "prefs" / kPrefsFileName, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(bytes, std::string("\x00\x00\x00\x00\x00\x00\x01", 7));
}

// Preferences whose bytes are all out of range: "Open with:" shows
// Photoshop and the frames saved carry its creator; the deck dialog shows
// the first port. The link byte means FireWire, as any but 1 does, and the
// link and port bytes are written back as they were.
TEST_F(Tavrin, PreferencesOutOfRangeTakeTheirDefaults) {
    FakeDeck deck;  // a serial port, so that the dialog has a row to show
    std::ofstream(gDir / "prefs" / kPrefsFileName, std::ios::binary) << std::string("\xff\xff\0\0\0\0\xff", 7);
    start();
    EXPECT_FALSE(app().rs422());
    EXPECT_EQ(palette().filecreator->listIndex(), 0);
    fs::path file = gDir / "out" / "creator";
    rb::op::answerFile(file.string());
    ASSERT_TRUE(rb::op::click("CaptureWindow", "BevelButton1"));
    rb::FolderItem saved(file.string());
    ASSERT_TRUE(saved.exists());
    if (!saved.macType().empty()) {  // where the file system keeps them
        EXPECT_EQ(saved.macCreator(), "8BIM");
    }

    ASSERT_TRUE(rb::op::chooseMenu("VideoDeckControl"));
    rb::Window *dlg = rb::findWindow("ControlPrefswindow");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->control("firewirebutton")->value(), 1);
    EXPECT_EQ(dlg->control("portsmenu")->listIndex(), 0);
    rb::op::click("ControlPrefswindow", "PushButton2");
    EXPECT_EQ(app().myserialport, 255);  // Cancel: kept, said if RS-422 opens it

    EXPECT_TRUE(rb::op::chooseMenu("FileQuit"));
    rb::op::runFor(50);
    std::ifstream in(gDir / "prefs" / kPrefsFileName, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), std::string("\xff\xff\0\0\0\0\0", 7));
}

TEST_F(Tavrin, ResetVideoDeviceKeepsTheSettingsFileDeleted) {
    start();
    fs::path settings = gDir / "prefs" / kCaptureSettingsFileName;
    main().writecapturesettings();
    ASSERT_TRUE(fs::exists(settings));
    rb::op::chooseMenu("SettingsResetVideoDevice");
    rb::op::runFor(50);
    EXPECT_FALSE(fs::exists(settings));
    auto msgs = rb::op::messages();
    ASSERT_FALSE(msgs.empty());
    EXPECT_EQ(msgs.back().substr(0, 47), "Tavrin! will now quit and reset your video devi");
}

// The main window's close box without a capture quits at once.
TEST_F(Tavrin, ClosingTheMainWindowQuits) {
    start();
    ASSERT_TRUE(rb::op::closeWindow("CaptureWindow"));
    EXPECT_TRUE(rb::app()->quitting());
    EXPECT_EQ(rb::findWindow("controlwindow"), nullptr);
}

TEST_F(Tavrin, AFifoForPrefsAndAHugeSettingsFileDoNotStallStartUp) {
    startWithSpecialFiles(false, [this] { start(); });
}

TEST_F(Tavrin, FifosForPrefsAndSettingsDoNotStallStartUp) {
    startWithSpecialFiles(true, [this] { start(); });
}
