// A dialog open during a timed capture: the capture goes on behind it.
//
// The program runs on screen, on an X server of the test's own (skipped
// where there is none): each dialog is the one a person sees, waiting in
// the program's own dialog code, and is answered 3 s of the runtime clock
// after it opens by a timed call in the loop it waits in, as a person's
// click comes in while it waits.
//
// A capture of every 30th frame of a numbered clip, with one kind of dialog
// or modal window open in the middle of it, still holds clip frames exactly
// 30 apart, and the deck's time code keeps counting while it is open. Video
// Settings is the one that stops the video: the capture goes on, grabbing
// the frame the video was paused at.
//
// The clock moves one millisecond a loop pass, by a run-loop source that is
// always ready, so it moves whichever loop runs, the dialog's included (the
// test's own waits run passes that move nothing else of it). It
// holds at each grab's tick until the clip shows the frame due then and the
// capture thread has taken it (as ClipCapture does by hand). A dialog that
// waits without running the loop never gets its answer: the test hangs
// until ctest's time limit fails it.
#include "app_fixture.h"
#include "binding/entrypoints.h"
#include "clip_capture.h"
#include "frame_grabbed_now.h"
#include "own_x_server.h"
#include "process_per_test.h"
#include "run_until.h"
#include "pacer.h"
#include "test_clock.h"

#include <rb/entrypoints.h>
#include <rb/loop.h>
#include <rb/operator.h>
#include <rb/picture.h>
#include <rb/screen.h>

// gtest first: the toolkits' X headers define names such as None.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <gtk/gtk.h>

#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

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

// The desktop's file dialog that is open, cancelled as its Cancel button
// does; false when none is open.
bool cancelFileDialog() {
    GList *all = gtk_window_list_toplevels();
    bool found = false;
    for (GList *w = all; w && !found; w = w->next)
        if (GTK_IS_FILE_CHOOSER_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data))) {
            gtk_dialog_response(GTK_DIALOG(w->data), GTK_RESPONSE_CANCEL);
            found = true;
        }
    g_list_free(all);
    return found;
}

// The program's own message box that is open, closed by its close box (a
// box that cannot refuse takes its action); false when none is open.
bool closeMessageBox() {
    for (Fl_Window *w = Fl::first_window(); w; w = Fl::next_window(w))
        if (w->modal() && w->label() && std::string(w->label()) == "Tavrin!") {
            w->do_callback();
            return true;
        }
    return false;
}

// A server that takes the connection and never answers: an update check
// against it stays under way.
class SilentServer {
public:
    SilentServer() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        if (::bind(fd_, reinterpret_cast<sockaddr *>(&a), n) == 0 && ::listen(fd_, 4) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &n) == 0)
            url_ = "http://127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    }
    ~SilentServer() { ::close(fd_); }
    const std::string &url() const { return url_; }

private:
    int fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::string url_;
};

// One kind of dialog: how it is opened mid-capture, and how it is
// answered 3 s later, from within the loop it waits in (false: it was not
// there to answer).
struct DialogKind {
    const char *name;
    std::function<void()> open;
    std::function<bool()> answer;
};

void PrintTo(const DialogKind &k, std::ostream *os) { *os << k.name; }

const DialogKind kKinds[] = {
    {"SaveFile", [] { rb::op::click("CaptureWindow", "BevelButton1"); }, cancelFileDialog},      // Grab Now
    {"SelectFolder", [] { rb::op::click("controlwindow", "BevelButton1"); }, cancelFileDialog},  // Choose Folder
    {"MessageBox", [] { rb::op::chooseMenu("HelpDocumentation"); }, closeMessageBox},  // the help file is gone
    {"DeckControlSettings", [] { rb::op::chooseMenu("VideoDeckControl"); },
     [] { return rb::op::click("ControlPrefswindow", "PushButton2"); }},
    // Not modal: the check's request stays under way the whole time.
    {"UpdateWindow", [] { rb::op::chooseMenu("HelpCheckforUpdates"); },
     [] {
         rb::Window *w = rb::findWindow("updateWindow");
         bool checking = w && w->control("status")->visible();
         return rb::op::click("updateWindow", "PushButton1") && checking;
     }},
};

class DialogDuringCapture : public AppTest {
protected:
    static void SetUpTestSuite() {
        AppTest::SetUpTestSuite();
        setenv("TAVRIN_AVC_UNITS", "1", 1);
    }

    void TearDown() override {
        pacer_.reset();
        AppTest::TearDown();
    }

    // The application on the test's clock with the clip after a black
    // leader of one second as its video, and the pacer in its loop.
    // False where there is no X server for it.
    bool start(const fs::path &clip) {
        if (x_.display().empty()) return false;
        setenv("DISPLAY", x_.display().c_str(), 1);
        unsetenv("TAVRIN_HEADLESS");
        setenv("TAVRIN_UPDATE_SERVER", silent_.url().c_str(), 1);
        setenv("NO_AT_BRIDGE", "1", 1);  // GTK without the accessibility bus it would start
        if (!rb::useScreenBackend()) return false;
        clock_.emplace(usAtTick(600));
        offsetUs_ = rb::microseconds() - clock_->nowUs();
        startTick_ = rb::Ticks();
        useClipAsVideo(clip, 160, 120);
        startUp();
        // Its windows open, the clock standing: the clip starts with the capture.
        EXPECT_TRUE(runUntilStill([] { return rb::findWindow("controlwindow"); }, 10s)) << "no palette";
        unsetenv("TAVRIN_VIDEO_SOURCE");
        pacer_.emplace([this] { pace(); });
        return true;
    }

    // Makes the clip, starts on it and starts the capture, then runs until
    // half a second after its second grab.
    void startCaptureOfClip() {
        fs::path clip = gDir / "clip.avi";
        std::string why;
        ASSERT_TRUE(testclips::makeClip(clip.string(), {testclips::Codec::Mjpeg, 125, 160, 120, 30, 1}, &why)) << why;
        if (!start(clip)) GTEST_SKIP() << "no X server here";
        ASSERT_TRUE(app().devicepresent);
        ASSERT_TRUE(main().deckPresent());
        startClipCapture(gDir / "out", kUntil);
        pacing_ = true;
        ASSERT_TRUE(runUntilStill([] { return palette().counter == 2; }, 20s));
        int64_t at = clock_->nowUs() + 500'000;
        ASSERT_TRUE(runUntilStill([&] { return clock_->nowUs() >= at; }, 20s));
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
            if (followClip_) {
                EXPECT_TRUE(waitUntil([&] { return frameGrabbedNow() == expected; }, 10s))
                    << "the clip shows " << frameGrabbedNow() << ", not " << expected;
            }
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
    std::optional<Pacer> pacer_;  // after the clock: it goes first
    bool pacing_ = false;
    bool followClip_ = true;  // the video plays on: each grab is of the frame due then
    OwnXServer x_;
    SilentServer silent_;
    std::vector<int64_t> grabTicks_;
};

class EachDialog : public DialogDuringCapture, public ::testing::WithParamInterface<DialogKind> {};

TEST_P(EachDialog, KeepsTheFramesThirtyApartAndTheTimeCodeCounting) {
    const DialogKind &kind = GetParam();
    startCaptureOfClip();
    if (IsSkipped() || HasFatalFailure()) return;

    // The dialog opens, and a timed call answers it 3 s later from within
    // the loop it waits in.
    int64_t opened = clock_->nowUs();
    std::string timeCode = main().mytc->text();
    int counter = palette().counter;
    bool ran = false, answered = false;
    std::string timeCodeOpen;
    int counterOpen = 0;
    rb::postAfter(3000, [&] {
        timeCodeOpen = main().mytc->text();
        counterOpen = palette().counter;
        answered = kind.answer();
        ran = true;
    });
    kind.open();
    // A dialog that is not modal is open still; the answer comes in a pass.
    ASSERT_TRUE(runUntilStill([&] { return ran; }, 30s));
    EXPECT_GE(clock_->nowUs(), opened + 3'000'000);
    EXPECT_TRUE(answered) << "the dialog was not open 3 s after it opened";
    // The capture went on behind it.
    EXPECT_GE(counterOpen, counter + 2);
    EXPECT_NE(timeCodeOpen, timeCode) << "the time code stood still";

    ASSERT_TRUE(runUntilStill([] { return palette().capturebutton->caption() == "Start Capture"; }, 30s));
    EXPECT_EQ(palette().mymessage->text(), "Done");
    int first = clipFrameAt(firstDue_);
    EXPECT_EQ(clipFramesIn(gDir / "out", kUntil),
              (std::vector<int>{first, first + 30, first + 60, first + 90, first + 120}));
    std::vector<int64_t> apart;
    for (size_t i = 1; i < grabTicks_.size(); ++i) apart.push_back(grabTicks_[i] - grabTicks_[i - 1]);
    EXPECT_EQ(apart, (std::vector<int64_t>{60, 60, 60, 60}));
}

INSTANTIATE_TEST_SUITE_P(Kinds, EachDialog, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<DialogKind> &p) { return p.param.name; });

// Video Settings stops the video while it is open: the capture goes on at
// its pace, grabbing the frame the video stopped at.
TEST_F(DialogDuringCapture, VideoSettingsHoldsTheFrameWhileTheCaptureGoesOn) {
    startCaptureOfClip();
    if (IsSkipped() || HasFatalFailure()) return;
    followClip_ = false;
    int counter = palette().counter;
    int held = -1, grabbedOpen = -1, counterOpen = 0;
    bool answered = false;
    // A second in, a frame that was on its way at the pause has come.
    rb::postAfter(1000, [&] { held = frameGrabbedNow(); });
    rb::postAfter(3000, [&] {
        grabbedOpen = frameGrabbedNow();
        counterOpen = palette().counter;
        answered = rb::op::click("VideoSettings", "Cancel");
    });
    rb::op::chooseMenu("VideoSetteingsMenu");
    EXPECT_TRUE(answered) << "Video Settings was not open 3 s after it opened";
    EXPECT_EQ(grabbedOpen, held) << "the video went on behind Video Settings";
    EXPECT_GE(counterOpen, counter + 2) << "the capture stood still behind Video Settings";
    ASSERT_TRUE(runUntilStill([] { return palette().capturebutton->caption() == "Start Capture"; }, 30s));
    // The window's refresh after the settings, half a second on.
    int64_t refreshed = clock_->nowUs() + 600'000;
    EXPECT_TRUE(runUntilStill([&] { return clock_->nowUs() >= refreshed; }, 30s));
}

}  // namespace

int main(int argc, char **argv) { return runEachTestInItsOwnProcess(argc, argv); }
