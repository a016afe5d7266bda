// A recorded clip as the deck: the application's timed capture of a clip the
// test makes itself (numbered solid-colour frames, MJPEG in AVI and DV),
// played through TAVRIN_VIDEO_SOURCE with decodebin.
//
// The video runs on the runtime's clock, which the test moves by hand from
// one grab's tick to the next, as the capture's own clock would pass. Before
// it lets the capture thread see the tick, the test waits until the pipeline
// has shown the frame of that moment, which in real time the pipeline does
// of itself as the clock passes; so every grab is of a known frame.
//
// The capture's first grab comes one interval after Start Capture: the clip
// plays after a one-second black leader, as a tape is cued a second ahead of
// its programme (concat in the source's description).
#include "app_fixture.h"
#include "binding/entrypoints.h"
#include "clip_capture.h"
#include "frame_grabbed_now.h"
#include "process_per_test.h"
#include "run_until.h"
#include "test_clock.h"
#include "wait_until.h"

#include <rb/entrypoints.h>
#include <rb/loop.h>
#include <rb/operator.h>
#include <rb/picture.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <optional>
#include <vector>

using namespace tavrin;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class ClipCapture : public AppTest {
protected:
    void TearDown() override {
        AppTest::TearDown();
        clock_.reset();
    }

    // Starts the application on the test's clock with the clip, after a
    // black leader of one second at its size, as its video.
    void start(const fs::path &clip, int width, int height) {
        clock_.emplace(usAtTick(600));
        // The runtime keeps its time from running back: it adds whole seconds
        // to the clock given it.
        offsetUs_ = rb::microseconds() - clock_->nowUs();
        startTick_ = rb::Ticks();
        useClipAsVideo(clip, width, height);
        startUp();
        // The windows open with the clock standing: the video and the
        // capture start at one time.
        for (int i = 0; i < 10; ++i) rb::runOnce(0);
        unsetenv("TAVRIN_VIDEO_SOURCE");
    }

    // A capture of frame count `count` at interval 30 into `out`: at each
    // grab's tick, once the clip shows the frame due then (`due(k)` for grab
    // k; -1: the clip has ended), the capture thread takes its turn. Returns
    // when the palette is done. A grab that finds the clip ended ends the
    // capture.
    void capture(const fs::path &out, int count, const std::function<int(int)> &due) {
        startClipCapture(out, count);
        ASSERT_TRUE(runUntilStill([] { return nextGrabDue() >= 0; }, 5s));
        for (int k = 0; k <= count; ++k) {
            int64_t tick = nextGrabDue();
            ASSERT_EQ(tick, startTick_ + 60 * (k + 1)) << "grab " << k;
            clock_->set(usAtTick(tick) - offsetUs_);
            int expected = due(k);
            // Nothing here runs the loop: the capture thread waits its turn.
            EXPECT_TRUE(waitUntil([&] { return frameGrabbedNow() == expected; }, 10s))
                << "grab " << k << " expects " << expected << ", the grabber has " << frameGrabbedNow();
            if (expected < 0) break;
            ASSERT_TRUE(runUntilStill([&] { return palette().counter == k + 1; }, 5s)) << "grab " << k;
        }
        // The thread sleeps a millisecond of the runtime clock between passes:
        // the clock goes on while it stops the deck and saves.
        ASSERT_TRUE(runUntil([&] { return palette().capturebutton->caption() == "Start Capture"; }, 30s));
    }

    std::optional<TestClock> clock_;
    int64_t offsetUs_ = 0, startTick_ = 0;
};

fs::path makeClip(const testclips::ClipSpec &spec, const std::string &name) {
    fs::path p = gDir / name;
    std::string why;
    EXPECT_TRUE(testclips::makeClip(p.string(), spec, &why)) << why;
    return p;
}

}  // namespace

TEST_F(ClipCapture, EveryThirtiethFrameOfAnMjpegClip) {
    fs::path clip = makeClip({testclips::Codec::Mjpeg, 100, 320, 240, 30, 1}, "clip.avi");
    start(clip, 320, 240);
    ASSERT_TRUE(app().devicepresent);
    // As wide as the strip of controls, the picture in its shape below it.
    EXPECT_EQ(main().width(), kStripWidth);
    EXPECT_EQ(main().height(), 240 * kStripWidth / 320 + kStripHeight);
    fs::path out = gDir / "mjpeg";
    capture(out, 3, [](int k) { return 30 * k; });
    EXPECT_EQ(palette().mymessage->text(), "Done");
    EXPECT_EQ(clipFramesIn(out, 3), (std::vector<int>{0, 30, 60, 90}));
}

// DV runs at 30000/1001 frames a second while the capture counts 2 ticks,
// 1/30 s, a frame: frame 30k comes 1 ms x k after grab k, which takes the
// frame before it. The clip falls behind the count by a frame every 33.4 s.
TEST_F(ClipCapture, DvAtItsOwnRateFallsAFrameBehindTheCount) {
    if (!testclips::encoderAvailable(testclips::Codec::Dv)) GTEST_SKIP() << "no DV encoder here";
    fs::path clip = makeClip(testclips::dvSpec(100), "clip.dv");
    start(clip, 720, 480);
    ASSERT_TRUE(app().devicepresent);
    EXPECT_EQ(main().width(), 720);
    fs::path out = gDir / "dv";
    capture(out, 3, [](int k) { return int(std::floor(k * 30000.0 / 1001.0)); });
    EXPECT_EQ(palette().mymessage->text(), "Done");
    EXPECT_EQ(clipFramesIn(out, 3), (std::vector<int>{0, 29, 59, 89}));
}

// The clip ends during the capture: the next grab ends it as Stop Capture
// does, the frames grabbed before are saved, and the grab's message is
// shown once.
TEST_F(ClipCapture, AClipThatEndsMidCaptureKeepsTheFramesGrabbed) {
    fs::path clip = makeClip({testclips::Codec::Mjpeg, 45, 160, 120, 30, 1}, "short.avi");
    start(clip, 160, 120);
    ASSERT_TRUE(app().devicepresent);
    size_t said = rb::op::messages().size();
    fs::path out = gDir / "short";
    capture(out, 3, [](int k) { return k < 2 ? 30 * k : -1; });
    ASSERT_TRUE(runUntil([&] { return rb::op::messages().size() > said; }, 10s));
    rb::op::runFor(500);
    auto messages = rb::op::messages();
    const std::string noVideo = "Error.  You can not grab a still because there is no video device enabled.";
    EXPECT_EQ(std::count(messages.begin() + long(said), messages.end(), noVideo), 1);
    EXPECT_EQ(clipFramesIn(out, 3), (std::vector<int>{0, 30, -2, -2}));
    EXPECT_EQ(palette().mymessage->text(), "2 frames saved: the video ended");
    EXPECT_FALSE(rb::getProp(ENTRY("QTGrabberPlyx.CurrentVideoSize.Get"), main().qGrab.get()));
}

int main(int argc, char **argv) { return runEachTestInItsOwnProcess(argc, argv); }
