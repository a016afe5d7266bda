// The video ends or fails while the program runs: the window says why and
// offers Enable Video, which brings the video back (a clip from its start).
// The video runs on the runtime's clock, which the test moves.
#include "app_fixture.h"
#include "binding/entrypoints.h"
#include "clips.h"
#include "frame_grabbed_now.h"
#include "pacer.h"
#include "test_clock.h"
#include "process_per_test.h"
#include "wait_until.h"

#include <rb/entrypoints.h>
#include <rb/loop.h>
#include <rb/operator.h>
#include <rb/picture.h>
#include <rb/serial.h>
#include <rb/thread.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace tavrin;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class VideoRestart : public AppTest {
protected:
    // Starts the application with `source` as its video.
    void start(const std::string &source) {
        setenv("TAVRIN_VIDEO_SOURCE", source.c_str(), 1);
        startUp();
        // The windows open with the clock standing: the video starts at its
        // first frame.
        for (int i = 0; i < 10; ++i) rb::runOnce(0);
    }

    // Moves the clock on 10 ms a step, then a loop pass that waits a few
    // milliseconds for GStreamer's threads, until `done` holds (false after
    // 60 s of the machine's time).
    template <class Done> bool runClockUntil(Done &&done) {
        return pollUntil(done, 60s, [this](int ms) {
            clock_.advance(10);
            rb::runOnce(ms);
        });
    }

    // The window with no video, as a user finds it: Enable Video enabled
    // and the reason on the status line and in its help tag.
    void expectNoVideo(const std::string &reason) {
        EXPECT_FALSE(app().devicepresent);
        EXPECT_TRUE(main().checkvideobutton->enabled());
        EXPECT_EQ(main().message->text(), reason);
        EXPECT_EQ(main().message->helpTag, reason);
    }

    TestClock clock_;
};

}  // namespace

TEST_F(VideoRestart, AClipThatEndedPlaysAgainFromItsStart) {
    fs::path clip = gDir / "short.avi";
    std::string why;
    ASSERT_TRUE(testclips::makeClip(clip.string(), {testclips::Codec::Mjpeg, 15, 160, 120, 30, 1}, &why)) << why;
    start("filesrc location=" + clip.string() + " ! decodebin");
    ASSERT_TRUE(app().devicepresent);
    EXPECT_FALSE(main().checkvideobutton->enabled());
    EXPECT_EQ(frameGrabbedNow(), 0);

    // Half a second of clip, then its end: no message box, the window says so.
    size_t shown = rb::op::messages().size();
    ASSERT_TRUE(runClockUntil([] { return !app().devicepresent; }));
    expectNoVideo("the video source has ended");
    EXPECT_EQ(rb::op::messages().size(), shown);
    // The transport and Grab Now know there is no video.
    rb::op::click("CaptureWindow", "BevelButton1");
    ASSERT_EQ(rb::op::messages().size(), shown + 1);
    EXPECT_EQ(rb::op::messages().back(), "Error.  You can not grab a still because there is no video device enabled.");

    // Enable Video: the clip again, from its first frame.
    ASSERT_TRUE(rb::op::click("CaptureWindow", "checkvideobutton"));
    EXPECT_TRUE(app().devicepresent);
    EXPECT_FALSE(main().checkvideobutton->enabled());
    EXPECT_EQ(main().message->text(), "");
    EXPECT_EQ(frameGrabbedNow(), 0);
    ASSERT_TRUE(runClockUntil([this] { return frameGrabbedNow() >= 10; }));
    // Below the strip of controls, as it was, not over it.
    rb::ObjRef area = rb::getProp(ENTRY("QTGrabberPlyx.CurrentVideoSize.Get"), main().qGrab.get());
    ASSERT_TRUE(area);
    EXPECT_EQ(rb::direct<int32_t>(area.get(), 0), kStripHeight);  // its top
    EXPECT_EQ(main().surface.area.top, kStripHeight);

    // And it ends again as the first time.
    ASSERT_TRUE(runClockUntil([] { return !app().devicepresent; }));
    expectNoVideo("the video source has ended");
}

TEST_F(VideoRestart, ASourceThatFailsSaysWhyAndStartsAgain) {
    start("videotestsrc ! video/x-raw,width=64,height=48,framerate=100/1 ! identity error-after=40");
    ASSERT_TRUE(app().devicepresent);
    ASSERT_TRUE(runClockUntil([] { return !app().devicepresent; }));
    EXPECT_TRUE(main().checkvideobutton->enabled());
    std::string reason = main().message->text();
    EXPECT_EQ(reason.substr(0, 10), "identity: ") << reason;
    EXPECT_EQ(main().message->helpTag, reason);
    ASSERT_TRUE(rb::op::click("CaptureWindow", "checkvideobutton"));
    EXPECT_TRUE(app().devicepresent);
    EXPECT_EQ(main().message->text(), "");
}

// The clip ends during a capture: the next grab finds no video and ends
// the capture as Stop Capture does. The deck is stopped, the frames grabbed
// are saved, the grab's message is shown once, Enable Video is offered and
// the palette says how many frames were saved and why it stopped.
class VideoEndsMidCapture : public VideoRestart {
protected:
    // A capture of every `every`th frame, until `until`, of a clip `frames`
    // long (30 a second), run to its end, on an RS-422 deck.
    void capture(int frames, int until, int every = 30) {
        startCapture(frames, until, every);
        ASSERT_TRUE(runClockUntil([] { return !captureRunning(); }));
    }
    // ... started.
    void startCapture(int frames, int until, int every = 30) {
        std::ofstream(gDir / "prefs" / kPrefsFileName, std::ios::binary)
            << std::string{1, char(deck_.index), 0, 0, 0, 0, 0};
        fs::path clip = gDir / "brief.avi";
        std::string why;
        ASSERT_TRUE(testclips::makeClip(clip.string(), {testclips::Codec::Mjpeg, frames, 160, 120, 30, 1}, &why))
            << why;
        start("filesrc location=" + clip.string() + " ! decodebin");
        ASSERT_TRUE(app().devicepresent);
        rb::op::type("controlwindow", "framecount", std::to_string(until));
        rb::op::type("controlwindow", "interval", std::to_string(every));
        rb::op::type("controlwindow", "nameprefix", "end");
        rb::op::answerFolder(out().string());
        rb::op::click("controlwindow", "BevelButton1");
        rb::op::answerOK();
        rb::op::click("controlwindow", "capturebutton");
        ASSERT_TRUE(captureRunning());
        shown_ = rb::op::messages().size();
    }

    static fs::path out() { return gDir / "out"; }

    // The files saved, and the number the palette says were.
    void expectSavedAsSaid() {
        std::string said = palette().mymessage->text();
        EXPECT_NE(said, "Done");
        size_t at = said.find(" saved: the video ended");
        ASSERT_NE(at, std::string::npos) << said;
        int saved = std::atoi(said.c_str());
        // It ended at the grab that found no video, not at its count.
        EXPECT_EQ(palette().counter, saved);
        size_t files = 0;
        for (const auto &e : fs::directory_iterator(out())) files += e.path().extension() == ".tif";
        EXPECT_EQ(files, size_t(saved));
        for (int i = 0; i < saved; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "end%03d.tif", i);
            EXPECT_TRUE(fs::exists(out() / name)) << name;
        }
        EXPECT_EQ(palette().capturebutton->caption(), "Start Capture");
        EXPECT_TRUE(palette().capturebutton->enabled());
    }

    // Once, and no more while the clock runs on.
    void expectOneMessage() {
        ASSERT_TRUE(runClockUntil([this] { return rb::op::messages().size() > shown_; }));
        ASSERT_EQ(rb::op::messages().size(), shown_ + 1);
        EXPECT_EQ(rb::op::messages().back(),
                  "Error.  You can not grab a still because there is no video device enabled.");
        clock_.run(3000, 10);
        EXPECT_EQ(rb::op::messages().size(), shown_ + 1);
    }

    // The last command the deck got is the stop at the capture's end.
    void expectDeckStopped() {
        std::string bytes = deck_.read();
        ASSERT_GE(bytes.size(), 3u);
        EXPECT_EQ(bytes.substr(bytes.size() - 3), std::string("\x20\x00\x20", 3));
    }

    FakeDeck deck_;
    size_t shown_ = 0;
};

TEST_F(VideoEndsMidCapture, AfterTwoGrabsSavesThemAndSaysTheVideoEnded) {
    // Three seconds of clip, Until 99: the clip ends after two or three grabs
    // (more where GStreamer falls behind the clock the test moves; the count
    // is far enough for the clip to end first, however far behind).
    capture(90, 99);
    expectSavedAsSaid();
    int saved = std::atoi(palette().mymessage->text().c_str());
    EXPECT_GE(saved, 2);
    EXPECT_LT(saved, 100);
    // Enable Video is offered as soon as the capture is done.
    expectNoVideo("the video source has ended");
    expectDeckStopped();
    expectOneMessage();
}

TEST_F(VideoEndsMidCapture, BeforeTheFirstGrabSavesNothingAndSaysTheVideoEnded) {
    // Half a second of clip: long gone at the first grab, ten seconds in.
    capture(15, 2, 300);
    EXPECT_EQ(palette().mymessage->text(), "0 frames saved: the video ended");
    expectSavedAsSaid();
    expectNoVideo("the video source has ended");
    expectDeckStopped();
    expectOneMessage();
}

// The box waits for an answer while a script starts another capture (a
// person cannot: the box is modal). The capture that ended is over before
// its box shows, so the new one runs alone, and the box's late answer
// leaves it running: the capture flag is set exactly while the palette's
// button says Stop Capture, whichever capture's it is.
TEST_F(VideoEndsMidCapture, ACaptureStartedWhileTheBoxIsOpenRunsWithItsOwnFlag) {
    startCapture(90, 99);                            // the clip ends first
    rb::op::answerNext({rb::Answer::OK, {}, 1500});  // the box is read for a second and a half
    const std::string box = "Error.  You can not grab a still because there is no video device enabled.";
    bool flagAsButton = true, started = false, answeredWhileItRan = false;
    size_t answered = 0;
    // On every pass, the box's own loop's too (a script runs there), and a
    // millisecond on the clock: the loop does not wait while it is there.
    Pacer watch([&] {
        clock_.advance(1);
        bool stopCaption = palette().capturebutton->caption() == "Stop Capture";
        flagAsButton = flagAsButton && captureRunning() == stopCaption;
        // The box has taken its answer and waits: the script's Enable Video
        // and Start Capture, of frames 0 and 1.
        if (!started && rb::op::pendingAnswers() == 0) {
            started = true;
            rb::op::click("CaptureWindow", "checkvideobutton");
            rb::op::type("controlwindow", "framecount", "1");
            rb::op::type("controlwindow", "nameprefix", "again");
            rb::op::answerOK();
            rb::op::click("controlwindow", "capturebutton");
        }
        std::vector<std::string> said = rb::op::messages();
        if (!answered && !said.empty() && said.back() == box) {
            answered = said.size();
            answeredWhileItRan = stopCaption;
        }
    });
    ASSERT_TRUE(runClockUntil([&] { return started && answered && !captureRunning(); }));
    EXPECT_TRUE(flagAsButton);
    EXPECT_TRUE(answeredWhileItRan) << "the box was answered after the second capture";
    EXPECT_EQ(answered, shown_ + 2);  // the cue dialog, then the box
    EXPECT_EQ(palette().mymessage->text(), "Done");
    EXPECT_TRUE(fs::exists(out() / "again000.tif"));
    EXPECT_TRUE(fs::exists(out() / "again001.tif"));
}

// The runtime stops its threads (as at the program's end) while the box of
// the capture that ended waits and the next capture has just been started:
// the first capture's thread, unwound from its box, leaves the flag alone,
// which is the next capture's.
TEST_F(VideoEndsMidCapture, AnEndedCapturesThreadStoppedLaterLeavesTheNextOnesFlag) {
    startCapture(90, 99);                            // the clip ends first
    rb::op::answerNext({rb::Answer::OK, {}, 1500});  // the box is read for a second and a half
    bool started = false, runningBefore = false, runningAfter = false;
    Pacer watch([&] {
        clock_.advance(1);
        if (started || rb::op::pendingAnswers() != 0) return;
        started = true;
        rb::op::click("CaptureWindow", "checkvideobutton");
        rb::op::type("controlwindow", "framecount", "1");
        rb::op::answerOK();
        rb::op::click("controlwindow", "capturebutton");
        runningBefore = captureRunning();
        rb::shutdown();  // the box's thread unwinds; the new one's never ran
        runningAfter = captureRunning();
    });
    ASSERT_TRUE(runClockUntil([&] { return started; }));
    EXPECT_TRUE(runningBefore);
    EXPECT_TRUE(runningAfter) << "the ended capture's thread cleared the next capture's flag";
    EXPECT_EQ(palette().capturebutton->caption(), "Stop Capture");
    // The capture whose thread never ran runs now (to its end or the
    // clip's), so that the application ends as usual.
    startCaptureThread();
    EXPECT_TRUE(runClockUntil([] { return !captureRunning(); }));
    EXPECT_EQ(palette().capturebutton->caption(), "Start Capture");
}

int main(int argc, char **argv) { return runEachTestInItsOwnProcess(argc, argv); }
