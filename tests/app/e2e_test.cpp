// The application end to end: started as the program starts it, driven
// through its windows by the scripted operator.
#include "application/app.h"
#include "application/startup.h"
#include "binding/entrypoints.h"
#include "capturethread/capturethread.h"
#include "capturewindow/capturewindow.h"
#include "capturewindow/framefiles.h"
#include "controlwindow/controlwindow.h"
#include "test_clock.h"
#include "fake_fw_transport.h"
#include "process_per_test.h"
#include "run_until.h"

#include <deck9pin/deck9pin.h>
#include <fw/FWLinux.h>
#include <fw/FWSim.h>
#include <rb/operator.h>
#include <rb/entrypoints.h>
#include <rb/loop.h>
#include <rb/picture.h>
#include <rb/serial.h>
#include <rb/thread.h>

#include <gtest/gtest.h>
#include <tiffio.h>

#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace tavrin;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

fs::path gDir;

// A pseudo-terminal listed as a serial port; the test reads the master side.
struct FakeDeck {
    int master = -1;
    int index = -1;
    std::vector<std::string> log;
    uint64_t bad = 0;

    FakeDeck() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master);
        unlockpt(master);
        fcntl(master, F_SETFL, O_NONBLOCK);
        static int n = 0;
        index = rb::SerialPorts::add("deck" + std::to_string(n++), ptsname(master));
    }
    ~FakeDeck() { close(master); }

    // Everything the app wrote so far, as log lines of the 9-pin parser.
    std::vector<std::string> drain() {
        deck9pin::Deck deck;
        std::vector<std::string> lines;
        deck9pin::Parser parser([&](const deck9pin::Event &e) {
            lines.push_back(deck.apply(e));
            if (e.kind != deck9pin::Event::Frame) ++bad;
        });
        uint8_t buf[4096];
        for (;;) {
            ssize_t n = read(master, buf, sizeof buf);
            if (n <= 0) break;
            parser.feed(buf, size_t(n));
        }
        parser.flush();
        log.insert(log.end(), lines.begin(), lines.end());
        return lines;
    }
};

class Tavrin : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        gDir = fs::temp_directory_path() / ("tavrin-e2e-" + std::to_string(::getpid()));
        fs::create_directories(gDir / "prefs");
        fs::create_directories(gDir / "out");
        setenv("TAVRIN_PREFS_DIR", (gDir / "prefs").c_str(), 1);
        setenv("TAVRIN_PLUGIN_PATH", TAVRIN_TEST_PLUGINS, 1);
        setenv("TAVRIN_HEADLESS", "1", 1);
        setenv("TAVRIN_AVC_UNITS", "0", 1);
        setenv("TAVRIN_FIREWIRE", "sim", 1);  // the simulated deck, even where the machine has FireWire
    }
    static void TearDownTestSuite() { fs::remove_all(gDir); }

    // Starts the application as main() does and lets it open its windows.
    void start(int controlpref = 0, int port = 0) {
        if (controlpref)
            std::ofstream(gDir / "prefs" / kPrefsFileName, std::ios::binary)
                << std::string{char(controlpref), char(port), 0, 0, 0, 0, 0};
        startUp();
        rb::op::runFor(300);
    }

    // The simulated decks run on the test's clock too.
    void SetUp() override {
        fwsim_set_clock([](void *) { return uint64_t(TestClock::now()) * 1000; }, nullptr);
    }
    void TearDown() override {
        if (rb::app() && !rb::app()->quitting()) rb::app()->quit(0);
        rb::op::runFor(50);
        fwsim_set_clock(nullptr, nullptr);
    }

    void chooseFolder(const std::string &folder) {
        rb::op::answerFolder(folder);
        rb::op::click("controlwindow", "BevelButton1");
    }

    // Chooses the folder, then Start Capture through the cue dialog.
    void startCapture(const std::string &folder) {
        chooseFolder(folder);
        rb::op::answerOK();
        rb::op::click("controlwindow", "capturebutton");
    }

    // Starts a 10-frame capture (prefix q) on the test's tick clock and lets
    // it grab two frames.
    void captureTwoOfTen(const fs::path &out);

    // Stands the clock at tick `ticks` (1/60 s) counted from a whole second
    // after where it stood at the first call.
    void setTicks(int64_t ticks) {
        if (tickZeroUs_ < 0) tickZeroUs_ = (clock.nowUs() / 1'000'000 + 1) * 1'000'000;
        clock.set(tickZeroUs_ + ticks * 1'000'000 / 60 + 1);
    }

    CaptureWindow &main() { return captureWindow(); }
    controlwindow &palette() { return *static_cast<controlwindow *>(rb::findWindow("controlwindow")); }

    // Everything runs on it, from start-up on; the loop moves it as it runs.
    TestClock clock;

private:
    int64_t tickZeroUs_ = -1;
};

size_t filesIn(const fs::path &dir) { return size_t(std::distance(fs::directory_iterator(dir), {})); }

size_t count(const std::vector<std::string> &lines, const std::string &word) {
    size_t n = 0;
    for (auto &l : lines) n += l.find(word) != std::string::npos;
    return n;
}

}  // namespace

TEST_F(Tavrin, StartsWithLiveVideoSizedToTheSource) {
    start();
    ASSERT_NE(rb::findWindow("CaptureWindow"), nullptr);
    EXPECT_EQ(main().width(), 720);
    EXPECT_EQ(main().height(), 580);
    EXPECT_TRUE(app().devicepresent);
    EXPECT_FALSE(main().checkvideobutton->enabled());
    EXPECT_EQ(main().playstatus, kStopped);
    // The palette opens at the right edge of the main screen.
    EXPECT_EQ(palette().left(), 1280 - 428);
    EXPECT_EQ(palette().top(), 40);
    EXPECT_EQ(palette().title(), "Controls");
    // The poll timer has painted the video: not a blank area.
    const auto &px = main().surface.pixels;
    ASSERT_FALSE(px.empty());
    EXPECT_NE(std::count(px.begin(), px.end(), px.front()), std::ptrdiff_t(px.size()));
    EXPECT_EQ(main().surface.area.top, 100);
}

// A resized window hands the grabber the area below the strip of controls,
// across the whole window.
TEST_F(Tavrin, ResizedWindowGivesTheGrabberTheAreaBelowTheStrip) {
    start();
    main().setSize(800, 700);
    rb::ObjRef r = rb::getProp<rb::ObjRef>(ENTRY("QTGrabberPlyx.CurrentVideoSize.Get"), main().qGrab.get());
    ASSERT_TRUE(r);
    // The rectangle's data: top, bottom, left, right.
    EXPECT_EQ(rb::direct<int32_t>(r.get(), 0), 100);
    EXPECT_EQ(rb::direct<int32_t>(r.get(), 4), 700);
    EXPECT_EQ(rb::direct<int32_t>(r.get(), 8), 0);
    EXPECT_EQ(rb::direct<int32_t>(r.get(), 12), 800);
    EXPECT_EQ(rb::getProp<int32_t>(ENTRY("IntegerRectPlyx.Height.Get"), r.get()), 600);
}

TEST_F(Tavrin, GrabNowGrabsIntoMemoryAndSavesATiff) {
    start();
    fs::path file = gDir / "out" / "still";
    rb::op::answerFile(file.string());
    ASSERT_TRUE(rb::op::click("CaptureWindow", "BevelButton1"));
    rb::op::runFor(50);
    ASSERT_EQ(main().p.size(), 2u);
    const StillFrame *still = main().frame(1);
    ASSERT_NE(still, nullptr);
    EXPECT_EQ(still->width(), 720);
    EXPECT_EQ(still->height(), 480);
    // Saved as a 24-bit picture with the grabbed pixels.
    rb::ObjRef pic = still->picture();
    EXPECT_EQ(rb::pictureDepth(pic.get()), 24);
    EXPECT_EQ(rb::pixel(pic.get(), 360, 240), still->pixel(360, 240));
    TIFF *tif = TIFFOpen(file.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    uint32_t w = 0, h = 0;
    uint16_t spp = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFClose(tif);
    EXPECT_EQ(w, 720u);
    EXPECT_EQ(h, 480u);
    EXPECT_EQ(spp, 3);
    // The keys come back after the dialog while the application is in front.
    EXPECT_TRUE(app().shortcutsactive);
}

TEST_F(Tavrin, GrabNowCancelledWritesNothingAndInactiveAppKeepsKeysOff) {
    start();
    rb::op::setActive(false);
    rb::op::answerCancel();
    rb::op::click("CaptureWindow", "BevelButton1");
    EXPECT_NE(main().frame(1), nullptr);
    EXPECT_EQ(main().savepicture, nullptr);
    EXPECT_FALSE(app().shortcutsactive);
}

TEST_F(Tavrin, QuitWritesThePreferences) {
    start();
    rb::op::selectRow("controlwindow", "filecreator", 1);
    EXPECT_TRUE(rb::op::chooseMenu("FileQuit"));
    rb::op::runFor(50);
    std::ifstream in(gDir / "prefs" / kPrefsFileName, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(bytes, std::string("\x00\x00\x00\x00\x00\x00\x01", 7));
}

// The keys are polled every 34 ms of the runtime clock, which the test moves.
TEST_F(Tavrin, KeysDriveTheRs422Deck) {
    FakeDeck deck;
    start(1, deck.index);
    ASSERT_TRUE(main().Serial1.isOpen());
    deck.drain();
    // Holds the key for `ms` of the clock, then lets it go for `after`.
    auto press = [&](int key, int64_t ms, int64_t after) {
        rb::op::keyDown(key);
        clock.run(ms);
        rb::op::keyUp(key);
        clock.run(after);
    };

    // Space held: plays once while held.
    press(rb::KeySpace, 200, 100);
    auto lines = deck.drain();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "20 01 21 PLAY");
    EXPECT_EQ(main().playstatus, 1);

    // Space again pauses (RS-422 stops).
    press(rb::KeySpace, 100, 100);
    lines = deck.drain();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 8), "20 00 20");

    // K pauses on every tick while held: seven ticks in seven periods.
    press(rb::KeyK, 7 * 34, 0);
    EXPECT_EQ(count(deck.drain(), "20 00 20"), 7u);

    // L twice steps the speed: play, then the first forward rung.
    for (int i = 0; i < 2; ++i) press(rb::KeyL, 100, 100);
    lines = deck.drain();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(0, 11), "21 13 45 79");
    EXPECT_EQ(main().playstatus, 2);

    // Nothing acts while the application is inactive or a field has focus.
    rb::op::setActive(false);
    press(rb::KeyK, 150, 0);
    EXPECT_TRUE(deck.drain().empty());
    rb::op::setActive(true);
    palette().interval->setFocus();
    press(rb::KeyK, 150, 0);
    EXPECT_TRUE(deck.drain().empty());
    EXPECT_EQ(deck.bad, 0u);
}

TEST_F(Tavrin, ReopeningTheLinkLeaksNoDescriptor) {
    FakeDeck deck;
    start(1, deck.index);
    auto fds = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()); };
    auto before = fds();
    for (int i = 0; i < 5; ++i) main().EnableVideo();
    EXPECT_LE(fds(), before);
    // A stored port index that names no port fails softly.
    app().myserialport = 999;
    main().EnableVideo();
    EXPECT_FALSE(main().Serial1.isOpen());
}

// A port that cannot be opened is said in the status line, and goes once a
// port that opens is chosen in Deck Control Settings.
TEST_F(Tavrin, ADeckPortThatCannotBeOpenedIsSaidUntilOneOpens) {
    fs::path notATerminal = gDir / "notes.txt";
    std::ofstream(notATerminal) << "x";
    int gone = rb::SerialPorts::add("gone", (gDir / "no-such-tty").string());
    int plain = rb::SerialPorts::add("plain", notATerminal.string());
    FakeDeck deck;
    start(1, gone);
    EXPECT_FALSE(main().Serial1.isOpen());
    EXPECT_EQ(main().message->text(), "The serial port gone (" + (gDir / "no-such-tty").string() +
                                          ") cannot be opened: No such file or directory.");
    EXPECT_EQ(main().message->helpTag, main().message->text());  // the whole text, however narrow the window

    ASSERT_TRUE(rb::op::chooseMenu("VideoDeckControl"));
    rb::op::selectRow("ControlPrefswindow", "portsmenu", plain);
    rb::op::click("ControlPrefswindow", "rs422button");
    EXPECT_NE(main().message->text().find("(" + notATerminal.string() + ") cannot be opened: it is not a serial"),
              std::string::npos)
        << main().message->text();

    rb::op::selectRow("ControlPrefswindow", "portsmenu", deck.index);
    rb::op::click("ControlPrefswindow", "PushButton1");
    EXPECT_TRUE(main().Serial1.isOpen());
    EXPECT_EQ(main().message->text(), "");
    EXPECT_EQ(main().message->helpTag, "");
    main().stopaction();
    EXPECT_EQ(deck.drain().size(), 1u);

    // Choosing FireWire clears the note as well.
    app().myserialport = 999;
    main().EnableVideo();
    EXPECT_NE(main().message->text().find("There is no serial port number 1000"), std::string::npos);
    ASSERT_TRUE(rb::op::chooseMenu("VideoDeckControl"));
    rb::op::click("ControlPrefswindow", "firewirebutton");
    rb::op::click("ControlPrefswindow", "PushButton1");
    EXPECT_EQ(main().message->text().find("serial port"), std::string::npos) << main().message->text();
}

TEST_F(Tavrin, PaletteChecksInOrder) {
    start();
    app().devicepresent = false;
    rb::op::click("controlwindow", "capturebutton");
    app().devicepresent = true;
    rb::op::click("controlwindow", "capturebutton");
    rb::op::type("controlwindow", "framecount", "3");
    rb::op::type("controlwindow", "interval", "29");
    rb::op::click("controlwindow", "capturebutton");
    rb::op::type("controlwindow", "interval", "30");
    rb::op::click("controlwindow", "capturebutton");
    auto msgs = rb::op::messages();
    ASSERT_GE(msgs.size(), 4u);
    size_t n = msgs.size();
    EXPECT_EQ(msgs[n - 4],
              "You do not have a video source available.  Please enable the video in the Capture "
              "Window before proceeding.");
    EXPECT_EQ(msgs[n - 3], "You must enter a value for how many frames you want captured.");
    EXPECT_EQ(msgs[n - 2], "You must enter a value for the capture interval that is greater than 30");
    EXPECT_EQ(msgs[n - 1], "Please select a folder for the images to be saved in before continuing");
    EXPECT_EQ(palette().capturebutton->caption(), "Start Capture");
}

TEST_F(Tavrin, TimedCaptureEndsInNumberedTiffFiles) {
    FakeDeck deck;
    start(1, deck.index);
    deck.drain();
    fs::path out = gDir / "out" / "run";
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "1");
    rb::op::type("controlwindow", "nameprefix", "clip");
    rb::op::selectRow("controlwindow", "filecreator", 1);
    startCapture(out.string());
    EXPECT_EQ(palette().capturebutton->caption(), "Stop Capture");
    runUntil([&] { return palette().mymessage->text() == "Done"; }, 6s);
    EXPECT_EQ(palette().mymessage->text(), "Done");
    EXPECT_EQ(palette().capturebutton->caption(), "Start Capture");
    for (const char *name : {"clip000.tif", "clip001.tif"}) {
        fs::path f = out / name;
        ASSERT_TRUE(fs::exists(f)) << name;
        TIFF *tif = TIFFOpen(f.c_str(), "r");
        EXPECT_NE(tif, nullptr);
        if (tif) TIFFClose(tif);
        rb::FolderItem item(f.string());
        if (!item.macType().empty()) {
            EXPECT_EQ(item.macType(), "TIFF");
            EXPECT_EQ(item.macCreator(), "prvw");
        }
    }
    EXPECT_FALSE(fs::exists(out / "clip002.tif"));
    auto lines = deck.drain();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].substr(0, 8), "20 00 20");
    EXPECT_EQ(lines[1], "20 01 21 PLAY");
    EXPECT_EQ(lines[2].substr(0, 8), "20 00 20");
}

TEST_F(Tavrin, StopBeforeTheFirstGrabWritesNothingAndStopsTheDeck) {
    FakeDeck deck;
    start(1, deck.index);
    deck.drain();
    fs::path out = gDir / "out" / "early";
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "5");
    startCapture(out.string());
    rb::op::runFor(200);
    rb::op::click("controlwindow", "capturebutton");  // Stop Capture
    runUntil([&] { return palette().mymessage->text() == "Done"; }, 3s);
    EXPECT_EQ(palette().mymessage->text(), "Done");
    EXPECT_TRUE(fs::is_empty(out));
    auto lines = deck.drain();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2].substr(0, 8), "20 00 20");
}

// A folder that goes away during the run: the frames stay in memory, and
// Choose Folder plus Start Capture saves them all into another one, with
// no deck command and no new capture.
TEST_F(Tavrin, AFolderRemovedMidRunKeepsTheFramesForASecondFolder) {
    FakeDeck deck;
    start(1, deck.index);
    fs::path out = gDir / "out" / "gone";
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "1");
    rb::op::type("controlwindow", "nameprefix", "k");
    startCapture(out.string());
    fs::remove_all(out);  // the folder goes away during the run
    runUntil([&] { return palette().capturebutton->caption() == "Start Capture"; }, 6s);
    EXPECT_EQ(palette().capturebutton->caption(), "Start Capture");
    EXPECT_EQ(palette().mymessage->text(), "2 frames could not be saved: choose another folder");
    ASSERT_EQ(main().unsavedCount(), 2);
    deck.drain();

    // Start Capture with the folder still gone: refused, the frames kept.
    size_t shown = rb::op::messages().size();
    rb::op::click("controlwindow", "capturebutton");
    ASSERT_EQ(rb::op::messages().size(), shown + 1);
    EXPECT_EQ(rb::op::messages().back(), "Please select a folder for the images to be saved in before continuing");
    EXPECT_EQ(main().unsavedCount(), 2);

    // A Grab Now meanwhile does not touch them.
    rb::op::answerCancel();
    rb::op::click("CaptureWindow", "BevelButton1");
    EXPECT_EQ(main().unsavedCount(), 2);

    fs::path second = gDir / "out" / "second";
    fs::create_directories(second);
    rb::op::answerFolder(second.string());
    rb::op::click("controlwindow", "BevelButton1");
    shown = rb::op::messages().size();
    rb::op::click("controlwindow", "capturebutton");
    runUntil([&] { return palette().mymessage->text() == "Done"; }, 6s);
    EXPECT_EQ(palette().mymessage->text(), "Done");
    EXPECT_EQ(rb::op::messages().size(), shown);  // no cue dialog: nothing to cue
    for (const char *name : {"k000.tif", "k001.tif"}) {
        TIFF *tif = TIFFOpen((second / name).c_str(), "r");
        EXPECT_NE(tif, nullptr) << name;
        if (tif) TIFFClose(tif);
    }
    EXPECT_EQ(filesIn(second), 2u);
    EXPECT_EQ(main().unsavedCount(), 0);
    EXPECT_TRUE(deck.drain().empty());
    // The next Start Capture captures again.
    EXPECT_EQ(palette().capturebutton->caption(), "Start Capture");
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

TEST_F(Tavrin, DeckSettingsRs422ThenCancelMovesOnlyThePort) {
    FakeDeck first, second;
    start(1, first.index);
    ASSERT_TRUE(rb::op::chooseMenu("VideoDeckControl"));
    auto *dlg = rb::findWindow("ControlPrefswindow");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->control("rs422button")->value(), 1);
    rb::op::selectRow("ControlPrefswindow", "portsmenu", second.index);
    rb::op::click("ControlPrefswindow", "rs422button");
    rb::op::click("ControlPrefswindow", "PushButton2");
    EXPECT_EQ(app().controlpref, 1);
    EXPECT_EQ(app().myserialport, first.index);
    EXPECT_EQ(main().Serial1.index(), second.index);
    // The transport now reaches the second port.
    first.drain();
    main().stopaction();
    EXPECT_TRUE(first.drain().empty());
    EXPECT_EQ(second.drain().size(), 1u);
}

TEST_F(Tavrin, DeckSettingsOkWithFireWireStoresZero) {
    start(2);  // a stored link value of 2 means FireWire
    rb::op::chooseMenu("VideoDeckControl");
    auto *dlg = rb::findWindow("ControlPrefswindow");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->control("firewirebutton")->value(), 1);
    EXPECT_EQ(dlg->control("rs422button")->value(), 0);
    rb::op::click("ControlPrefswindow", "PushButton1");
    EXPECT_EQ(app().controlpref, 0);
    EXPECT_EQ(main().shuttleslider->maximum(), 16);
    EXPECT_EQ(main().shuttleslider->value(), 8);
    EXPECT_EQ(rb::findWindow("ControlPrefswindow"), nullptr);
}

TEST_F(Tavrin, ShuttleTablesOverEverySliderValue) {
    FakeDeck deck;
    start(1, deck.index);
    deck.drain();
    std::vector<std::string> sent;
    for (int v = 0; v <= 30; ++v) {
        main().shuttleslider->setValue(v);
        main().shuttle422();
        auto lines = deck.drain();
        sent.push_back(lines.empty() ? "" : lines[0].substr(0, 11));
    }
    EXPECT_EQ(sent[0], "");
    EXPECT_EQ(sent[1], "21 23 85 C9");
    EXPECT_EQ(sent[14], "21 23 20 64");
    EXPECT_EQ(sent[15].substr(0, 8), "20 00 20");
    EXPECT_EQ(sent[16], "21 13 20 54");
    EXPECT_EQ(sent[30], "21 13 90 C4");
    EXPECT_EQ(deck.bad, 0u);
}

TEST_F(Tavrin, SpeedLaddersOnRs422WithTheirEnds) {
    FakeDeck deck;
    start(1, deck.index);
    deck.drain();
    std::vector<std::string> got;
    for (int i = 0; i < 5; ++i) main().playaction();
    for (auto &l : deck.drain()) got.push_back(l.substr(0, 8));
    EXPECT_EQ(got, (std::vector<std::string>{"20 01 21", "21 13 45", "21 13 55", "21 13 65"}));
    EXPECT_EQ(main().playstatus, 4);
    // A rung of the other link's ladder after a switch: steps do nothing.
    main().playstatus = 3;
    app().controlpref = 0;
    main().incplayforward();
    main().incplayreverse();
    EXPECT_EQ(main().playstatus, 3);
    app().controlpref = 1;
    main().pauseaction();
    EXPECT_EQ(main().playstatus, kStopped);
    deck.drain();
    for (int i = 0; i < 5; ++i) main().playreverseaction();
    got.clear();
    for (auto &l : deck.drain()) got.push_back(l.substr(0, 8));
    EXPECT_EQ(got, (std::vector<std::string>{"21 23 40", "21 23 45", "21 23 55", "21 23 65"}));
    EXPECT_EQ(main().playstatus, 13);
}

TEST_F(Tavrin, FireWireLadderWithoutADeckStillMovesTheStatus) {
    start();
    main().playreverseaction();
    EXPECT_EQ(main().playstatus, 10);
    main().playreverseaction();
    EXPECT_EQ(main().playstatus, 11);
    main().playreverseaction();
    EXPECT_EQ(main().playstatus, 14);
    main().playaction();
    EXPECT_EQ(main().playstatus, 11);
    main().fastforwardaction();
    EXPECT_EQ(main().playstatus, 11);
}

TEST_F(Tavrin, GrabsComeOneIntervalApartOnTheTickClock) {
    FakeDeck deck;
    start(1, deck.index);
    setTicks(0);
    fs::path out = gDir / "out" / "timed";
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "3");
    startCapture(out.string());
    ASSERT_TRUE(runUntilStill([] { return nextGrabDue() >= 0; }, 5s));
    std::vector<int64_t> grabbedAt;
    for (int64_t t = 1; t <= 300 && grabbedAt.size() < 4; ++t) {
        int before = palette().counter;
        setTicks(t);
        rb::op::runFor(4);
        if (t % 60 == 0) runUntilStill([&] { return palette().counter != before; }, 5s);
        if (palette().counter != before) grabbedAt.push_back(t);
    }
    EXPECT_EQ(grabbedAt, (std::vector<int64_t>{60, 120, 180, 240}));
    runUntil([&] { return palette().mymessage->text() == "Done"; }, 1s);
    EXPECT_EQ(palette().ProgressBar1->maximum(), 100);
    EXPECT_EQ(palette().mymessage->text(), "Done");
    for (const char *n : {"000", "001", "002", "003"}) EXPECT_TRUE(fs::exists(out / (std::string(n) + ".tif"))) << n;
    EXPECT_FALSE(fs::exists(out / "004.tif"));
}

TEST_F(Tavrin, StopAfterTwoGrabsSavesThoseTwo) {
    FakeDeck deck;
    start(1, deck.index);
    setTicks(0);
    fs::path out = gDir / "out" / "two";
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "10");
    rb::op::type("controlwindow", "nameprefix", "t");
    startCapture(out.string());
    runUntilStill([] { return nextGrabDue() >= 0; }, 5s);  // the run's first tick is the clock's now
    for (int64_t t : {60, 120}) {
        setTicks(t);
        runUntilStill([&] { return palette().counter >= t / 60; }, 5s);
    }
    ASSERT_EQ(palette().counter, 2);
    rb::op::click("controlwindow", "capturebutton");  // Stop Capture
    EXPECT_FALSE(palette().capturebutton->enabled());
    runUntil([&] { return palette().mymessage->text() == "Done"; }, 2s);
    EXPECT_EQ(palette().mymessage->text(), "Done");
    EXPECT_TRUE(fs::exists(out / "t000.tif"));
    EXPECT_TRUE(fs::exists(out / "t001.tif"));
    EXPECT_FALSE(fs::exists(out / "t002.tif"));
    auto lines = deck.drain();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().substr(0, 8), "20 00 20");
}

TEST_F(Tavrin, StaleFramesOfAnEarlierRunAreNotSavedAgain) {
    start();
    fs::path out = gDir / "out" / "stale";
    fs::create_directories(out);
    // A frame in the array from Grab Now, then a run stopped before its first grab.
    rb::op::answerCancel();
    rb::op::click("CaptureWindow", "BevelButton1");
    ASSERT_NE(main().frame(1), nullptr);
    rb::op::type("controlwindow", "framecount", "5");
    startCapture(out.string());
    rb::op::runFor(100);
    rb::op::click("controlwindow", "capturebutton");
    runUntil([&] { return palette().mymessage->text() == "Done"; }, 1s);
    EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(Tavrin, GrabNowDuringARunKeepsTheRunsFrames) {
    start();
    fs::path out = gDir / "out" / "during";
    fs::create_directories(out);
    setTicks(0);
    rb::op::type("controlwindow", "framecount", "3");
    startCapture(out.string());
    runUntilStill([] { return nextGrabDue() >= 0; }, 5s);  // the run's first tick is the clock's now
    for (int64_t t : {60, 120, 180}) {
        setTicks(t);
        runUntilStill([&] { return palette().counter >= t / 60; }, 5s);
    }
    ASSERT_EQ(palette().counter, 3);
    const StillFrame *second = main().frame(1);
    ASSERT_NE(second, nullptr);
    rb::op::answerFile((gDir / "out" / "during-still").string());
    rb::op::click("CaptureWindow", "BevelButton1");
    EXPECT_EQ(main().frame(1), second);  // not overwritten
    EXPECT_EQ(main().p.size(), 3u);      // nothing dropped
    EXPECT_TRUE(fs::exists(gDir / "out" / "during-still"));
    // Lowering the count and stopping keeps what was grabbed.
    rb::op::type("controlwindow", "framecount", "0");
    runUntil([&] { return palette().mymessage->text() == "Done"; }, 2s);
    for (const char *n : {"000", "001", "002"}) EXPECT_TRUE(fs::exists(out / (std::string(n) + ".tif"))) << n;
}

// A '/' in the prefix is mapped to ':' as the folder item maps it: the frame
// is kept, inside the chosen folder.
TEST_F(Tavrin, APrefixWithASlashStaysInTheChosenFolder) {
    start();
    fs::path out = gDir / "out" / "prefix";
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "0");
    rb::op::type("controlwindow", "nameprefix", "../escape");
    startCapture(out.string());
    runUntil([&] { return palette().capturebutton->caption() == "Start Capture"; }, 2s);
    EXPECT_FALSE(fs::exists(gDir / "out" / "escape000.tif"));
    EXPECT_TRUE(fs::exists(out / "..:escape000.tif"));
    EXPECT_EQ(palette().mymessage->text(), "Done");
    rb::op::type("controlwindow", "nameprefix", "a/b");
    startCapture(out.string());
    runUntil([&] { return palette().capturebutton->caption() == "Start Capture"; }, 2s);
    EXPECT_TRUE(fs::exists(out / "a:b000.tif"));
    EXPECT_FALSE(fs::exists(out / "a"));
}

TEST_F(Tavrin, KeysAndTheCaptureThreadTogetherSendWholeCommands) {
    FakeDeck deck;
    start(1, deck.index);
    deck.drain();
    fs::path out = gDir / "out" / "together";
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "1");
    rb::op::answerFolder(out.string());
    rb::op::click("controlwindow", "BevelButton1");
    rb::op::answerOK();
    // K held: a pause command on every tick while the thread stops, plays
    // and stops the deck between its own yields. (A click on the palette's
    // background takes the focus from its fields, so the keys are live.)
    palette().MouseDown(1, 1);
    ASSERT_TRUE(app().shortcutsactive);
    rb::op::keyDown(rb::KeyK);
    rb::op::click("controlwindow", "capturebutton");
    runUntil([&] { return palette().mymessage->text() == "Done"; }, 3s);
    rb::op::keyUp(rb::KeyK);
    auto lines = deck.drain();
    EXPECT_GT(lines.size(), 20u);
    EXPECT_EQ(deck.bad, 0u);
    EXPECT_EQ(count(lines, "PLAY"), 1u);
}

TEST_F(Tavrin, FireWireDeckDrivenFromTheWindow) {
    setenv("TAVRIN_AVC_UNITS", "1", 1);
    start();
    ASSERT_TRUE(main().deckPresent());
    rb::op::click("CaptureWindow", "playbutton");
    EXPECT_EQ(main().playstatus, 1);
    rb::op::runFor(1200);
    // The time code of the playing deck shows every 50 ms.
    std::string tc = main().mytc->text();
    EXPECT_EQ(tc.size(), 11u);
    EXPECT_NE(tc, "--:--:--:--");
    EXPECT_NE(tc, "00:00:00:00");
    rb::op::click("CaptureWindow", "stopbutton");
    EXPECT_EQ(main().playstatus, kStopped);
    // The shuttle: value 8 pauses, 0 plays backwards at speed 7.
    EXPECT_EQ(main().shuttleslider->maximum(), 16);
    rb::op::setSlider("CaptureWindow", "shuttleslider", 12);
    rb::op::mouseExit("CaptureWindow", "shuttleslider");
    EXPECT_EQ(main().shuttleslider->value(), 8);
    // L twice: play, then PlayForward(2).
    rb::op::keyDown(rb::KeyL);
    rb::op::runFor(100);
    rb::op::keyUp(rb::KeyL);
    rb::op::runFor(100);
    rb::op::keyDown(rb::KeyL);
    rb::op::runFor(100);
    rb::op::keyUp(rb::KeyL);
    rb::op::runFor(100);
    EXPECT_EQ(main().playstatus, 2);
}

TEST_F(Tavrin, FireWireEventsReachTheStatusLine) {
    setenv("TAVRIN_AVC_UNITS", "1", 1);
    start();
    ASSERT_TRUE(main().deckPresent());
    int unit = fwsim_unit_id(0);
    fwsim_bus_reset();
    rb::op::runFor(100);
    EXPECT_EQ(main().message->text(),
              "IOMessageServiceIsResumed (bus reset end), handle bus reset done vcr was already inited");
    // A closing request lets the deck go; an opening attempt takes it again.
    fwsim_send_message(unit, 0xE0000100, nullptr);
    rb::op::runFor(50);
    EXPECT_EQ(main().message->text(), "IOMessageServiceIsRequestingClose");
    EXPECT_FALSE(main().deckPresent());
    fwsim_send_message(unit, 0xE0000101, nullptr);
    rb::op::runFor(50);
    EXPECT_TRUE(main().deckPresent());
    // A power message only changes the line; position 18 has no handler.
    fwsim_send_message(unit, 0xE0000280, nullptr);
    rb::op::runFor(50);
    EXPECT_EQ(main().message->text(), "IOMessageSystemWillSleep");
    fwsim_send_message(unit, 0xE00087D0, nullptr);
    fwsim_send_message(unit, 0x12345678, nullptr);
    rb::op::runFor(50);
    EXPECT_EQ(main().message->text(), "IOMessageSystemWillSleep");
    // After the unit was released, a bus reset opens it again.
    fwsim_send_message(unit, 0xE0000100, nullptr);
    rb::op::runFor(50);
    fwsim_bus_reset();
    rb::op::runFor(100);
    EXPECT_EQ(main().message->text(), "got it to work.................!");
    EXPECT_TRUE(main().deckPresent());
}

TEST_F(Tavrin, EachNotificationObjectHearsEachMessageOnce) {
    setenv("TAVRIN_AVC_UNITS", "1", 1);
    start();
    // A second FireWire set-up replaces both objects; the old notification
    // object is released while the new one lives.
    main().initfirewire();
    main().initfirewire();
    rb::op::runFor(50);
    int before = 0;
    main().message->setText("");
    fwsim_send_message(fwsim_unit_id(0), 0xE0000280, nullptr);
    rb::op::runFor(50);
    EXPECT_EQ(main().message->text(), "IOMessageSystemWillSleep");
    (void)before;
    // A device plugged in after the objects were replaced is still heard.
    int added = fwsim_add_default_unit();
    rb::op::runFor(50);
    fwsim_send_message(added, 0xE0000290, nullptr);
    rb::op::runFor(50);
    EXPECT_EQ(main().message->text(), "IOMessageSystemWillNotSleep");
}

TEST_F(Tavrin, FireWireCaptureSurvivesBusResetAndReplug) {
    setenv("TAVRIN_AVC_UNITS", "1", 1);
    start();
    fs::path out = gDir / "out" / "fwcapture";
    fs::create_directories(out);
    setTicks(0);
    rb::op::type("controlwindow", "framecount", "2");
    startCapture(out.string());
    runUntilStill([] { return nextGrabDue() >= 0; }, 5s);  // the run's first tick is the clock's now
    setTicks(60);
    runUntilStill([&] { return palette().counter >= 1; }, 5s);
    fwsim_bus_reset();
    rb::op::runFor(50);
    fwsim_remove_unit(fwsim_unit_id(0));  // unplugged
    rb::op::runFor(50);
    setTicks(120);
    runUntilStill([&] { return palette().counter >= 2; }, 5s);
    fwsim_add_default_unit();  // plugged in again
    rb::op::runFor(50);
    setTicks(180);
    runUntil([&] { return palette().mymessage->text() == "Done"; }, 2s);
    EXPECT_EQ(palette().mymessage->text(), "Done");
    for (const char *n : {"000", "001", "002"}) EXPECT_TRUE(fs::exists(out / (std::string(n) + ".tif"))) << n;
}

namespace {

// Waits (on the real clock) until the capture palette is idle again.
void waitForIdle(controlwindow &pal, int seconds) {
    runUntil([&] { return pal.capturebutton->caption() == "Start Capture"; }, std::chrono::seconds(seconds));
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

}  // namespace

// A deck on Linux's FireWire stack (its transport answering from a
// simulated deck): the transport keys, the time code, and bus resets that
// keep, unplug and bring back the deck, as the status line tells them.
TEST_F(Tavrin, FireWireDeckOnTheLinuxBus) {
    int deck = fwsim_add_offbus_unit();
    auto fire = FakeFireWire::withDecks({deck});
    ASSERT_EQ(fw::linux1394::restart("linux", std::make_unique<FakeTransport>(fire)), FWBUS_LINUX);
    start();
    ASSERT_TRUE(main().deckPresent());
    auto sent = [&](std::vector<uint32_t> quadlets) {
        size_t n = 0;
        for (const auto &s : fire->sent) n += s.quadlets == quadlets;
        return n;
    };
    rb::op::click("CaptureWindow", "playbutton");
    EXPECT_EQ(sent({0x0020C375}), 1u);  // PLAY FORWARD
    runUntil([&] { return main().mytc->text() != "--:--:--:--" && main().mytc->text() != "00:00:00:00"; }, 2s);
    EXPECT_EQ(main().mytc->text().substr(0, 6), "00:00:");
    EXPECT_GT(sent({0x01205171, 0xFFFFFFFF}), 0u);  // TIME CODE status queries

    const std::vector<FakeNode> plugged = fire->nodes[0], unplugged{plugged[0]};
    const std::string resumed =
        "IOMessageServiceIsResumed (bus reset end), handle bus reset done vcr was already inited";
    fire->busReset(0, plugged);
    runUntil([&] { return main().message->text() == resumed; }, 2s);
    EXPECT_EQ(main().message->text(), resumed);
    fire->busReset(0, unplugged);
    runUntil([&] { return main().message->text() == "IOMessageServiceIsTerminated, handle device removed here"; }, 2s);
    EXPECT_EQ(main().message->text(), "IOMessageServiceIsTerminated, handle device removed here");
    // Plugged in again: the deck answers the same object, and the next reset
    // finds it open.
    fire->busReset(0, plugged);
    rb::op::runFor(100);
    main().message->setText("");
    fire->busReset(0, plugged);
    runUntil([&] { return main().message->text() == resumed; }, 2s);
    EXPECT_EQ(main().message->text(), resumed);
    rb::op::click("CaptureWindow", "stopbutton");
    EXPECT_EQ(sent({0x0020C37D}), 1u);  // PLAY FORWARD PAUSE
    uint8_t mode = 0, state = 0;
    fwsim_transport(deck, &mode, &state);
    EXPECT_EQ(mode, 0xC3);
    EXPECT_EQ(state, 0x7D);
}

// No permission on a FireWire device file: the simulated deck, and the
// status line names the file and the fix.
TEST_F(Tavrin, FireWirePermissionFaultIsOnTheStatusLine) {
    setenv("TAVRIN_AVC_UNITS", "1", 1);
    auto fire = std::make_shared<FakeFireWire>();
    fire->files = {2, "/dev/fw1"};
    ASSERT_EQ(fw::linux1394::restart(nullptr, std::make_unique<FakeTransport>(fire)), FWBUS_SIM);
    start();
    std::string line = main().message->text();
    EXPECT_EQ(line.rfind("No permission on /dev/fw1 (FireWire): ", 0), 0u) << line;
    EXPECT_NE(line.find("udev rule"), std::string::npos) << line;
    EXPECT_NE(line.find("sudo adduser $USER video"), std::string::npos) << line;
    EXPECT_NE(line.find("Using the simulated deck."), std::string::npos) << line;
    EXPECT_TRUE(main().deckPresent());
}

// A FireWire deck that stops answering: every query waits out the AV/C
// time-out, and the time-code timer must not push the grabs off schedule.
// The deck's waits move the runtime's clock, which the test moves too.
TEST_F(Tavrin, ASilentFireWireDeckKeepsGrabsOnSchedule) {
    setenv("TAVRIN_AVC_UNITS", "1", 1);
    start();
    setenv("TAVRIN_AVC_UNITS", "0", 1);
    ASSERT_TRUE(main().deckPresent());
    setTicks(0);
    fwsim_set_wait([](void *c, int ms) { static_cast<TestClock *>(c)->advance(ms); }, &clock);
    // Two milliseconds of the clock, a loop pass after each.
    auto step = [] { rb::op::runFor(2); };
    fwsim_set_fault(fwsim_unit_id(0), FWSIM_TIMEOUT, 0);
    fs::path out = gDir / "out" / "silent";
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "3");
    startCapture(out.string());
    // Each grab's tick as the thread took it: the next one is due an
    // interval after it.
    std::vector<int64_t> due;
    for (int ms = 0; ms < 20000 && palette().capturebutton->caption() == "Stop Capture" && due.size() < 5; ms += 2) {
        step();
        int64_t d = nextGrabDue();
        if (d >= 0 && (due.empty() || due.back() != d)) due.push_back(d);
    }
    ASSERT_TRUE(runUntil([&] { return palette().capturebutton->caption() == "Start Capture"; }, 10s));
    ASSERT_EQ(due.size(), 5u);
    std::vector<int64_t> late;
    for (size_t i = 0; i + 1 < due.size(); ++i) late.push_back(due[i + 1] - 60 - due[i]);
    for (size_t i = 0; i < late.size(); ++i) EXPECT_LE(late[i], 2) << "grab " << i;
    std::printf("silent deck: grab lateness %lld %lld %lld %lld ticks\n", (long long)late[0], (long long)late[1],
                (long long)late[2], (long long)late[3]);
    EXPECT_EQ(palette().mymessage->text(), "Done");
    EXPECT_EQ(filesIn(out), 4u);
    // The deck answers again: the time code comes back at the normal rhythm.
    fwsim_set_fault(fwsim_unit_id(0), FWSIM_OK, 0);
    main().mytc->setText("");
    for (int ms = 0; ms < 1500; ms += 2) step();
    EXPECT_EQ(main().mytc->text().size(), 11u) << main().mytc->text();
    fwsim_set_wait(nullptr, nullptr);
}

// Frames too large for the memory left: the run stops at the first frame
// that cannot be had, saves the ones grabbed and says how many are missing.
TEST_F(Tavrin, AFrameThatCannotBeGrabbedIsMissingNotSaved) {
    if (kSanitized) GTEST_SKIP() << "an address-space limit cannot be set under the address sanitizer";
    setenv("TAVRIN_VIDEO_SIZE", "2048x2048", 1);
    start();
    unsetenv("TAVRIN_VIDEO_SIZE");
    fs::path out = gDir / "out" / "nomemory";
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "40");
    setTicks(0);
    startCapture(out.string());
    runUntilStill([] { return nextGrabDue() >= 0; }, 5s);  // the run's first tick is the clock's now
    // Room for a few frames of 12 MiB besides the grab's passing blocks and
    // what the run sets aside for saving.
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    statm >> pages;
    rlimit old{};
    getrlimit(RLIMIT_AS, &old);
    rlimit tight = old;
    tight.rlim_cur = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (160u << 20);
    setrlimit(RLIMIT_AS, &tight);
    auto grabbing = [this] { return palette().mymessage->text() == "Capturing frames..."; };
    for (int64_t t = 60; t <= 41 * 60 && grabbing(); t += 60) {
        int before = palette().counter;
        setTicks(t);
        runUntilStill([&] { return palette().counter != before || !grabbing(); }, 5s);
    }
    // The save pass has the memory back before its first file.
    setrlimit(RLIMIT_AS, &old);
    EXPECT_EQ(palette().mymessage->text(), "Saving frames to disk...");
    waitForIdle(palette(), 60);
    int grabbed = palette().counter;
    ASSERT_GT(grabbed, 0);
    ASSERT_LT(grabbed, 41);
    EXPECT_EQ(palette().mymessage->text(), std::to_string(41 - grabbed) + " frames missing (out of memory)");
    EXPECT_GT(grabbed, 1);
    EXPECT_EQ(filesIn(out), size_t(grabbed));
    EXPECT_TRUE(fs::exists(out / frameFileName("", grabbed - 1)));
}

// The save pass writes every file first and puts them all in place at the
// end, with one sync: until then the frames stay in memory and no frame
// file shows under its name. A file that cannot be put in place then is a
// frame not saved, kept in memory; the others are saved and let go.
TEST_F(Tavrin, TheSavePassPutsTheFilesInPlaceTogetherAndKeepsWhatFails) {
    start();
    fs::path out = gDir / "out" / "together";
    fs::create_directories(out);
    constexpr int kFrames = 41;  // enough files that the test sees the pass before its end, however busy the machine
    rb::op::type("controlwindow", "framecount", std::to_string(kFrames - 1));
    rb::op::type("controlwindow", "nameprefix", "clip");
    setTicks(0);
    startCapture(out.string());
    runUntilStill([] { return nextGrabDue() >= 0; }, 5s);  // the run's first tick is the clock's now
    for (int64_t t = 60; t <= kFrames * 60; t += 60) {
        setTicks(t);
        runUntilStill([&] { return palette().counter >= t / 60; }, 500ms);
    }
    ASSERT_EQ(palette().counter, kFrames);
    ASSERT_TRUE(runUntil([&] { return palette().mymessage->text() == "Saving frames to disk..."; }, 20s));
    // From here the main thread holds the baton but for turns of the capture
    // thread, which yields after each file.
    auto began = std::chrono::steady_clock::now();
    while (palette().ProgressBar1->value() < 2 && std::chrono::steady_clock::now() - began < 20s) rb::yield();
    const int written = palette().ProgressBar1->value();
    ASSERT_GE(written, 2);
    ASSERT_LT(written, kFrames) << "the pass was seen only after its last file";
    size_t temporaries = 0;
    for (auto &e : fs::directory_iterator(out)) {
        std::string name = e.path().filename().string();
        EXPECT_EQ(name.rfind(".clip0", 0), 0u) << name << ": no frame file under its name yet";
        ++temporaries;
    }
    EXPECT_EQ(temporaries, size_t(written));
    for (int i = 0; i < kFrames; ++i) EXPECT_NE(main().frame(i), nullptr) << i << " is not on the disk yet";

    // Before the end of the pass a full folder takes the name of frame 1.
    fs::create_directories(out / "clip001.tif");
    std::ofstream(out / "clip001.tif" / "someone's") << "kept";
    waitForIdle(palette(), 20);
    EXPECT_EQ(palette().mymessage->text(), "1 frame could not be saved: choose another folder");
    EXPECT_TRUE(fs::is_directory(out / "clip001.tif"));
    for (int i = 0; i < kFrames; ++i) {
        if (i == 1) continue;
        fs::path f = out / frameFileName("clip", i);
        EXPECT_TRUE(fs::is_regular_file(f)) << f;
        EXPECT_EQ(fs::file_size(f), 720u * 480 * 3 + 1164) << f;
    }
    EXPECT_EQ(filesIn(out), size_t(kFrames)) << "no temporary file left";
    // The frame that is not on the disk is still in memory, and only it.
    EXPECT_TRUE(main().p.empty());
    const std::vector<std::shared_ptr<StillFrame>> &left = main().unsaved;
    size_t kept = 0;
    for (size_t i = 0; i < left.size(); ++i) {
        if (left[i]) {
            ++kept;
            EXPECT_EQ(i, 1u);
        }
    }
    EXPECT_EQ(kept, 1u);
}

// A file-size limit: the write fails and is reported like any failed save,
// the program lives on, and no partial or temporary file is left behind.
TEST_F(Tavrin, AFileSizeLimitLeavesNoPartialFile) {
    start();
    fs::path out = gDir / "out" / "fsize";
    fs::create_directories(out);
    // What a save killed mid-write once left, and a hidden file of someone else's.
    std::ofstream(out / ".clip000.tif.tmp-Ab12Cd") << "partial";
    std::ofstream(out / ".keep") << "";
    rb::op::type("controlwindow", "framecount", "1");
    rb::op::type("controlwindow", "nameprefix", "clip");
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 64 * 1024;  // a frame's TIFF is about 1 MB
    setrlimit(RLIMIT_FSIZE, &small);
    startCapture(out.string());
    waitForIdle(palette(), 10);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(palette().mymessage->text(), "2 frames could not be saved: choose another folder");
    std::vector<std::string> left;
    for (auto &e : fs::directory_iterator(out)) left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{".keep"});
}

// A saved frame file is the exporter's bytes, whole and nothing else, from
// the save pass and from Grab Now alike, and the save leaves no temporary
// file beside it.
TEST_F(Tavrin, SavedFrameIsExactlyTheExportersBytes) {
    start();
    fs::path out = gDir / "out" / "exact";
    fs::create_directories(out);
    main().GrabStill(0);
    main().GrabStill(1);
    ASSERT_NE(main().frame(1), nullptr);
    palette().savefolder = rb::FolderItem::make(out.string());
    rb::op::type("controlwindow", "nameprefix", "x");
    main().savefiles(0);
    main().savefiles(1);
    for (int i : {0, 1}) {
        rb::String expected = exportTIFF(main().frame(i)->picture().get());
        ASSERT_TRUE(expected);
        std::ifstream in(out / frameFileName("x", i), std::ios::binary);
        std::string saved{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(saved.size(), 720u * 480 * 3 + 1164);
        EXPECT_TRUE(saved == bytesOf(expected)) << i;
    }
    main().savepicture = rb::FolderItem::make((out / "single").string());
    main().savesinglefile(1);
    std::ifstream in(out / "single", std::ios::binary);
    std::string single{std::istreambuf_iterator<char>(in), {}};
    EXPECT_TRUE(single == bytesOf(exportTIFF(main().frame(1)->picture().get())));
    size_t files = 0;
    for ([[maybe_unused]] const auto &e : fs::directory_iterator(out)) ++files;
    EXPECT_EQ(files, 3u);
}

// ---- quitting during a capture ---------------------------------------------------

namespace {

void Tavrin::captureTwoOfTen(const fs::path &out) {
    setTicks(0);
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "10");
    rb::op::type("controlwindow", "nameprefix", "q");
    startCapture(out.string());
    runUntilStill([] { return nextGrabDue() >= 0; }, 5s);  // the run's first tick is the clock's now
    for (int64_t tick : {60, 120}) {
        setTicks(tick);
        runUntilStill([&] { return palette().counter >= tick / 60; }, 5s);
    }
}

}  // namespace

// Each way of quitting during a capture stops it and the deck, saves the
// frames grabbed, and only then quits.
class QuitDuringCapture : public Tavrin, public ::testing::WithParamInterface<const char *> {};

TEST_P(QuitDuringCapture, SavesTheGrabbedFramesThenQuits) {
    std::string how = GetParam();
    FakeDeck deck;
    start(1, deck.index);
    deck.drain();
    fs::path out = gDir / "out" / ("quit-" + how);
    captureTwoOfTen(out);
    ASSERT_EQ(palette().counter, 2);
    deck.drain();

    if (how == "menu") {
        ASSERT_TRUE(rb::op::chooseMenu("FileQuit"));
    } else if (how == "closebox") {
        ASSERT_TRUE(rb::op::closeWindow("CaptureWindow"));
    } else {
        ASSERT_EQ(::raise(how == "SIGTERM" ? SIGTERM : SIGINT), 0);
        runUntil([&] { return !app().allowcapture; }, 2s);
    }
    // Not yet: the capture stops first and its frames are saved.
    EXPECT_FALSE(rb::app()->quitting());
    EXPECT_FALSE(app().allowcapture);
    ASSERT_NE(rb::findWindow("CaptureWindow"), nullptr);
    EXPECT_FALSE(palette().capturebutton->enabled());
    runUntil([&] { return rb::app()->quitting(); }, 5s);
    ASSERT_TRUE(rb::app()->quitting());
    EXPECT_EQ(rb::app()->exitCode(), 0);
    EXPECT_TRUE(fs::exists(out / "q000.tif"));
    EXPECT_TRUE(fs::exists(out / "q001.tif"));
    EXPECT_EQ(filesIn(out), 2u);
    auto lines = deck.drain();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().substr(0, 8), "20 00 20");
    EXPECT_EQ(count(lines, "PLAY"), 0u);
    // The preferences were written on the way out.
    EXPECT_TRUE(fs::exists(gDir / "prefs" / kPrefsFileName));
}

INSTANTIATE_TEST_SUITE_P(Ways, QuitDuringCapture, ::testing::Values("menu", "closebox", "SIGTERM", "SIGINT"));

// Frames that cannot be saved when the quit comes keep the application
// open, with the status line saying so; the next quit goes.
TEST_F(Tavrin, AQuitWhoseFramesCannotBeSavedStaysOpen) {
    start();
    fs::path out = gDir / "out" / "quit-gone";
    captureTwoOfTen(out);
    fs::remove_all(out);
    ASSERT_TRUE(rb::op::chooseMenu("FileQuit"));
    runUntil([&] { return palette().capturebutton->caption() == "Start Capture"; }, 5s);
    rb::op::runFor(50);
    EXPECT_FALSE(rb::app()->quitting());
    EXPECT_EQ(palette().mymessage->text(), "2 frames could not be saved: choose another folder");
    EXPECT_EQ(main().unsavedCount(), 2);
    ASSERT_TRUE(rb::op::chooseMenu("FileQuit"));
    EXPECT_TRUE(rb::app()->quitting());
}

// The main window's close box without a capture quits at once.
TEST_F(Tavrin, ClosingTheMainWindowQuits) {
    start();
    ASSERT_TRUE(rb::op::closeWindow("CaptureWindow"));
    EXPECT_TRUE(rb::app()->quitting());
    EXPECT_EQ(rb::findWindow("controlwindow"), nullptr);
}

// ---- checks at Start, before the deck moves --------------------------------------------

namespace {

// Makes `dir` read-only for this process, root included: a read-only bind
// mount in a mount namespace of its own (each test runs in a process of its
// own). False when that is not possible here.
bool makeReadOnly(const fs::path &dir) {
    if (::geteuid() != 0) {
        fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
        return true;
    }
    return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
           ::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
}

}  // namespace

TEST_F(Tavrin, AReadOnlyFolderIsRefusedBeforeTheDeckMoves) {
    fs::path out = gDir / "out" / "readonly";
    fs::create_directories(out);
    if (!makeReadOnly(out)) GTEST_SKIP() << "no read-only folder can be made here";
    FakeDeck deck;
    start(1, deck.index);
    deck.drain();
    rb::op::type("controlwindow", "framecount", "3");
    chooseFolder(out.string());
    size_t shown = rb::op::messages().size();
    rb::op::answerOK();
    rb::op::click("controlwindow", "capturebutton");
    ASSERT_EQ(rb::op::messages().size(), shown + 1);  // the refusal, no cue dialog
    std::string says = "The images cannot be saved in the folder \"" + out.string() + "\" (";
    EXPECT_EQ(rb::op::messages().back().substr(0, says.size()), says);
    EXPECT_NE(rb::op::messages().back().find("Please choose another folder."), std::string::npos);
    EXPECT_EQ(palette().capturebutton->caption(), "Start Capture");
    EXPECT_FALSE(captureRunning());
    rb::op::runFor(200);
    EXPECT_TRUE(deck.drain().empty());
    EXPECT_TRUE(fs::is_empty(out));
    if (::geteuid() == 0) ::umount2(out.c_str(), MNT_DETACH);
}

TEST_F(Tavrin, AnOverlongPrefixIsRefusedBeforeTheDeckMoves) {
    FakeDeck deck;
    start(1, deck.index);
    deck.drain();
    fs::path out = gDir / "out" / "longname";
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "3");
    rb::op::type("controlwindow", "nameprefix", std::string(300, 'a'));
    chooseFolder(out.string());
    size_t shown = rb::op::messages().size();
    rb::op::click("controlwindow", "capturebutton");
    ASSERT_EQ(rb::op::messages().size(), shown + 1);
    // The limit said is the longest prefix the save takes: 255 bytes less
    // the frame's "003.tif" and the temporary name's 12 bytes.
    EXPECT_EQ(rb::op::messages().back(),
              "The name prefix is too long: this folder takes prefixes of up to 236 bytes for these "
              "frames.  Please choose a shorter prefix.");
    rb::op::runFor(200);
    EXPECT_TRUE(deck.drain().empty());
    EXPECT_TRUE(fs::is_empty(out));
    // The longest name counts: what fits for frame 999 but not for frame
    // 1000 (one digit more, and the save's temporary name) is refused too.
    // "999.tif" and what the save's temporary name adds besides.
    std::string prefix(255 - rb::BinaryStream::temporaryNameExtra() - 7, 'b');
    rb::op::type("controlwindow", "nameprefix", prefix);
    rb::op::type("controlwindow", "framecount", "999");
    startCapture(out.string());
    EXPECT_EQ(palette().capturebutton->caption(), "Stop Capture");
    rb::op::click("controlwindow", "capturebutton");
    runUntil([&] { return palette().capturebutton->caption() == "Start Capture"; }, 3s);
    rb::op::type("controlwindow", "framecount", "1000");
    shown = rb::op::messages().size();
    rb::op::click("controlwindow", "capturebutton");
    EXPECT_EQ(palette().capturebutton->caption(), "Start Capture");
    ASSERT_EQ(rb::op::messages().size(), shown + 1);
    EXPECT_NE(rb::op::messages().back().find("up to 235 bytes"), std::string::npos) << rb::op::messages().back();
}

// ---- the interval in 64 bits -----------------------------------------------------------

TEST_F(Tavrin, AnIntervalBeyondTheFieldIsRefused) {
    FakeDeck deck;
    start(1, deck.index);
    deck.drain();
    fs::path out = gDir / "out" / "overflow";
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "3");
    chooseFolder(out.string());
    for (const char *interval : {"9999999999", "2147483648", "-9999999999"}) {
        rb::op::type("controlwindow", "interval", interval);
        size_t shown = rb::op::messages().size();
        rb::op::click("controlwindow", "capturebutton");
        ASSERT_EQ(rb::op::messages().size(), shown + 1) << interval;
        EXPECT_EQ(rb::op::messages().back(), "You must enter a value for the capture interval that is greater than 30");
        EXPECT_EQ(palette().capturebutton->caption(), "Start Capture");
    }
    EXPECT_TRUE(deck.drain().empty());
}

// The largest interval the field takes, doubled past 32 bits, and a clock
// past 2^31 ticks (414 days of uptime): grabs come when due, never early.
TEST_F(Tavrin, LongIntervalsAndALateClockKeepTheirTicks) {
    start();
    fs::path out = gDir / "out" / "ticks";
    fs::create_directories(out);
    setTicks(0);
    rb::op::type("controlwindow", "framecount", "3");
    rb::op::type("controlwindow", "interval", "2147483647");
    startCapture(out.string());
    int64_t started = rb::Ticks();  // the run starts on the loop's next pass
    rb::op::runFor(50);
    setTicks(1000000);
    rb::op::runFor(50);
    EXPECT_EQ(palette().counter, 0);
    EXPECT_EQ(nextGrabDue(), started + int64_t(2147483647) * 2);
    rb::op::click("controlwindow", "capturebutton");
    runUntil([&] { return palette().mymessage->text() == "Done"; }, 2s);

    const int64_t late = (int64_t(1) << 32) + 7;
    setTicks(late);
    rb::op::type("controlwindow", "interval", "30");
    rb::op::type("controlwindow", "framecount", "1");
    startCapture(out.string());
    runUntilStill([] { return nextGrabDue() >= 0; }, 5s);  // the run's first tick is the clock's now
    setTicks(late + 59);
    rb::op::runFor(0);  // the thread's turn, the clock standing a tick short
    EXPECT_EQ(palette().counter, 0);
    setTicks(late + 60);
    runUntilStill([&] { return palette().counter == 1; }, 5s);
    EXPECT_EQ(palette().counter, 1);
    setTicks(late + 120);
    runUntil([&] { return palette().mymessage->text() == "Done"; }, 2s);
    EXPECT_EQ(filesIn(out), 2u);
}

// ---- the shuttle, Grab Now, and what the windows show -----------------------------------

TEST_F(Tavrin, TheShuttleSpringsBackAndStopsTheDeckWhenTheMouseLeaves) {
    FakeDeck deck;
    start(1, deck.index);
    deck.drain();
    rb::op::setSlider("CaptureWindow", "shuttleslider", 30);
    rb::op::mouseExit("CaptureWindow", "shuttleslider");
    EXPECT_EQ(main().shuttleslider->value(), 15);
    auto lines = deck.drain();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 11), "21 13 90 C4");
    EXPECT_EQ(lines[1].substr(0, 8), "20 00 20");
}

TEST_F(Tavrin, GrabNowSaysWhenTheFrameCouldNotBeSaved) {
    start();
    fs::path file = gDir / "out" / "no-such-folder" / "still";
    rb::op::answerFile(file.string());
    ASSERT_TRUE(rb::op::click("CaptureWindow", "BevelButton1"));
    ASSERT_FALSE(rb::op::messages().empty());
    EXPECT_EQ(rb::op::messages().back(), "The frame could not be saved as \"" + file.string() +
                                             "\" (No such file or directory): choose another folder or name.");
    EXPECT_FALSE(fs::exists(file));
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

// One application per process: run whole (no filter), the binary runs each
// test in a process of its own, itself with that test's filter.
int main(int argc, char **argv) { return runEachTestInItsOwnProcess(argc, argv); }

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

TEST_F(Tavrin, AFifoForPrefsAndAHugeSettingsFileDoNotStallStartUp) {
    startWithSpecialFiles(false, [this] { start(); });
}

TEST_F(Tavrin, FifosForPrefsAndSettingsDoNotStallStartUp) {
    startWithSpecialFiles(true, [this] { start(); });
}
