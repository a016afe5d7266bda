// A dialog open during a timed capture: the capture goes on behind it.
//
// A capture of every 30th frame of a numbered clip, with one kind of dialog
// or modal window open for 3 s of the runtime clock in the middle of it,
// still holds clip frames exactly 30 apart, and the deck's time code keeps
// counting while the dialog is open. The dialogs the runtime answers (file,
// folder, message box) take their answer 3 s after they open, while their
// loop runs; the modal windows are answered through their buttons 3 s after
// they open.
//
// The clock moves one millisecond a loop pass, by a run-loop source that is
// always ready, so it moves whichever loop runs, the dialog's included. It
// holds at each grab's tick until the clip shows the frame due then and the
// capture thread has taken it (as ClipCapture does by hand).
#include "app_fixture.h"
#include "binding/entrypoints.h"
#include "clip_capture.h"
#include "frame_grabbed_now.h"
#include "process_per_test.h"
#include "run_until.h"
#include "test_clock.h"

#include <rb/entrypoints.h>
#include <rb/loop.h>
#include <rb/operator.h>
#include <rb/picture.h>

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

using namespace tavrin;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// One kind of dialog: how it is opened mid-capture (into `out`, the
// capture's folder) and, for a modal window, how it is answered.
struct DialogKind {
    const char *name;
    std::function<void(const fs::path &out)> open;
    std::function<void()> answer;  // nullptr: the runtime answers it
};

void PrintTo(const DialogKind &k, std::ostream *os) { *os << k.name; }

void openAfter3s(rb::Answer a) {
    a.afterMs = 3000;
    rb::op::answerNext(a);
}

const DialogKind kKinds[] = {
    {"SaveFile",
     [](const fs::path &) {
         openAfter3s({rb::Answer::Cancel, {}});
         rb::op::click("CaptureWindow", "BevelButton1");  // Grab Now
     },
     nullptr},
    {"SelectFolder",
     [](const fs::path &out) {
         openAfter3s({rb::Answer::Folder, out.string()});
         rb::op::click("controlwindow", "BevelButton1");  // Choose Folder
     },
     nullptr},
    {"MessageBox",
     [](const fs::path &) {
         openAfter3s({rb::Answer::OK, {}});
         rb::op::chooseMenu("HelpDocumentation");  // says the help file is gone
     },
     nullptr},
    {"VideoSettings", [](const fs::path &) { rb::op::chooseMenu("VideoSetteingsMenu"); },
     [] { rb::op::click("VideoSettings", "Cancel"); }},
    {"DeckControlSettings", [](const fs::path &) { rb::op::chooseMenu("VideoDeckControl"); },
     [] { rb::op::click("ControlPrefswindow", "PushButton2"); }},
    {"UpdateWindow", [](const fs::path &) { rb::op::chooseMenu("HelpCheckforUpdates"); },
     [] { rb::op::click("updateWindow", "PushButton1"); }},
};

class DialogDuringCapture : public AppTest, public ::testing::WithParamInterface<DialogKind> {
protected:
    static void SetUpTestSuite() {
        AppTest::SetUpTestSuite();
        setenv("TAVRIN_AVC_UNITS", "1", 1);
        setenv("TAVRIN_UPDATE_SERVER", "http://127.0.0.1:9", 1);
    }

    void TearDown() override {
        pacing_ = false;
        AppTest::TearDown();
        rb::removeSource(pacer_);
        ::close(pacer_);
        clock_.reset();
    }

    // The application on the test's clock with the clip after a black
    // leader of one second as its video, and the pacer in its loop.
    void start(const fs::path &clip) {
        clock_.emplace(usAtTick(600), TestClock::Moves::OnlyWhenSet);
        offsetUs_ = rb::microseconds() - clock_->nowUs();
        startTick_ = rb::Ticks();
        useClipAsVideo(clip, 160, 120);
        startUp();
        rb::op::runFor(300);
        unsetenv("TAVRIN_VIDEO_SOURCE");
        pacer_ = eventfd(1, EFD_CLOEXEC | EFD_NONBLOCK);  // stays readable: every pass runs it
        rb::addSource(pacer_, POLLIN, [this] { pace(); });
    }

    // Moves the clock a millisecond, except at a grab's tick: there it
    // waits for the clip's frame of that tick, then holds until the grab is
    // taken. It starts once the capture thread has set its first grab's
    // tick, and after the last grab it moves on alone.
    void pace() {
        if (!pacing_) return;
        int64_t due = palette().counter <= kUntil ? nextGrabDue() : -1;
        if (firstDue_ < 0) {
            if (due < 0) return;
            firstDue_ = due;
        }
        if (due >= 0 && rb::Ticks() >= due) return;  // the capture thread's turn
        int64_t next = clock_->nowUs() + 1000;
        if (due >= 0 && (next + offsetUs_) * 60 / 1000000 >= due) {
            clock_->set(usAtTick(due) - offsetUs_);
            int expected = clipFrameAt(due);
            EXPECT_TRUE(waitUntil([&] { return frameGrabbedNow() == expected; }, 10s))
                << "the clip shows " << frameGrabbedNow() << ", not " << expected;
            grabTicks_.push_back(due);
            return;
        }
        clock_->set(next);
    }

    // The clip's frame at a tick: 30 a second, after the one-second leader.
    int clipFrameAt(int64_t tick) const { return int((tick - startTick_) / 2 - 30); }

    static constexpr int kUntil = 4;
    int64_t firstDue_ = -1;
    int64_t offsetUs_ = 0, startTick_ = 0;
    std::optional<TestClock> clock_;
    int pacer_ = -1;
    bool pacing_ = false;
    std::vector<int64_t> grabTicks_;
};

TEST_P(DialogDuringCapture, KeepsTheFramesThirtyApartAndTheTimeCodeCounting) {
    const DialogKind &kind = GetParam();
    fs::path clip = gDir / "clip.avi";
    std::string why;
    ASSERT_TRUE(testclips::makeClip(clip.string(), {testclips::Codec::Mjpeg, 125, 160, 120, 30, 1}, &why)) << why;
    start(clip);
    ASSERT_TRUE(app().devicepresent);
    ASSERT_TRUE(main().deckPresent());

    fs::path out = gDir / "out";
    startClipCapture(out, kUntil);
    pacing_ = true;
    ASSERT_TRUE(runUntil([] { return palette().counter == 2; }, 20s));

    // Half a second after the second grab, the dialog opens for 3 s.
    int64_t opened = clock_->nowUs() + 500'000;
    ASSERT_TRUE(runUntil([&] { return clock_->nowUs() >= opened; }, 20s));
    std::string timeCode = main().mytc->text();
    size_t asked = rb::op::shown().size();
    kind.open(out);
    if (kind.answer) {
        ASSERT_TRUE(runUntil([&] { return clock_->nowUs() >= opened + 3'000'000; }, 30s));
        kind.answer();
    } else {
        EXPECT_EQ(rb::op::shown().size(), asked + 1) << "the dialog was not asked";
    }
    // The dialog was open 3 s of the clock; the capture went on behind it.
    EXPECT_GE(clock_->nowUs(), opened + 3'000'000);
    EXPECT_GE(palette().counter, 4);
    EXPECT_NE(main().mytc->text(), timeCode) << "the time code stood still";

    ASSERT_TRUE(runUntil([] { return palette().capturebutton->caption() == "Start Capture"; }, 30s));
    EXPECT_EQ(palette().mymessage->text(), "Done");
    int first = clipFrameAt(firstDue_);
    EXPECT_EQ(clipFramesIn(out, kUntil), (std::vector<int>{first, first + 30, first + 60, first + 90, first + 120}));
    std::vector<int64_t> apart;
    for (size_t i = 1; i < grabTicks_.size(); ++i) apart.push_back(grabTicks_[i] - grabTicks_[i - 1]);
    EXPECT_EQ(apart, (std::vector<int64_t>{60, 60, 60, 60}));
}

INSTANTIATE_TEST_SUITE_P(EachKind, DialogDuringCapture, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<DialogKind> &p) { return p.param.name; });

}  // namespace

int main(int argc, char **argv) { return runEachTestInItsOwnProcess(argc, argv); }
