// What the windows tell the user: the refusals at Start Capture, the reason
// a Grab Now file could not be saved, and the main window's status line,
// which stays inside the window whatever its width.
#include "app_fixture.h"
#include "application/startup.h"
#include "process_per_test.h"
#include "run_until.h"

#include <fw/FWSim.h>
#include <rb/operator.h>
#include <rb/serial.h>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace tavrin;
namespace fs = std::filesystem;

namespace {

class Messages : public AppTest {
protected:
    // Start Capture with `until` frames into a folder that takes them;
    // returns what it said.
    std::string startWithUntil(const std::string &until) {
        rb::op::type("controlwindow", "framecount", until);
        rb::op::answerFolder((gDir / "out").string());
        rb::op::click("controlwindow", "BevelButton1");
        size_t shown = rb::op::messages().size();
        rb::op::answerOK();
        rb::op::click("controlwindow", "capturebutton");
        EXPECT_EQ(rb::op::messages().size(), shown + 1) << "one message, no cue dialog";
        return rb::op::messages().size() > shown ? rb::op::messages()[shown] : std::string();
    }
};

const char kNoCount[] = "You must enter a value for how many frames you want captured.";

}  // namespace

// ---- Until ----------------------------------------------------------------------

TEST_F(Messages, ANegativeUntilIsRefusedBeforeTheRs422DeckMoves) {
    FakeDeck deck;
    start(1, deck.index);
    deck.read();
    for (const char *until : {"-1", "-30", "-9999999999"}) {
        EXPECT_EQ(startWithUntil(until), kNoCount) << until;
        EXPECT_EQ(palette().capturebutton->caption(), "Start Capture");
    }
    rb::op::runFor(200);
    EXPECT_EQ(deck.read().size(), 0u) << "no 9-pin byte";
    // Zero is a count: one frame.
    EXPECT_NE(startWithUntil("0"), kNoCount);
    EXPECT_EQ(palette().capturebutton->caption(), "Stop Capture");
}

TEST_F(Messages, ANegativeUntilIsRefusedBeforeTheFireWireDeckMoves) {
    setenv("TAVRIN_AVC_UNITS", "1", 1);
    start();
    ASSERT_TRUE(main().deckPresent());
    int unit = fwsim_unit_id(0);
    rb::op::runFor(100);
    uint8_t mode = 0, state = 0;
    fwsim_transport(unit, &mode, &state);
    EXPECT_EQ(startWithUntil("-1"), kNoCount);
    rb::op::runFor(200);
    // The time code goes on being asked; the transport is as it was.
    uint8_t last[8] = {};
    ASSERT_GE(fwsim_last_command(unit, last, sizeof last), 3u);
    EXPECT_NE(last[2], 0xC3) << "PLAY";
    EXPECT_NE(last[2], 0xC4) << "WIND";
    uint8_t modeAfter = 0, stateAfter = 0;
    fwsim_transport(unit, &modeAfter, &stateAfter);
    EXPECT_EQ(modeAfter, mode);
    EXPECT_EQ(stateAfter, state);
    EXPECT_EQ(palette().capturebutton->caption(), "Start Capture");
}

// ---- Grab Now -------------------------------------------------------------------

TEST_F(Messages, GrabNowSaysWhyItsFileCouldNotBeWritten) {
    start();
    fs::path file = gDir / "out" / "still.tif";
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 64 * 1024;  // a frame's TIFF is about 1 MB
    setrlimit(RLIMIT_FSIZE, &small);
    rb::op::answerFile(file.string());
    rb::op::click("CaptureWindow", "BevelButton1");
    setrlimit(RLIMIT_FSIZE, &old);
    ASSERT_FALSE(rb::op::messages().empty());
    EXPECT_EQ(rb::op::messages().back(), "The frame could not be saved as \"" + file.string() +
                                             "\" (File too large): choose another folder or name.");
    EXPECT_FALSE(fs::exists(file));
}

// ---- the main window's status line -------------------------------------------

TEST_F(Messages, TheStatusLineStaysInsideTheWindowAndKeepsItsWholeText) {
    setenv("TAVRIN_NO_VIDEO", "1", 1);
    start();
    unsetenv("TAVRIN_NO_VIDEO");
    const std::string note = main().message->text();
    ASSERT_FALSE(note.empty()) << "no video: the status line says why";
    EXPECT_EQ(main().message->helpTag, note);
    auto inside = [this](int width) {
        main().setWidth(width);
        rb::op::runFor(20);
        rb::Rect r = main().message->bounds();
        EXPECT_EQ(main().width(), width);
        EXPECT_GE(r.left, 0) << width;
        EXPECT_EQ(r.left + r.width, width - 5) << width;
        return r;
    };
    // As laid out wherever that lies inside the window: from 500 pixels, a
    // 640x480 source's window included.
    for (int width : {500, 640, 720}) {
        rb::Rect r = inside(width);
        EXPECT_EQ(r.left, 449) << width;
        EXPECT_EQ(r.top, 45) << width;
    }
    // Right of Grab Now in a narrower one, down to the narrowest, the
    // strip's width (a 320x240 source's window is that wide).
    for (int width : {kStripWidth, 460, 499}) {
        rb::Rect r = inside(width);
        EXPECT_EQ(r.top, 7) << width;
        EXPECT_GT(r.left, main().control("BevelButton1")->bounds().left + 82) << width;
        EXPECT_GE(r.width, width / 3) << width;
    }
    main().setWidth(320);
    EXPECT_EQ(main().width(), kStripWidth);
    inside(1440);
    EXPECT_EQ(main().message->text(), note);
    EXPECT_EQ(main().message->helpTag, note);
}

int main(int argc, char **argv) { return runEachTestInItsOwnProcess(argc, argv); }
