// The timed capture: grabs on the tick clock, stopping, and quitting
// during a run.
#include "e2e_fixture.h"

#include "capturewindow/framefiles.h"

#include <rb/files.h>

#include <tiffio.h>

#include <csignal>
#include <sys/resource.h>

#include <string>

namespace {

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

TEST_F(Tavrin, TimedCaptureEndsInNumberedTiffFiles) {
    FakeDeck deck;
    start(1, deck.index);
    deck.commands();
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
    auto lines = deck.commands();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].substr(0, 8), "20 00 20");
    EXPECT_EQ(lines[1], "20 01 21 PLAY");
    EXPECT_EQ(lines[2].substr(0, 8), "20 00 20");
}

TEST_F(Tavrin, StopBeforeTheFirstGrabWritesNothingAndStopsTheDeck) {
    FakeDeck deck;
    start(1, deck.index);
    deck.commands();
    fs::path out = gDir / "out" / "early";
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "5");
    startCapture(out.string());
    rb::op::runFor(200);
    rb::op::click("controlwindow", "capturebutton");  // Stop Capture
    runUntil([&] { return palette().mymessage->text() == "Done"; }, 3s);
    EXPECT_EQ(palette().mymessage->text(), "Done");
    EXPECT_TRUE(fs::is_empty(out));
    auto lines = deck.commands();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2].substr(0, 8), "20 00 20");
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
    auto lines = deck.commands();
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

TEST_F(Tavrin, KeysAndTheCaptureThreadTogetherSendWholeCommands) {
    FakeDeck deck;
    start(1, deck.index);
    deck.commands();
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
    auto lines = deck.commands();
    EXPECT_GT(lines.size(), 20u);
    EXPECT_EQ(deck.bad, 0u);
    EXPECT_EQ(count(lines, "PLAY"), 1u);
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

// Each way of quitting during a capture stops it and the deck, saves the
// frames grabbed, and only then quits.
class QuitDuringCapture : public Tavrin, public ::testing::WithParamInterface<const char *> {};

TEST_P(QuitDuringCapture, SavesTheGrabbedFramesThenQuits) {
    std::string how = GetParam();
    FakeDeck deck;
    start(1, deck.index);
    deck.commands();
    fs::path out = gDir / "out" / ("quit-" + how);
    captureTwoOfTen(out);
    ASSERT_EQ(palette().counter, 2);
    deck.commands();

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
    auto lines = deck.commands();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().substr(0, 8), "20 00 20");
    EXPECT_EQ(count(lines, "PLAY"), 0u);
    // The preferences were written on the way out.
    EXPECT_TRUE(fs::exists(gDir / "prefs" / kPrefsFileName));
}

INSTANTIATE_TEST_SUITE_P(Ways, QuitDuringCapture, ::testing::Values("menu", "closebox", "SIGTERM", "SIGINT"));

// Frames that cannot be saved when the quit comes do not keep the
// application open: they go to a new folder in the user's data, and the
// program ends.
TEST_F(Tavrin, AQuitWhoseFramesCannotBeSavedSavesThemInTheUsersData) {
    start();
    fs::path out = gDir / "out" / "quit-gone";
    captureTwoOfTen(out);
    fs::remove_all(out);
    ASSERT_TRUE(rb::op::chooseMenu("FileQuit"));
    runUntil([&] { return rb::app()->quitting(); }, 5s);
    ASSERT_TRUE(rb::app()->quitting());
    EXPECT_EQ(rb::app()->exitCode(), 0);
    std::vector<fs::path> data;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(gDir / "data" / "tavrin", ec)) data.push_back(e.path());
    ASSERT_EQ(data.size(), 1u);
    EXPECT_TRUE(fs::exists(data[0] / "q000.tif"));
    EXPECT_TRUE(fs::exists(data[0] / "q001.tif"));
    EXPECT_EQ(filesIn(data[0]), 2u);
}
