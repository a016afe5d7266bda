// The quit road, state by state: SIGTERM (a real signal, through the
// program's own handler; SIGHUP in some) and, where a person can press it,
// Ctrl+Q, in each state the application can be in. Each time the
// application ends within 5 s of the machine's clock with every frame it
// grabbed on disk, and what a dialog closed by the quit was for does not go
// on. Frames that the capture's folder cannot take go to the user's data,
// whichever quit it is (the script's too).
//
// The backend answers as the headless one does, except that a modal window
// waits until it is closed, as it does on screen (Video Settings, Deck
// Control Settings). A dialog answered "after 60 s" stays open until the
// quit closes it. The clock moves a millisecond a loop pass, whichever loop
// runs (and with rb::runFor besides); the quit is sent from that pass once
// the state is reached.
#include "app_fixture.h"
#include "process_per_test.h"
#include "pacer.h"
#include "test_clock.h"

#include <rb/backend.h>
#include <rb/loop.h>
#include <rb/operator.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

using namespace tavrin;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

controlwindow &thePalette() { return *static_cast<controlwindow *>(rb::findWindow("controlwindow")); }

// Headless, but a modal window waits for its close as on screen; it knows
// which dialogs are open now.
class Backend : public rb::HeadlessBackend {
public:
    rb::DialogAnswer ask(const rb::DialogRequest &r) override {
        open.push_back(r);
        rb::DialogAnswer a = HeadlessBackend::ask(r);
        open.pop_back();
        return a;
    }
    void runModal(rb::Window &w) override {
        rb::runModalLoop([&w] { return w.closed(); });
    }
    bool isOpen(const std::string &start) const {
        for (const rb::DialogRequest &r : open)
            if (r.text.rfind(start, 0) == 0 || r.title == start || r.actionCaption == start) return true;
        return false;
    }
    std::vector<rb::DialogRequest> open;
};
Backend *gBackend = nullptr;

enum class How { Sigterm, Sighup, CtrlQ, CloseBox, ScriptQuit, ScriptEnd };

void PrintTo(How how, std::ostream *os) {
    const char *names[] = {"Sigterm", "Sighup", "CtrlQ", "CloseBox", "ScriptQuit", "ScriptEnd"};
    *os << names[int(how)];
}

void send(How how) {
    switch (how) {
        case How::Sigterm:
            ::raise(SIGTERM);
            break;
        case How::Sighup:  // the terminal the program was started from closed
            ::raise(SIGHUP);
            break;
        case How::CtrlQ:
            rb::op::chooseMenu("FileQuit");
            break;
        case How::CloseBox:
            rb::op::closeWindow("CaptureWindow");
            break;
        case How::ScriptQuit:
        case How::ScriptEnd:
            // A script as TAVRIN_SCRIPT runs it in the program, from its
            // first line to its end.
            std::ofstream(gDir / "script") << (how == How::ScriptQuit ? "quit\n" : "# nothing more to do\n");
            setenv("TAVRIN_SCRIPT", (gDir / "script").c_str(), 1);
            rb::op::runScriptFromEnvironment();
            break;
    }
}

rb::Answer after60s(rb::Answer a) {
    a.afterMs = 60000;
    return a;
}

struct QuitState {
    const char *name;
    How how;
    bool capture;                       // a capture runs, Until 100
    std::function<void()> enter;        // brings the state about (may wait in a dialog)
    std::function<bool()> reached;      // the quit is sent once this holds
    const char *videoSource = nullptr;  // nullptr: the test pattern, endless
};

void PrintTo(const QuitState &s, std::ostream *os) { *os << s.name; }

bool grabbed(int n) { return captureRunning() && thePalette().counter >= n; }

const QuitState kStates[] = {
    {"IdleSigterm", How::Sigterm, false, [] {}, [] { return true; }},
    {"IdleCtrlQ", How::CtrlQ, false, [] {}, [] { return true; }},
    {"CapturingSigterm", How::Sigterm, true, [] {}, [] { return grabbed(2); }},
    {"CapturingSighup", How::Sighup, true, [] {}, [] { return grabbed(2); }},
    {"CapturingCtrlQ", How::CtrlQ, true, [] {}, [] { return grabbed(2); }},
    // The video ends mid-capture: the capture ends, saves its frames and
    // shows the grab's message, which nobody answers.
    {"CaptureThreadBoxSigterm", How::Sigterm, true,
     [] {
         rb::op::answerNext(after60s({rb::Answer::OK, {}}));
     },
     [] { return gBackend->isOpen("Error.  You can not grab a still"); },
     "videotestsrc num-buffers=75 ! video/x-raw,width=160,height=120,framerate=30/1"},
    {"MainThreadBoxSigterm", How::Sigterm, true,
     [] {
         rb::op::answerNext(after60s({rb::Answer::OK, {}}));
         rb::op::chooseMenu("HelpDocumentation");  // says the help file is gone
     },
     [] { return grabbed(2) && gBackend->isOpen("The help file"); }},
    {"CueDialogSigterm", How::Sigterm, false,
     [] {
         rb::op::answerNext(after60s({rb::Answer::OK, {}}));
         rb::op::click("controlwindow", "capturebutton");
     },
     [] { return gBackend->isOpen("Please make sure the deck is cued"); }},
    {"GrabNowFileDialogSigterm", How::Sigterm, true,
     [] {
         rb::op::answerNext(after60s({rb::Answer::File, (gDir / "still.tif").string()}));
         rb::op::click("CaptureWindow", "BevelButton1");
     },
     [] { return grabbed(2) && gBackend->isOpen("Save Image"); }},
    // Save Image over a file that is there: its question, which nobody answers.
    {"GrabNowReplaceQuestionSigterm", How::Sigterm, true,
     [] {
         std::ofstream(gDir / "kept.tif") << "someone's";
         rb::op::answerFile((gDir / "kept.tif").string());
         rb::op::answerNext(after60s({rb::Answer::Button, "Replace"}));
         rb::op::click("CaptureWindow", "BevelButton1");
     },
     [] { return grabbed(2) && gBackend->isOpen("A file named \"kept.tif\" already exists."); }},
    {"ChooseFolderDialogSigterm", How::Sigterm, true,
     [] {
         rb::op::answerNext(after60s({rb::Answer::Folder, gDir.string()}));
         rb::op::click("controlwindow", "BevelButton1");
     },
     [] { return grabbed(2) && gBackend->isOpen("Select Images Folder"); }},
    {"VideoSettingsSigterm", How::Sigterm, true, [] { rb::op::chooseMenu("VideoSetteingsMenu"); },
     [] { return grabbed(2) && rb::findWindow("VideoSettings"); }},
    {"VideoSettingsCtrlQ", How::CtrlQ, true, [] { rb::op::chooseMenu("VideoSetteingsMenu"); },
     [] { return grabbed(2) && rb::findWindow("VideoSettings"); }},
    {"DeckControlSettingsSigterm", How::Sigterm, true, [] { rb::op::chooseMenu("VideoDeckControl"); },
     [] { return grabbed(2) && rb::findWindow("ControlPrefswindow"); }},
    {"DeckControlSettingsCtrlQ", How::CtrlQ, true, [] { rb::op::chooseMenu("VideoDeckControl"); },
     [] { return grabbed(2) && rb::findWindow("ControlPrefswindow"); }},
    {"SavePassSigterm", How::Sigterm, true, [] {},
     [] {
         if (grabbed(3) && thePalette().capturebutton->enabled()) rb::op::click("controlwindow", "capturebutton");
         return thePalette().mymessage->text() == "Saving frames to disk...";
     }},
    {"SavePassCtrlQ", How::CtrlQ, true, [] {},
     [] {
         if (grabbed(3) && thePalette().capturebutton->enabled()) rb::op::click("controlwindow", "capturebutton");
         return thePalette().mymessage->text() == "Saving frames to disk...";
     }},
};

class QuitRoadBase : public AppTest {
protected:
    static void SetUpTestSuite() {
        AppTest::SetUpTestSuite();
        setenv("TAVRIN_AVC_UNITS", "1", 1);  // a deck to stop
    }

    void SetUp() override {
        startWithPacer();
        rb::op::runFor(300);
        out_ = gDir / "out";
        fs::create_directories(out_);
        rb::op::type("controlwindow", "framecount", "100");
        rb::op::type("controlwindow", "nameprefix", "q");
        rb::op::answerFolder(out_.string());
        rb::op::click("controlwindow", "BevelButton1");
    }

    void TearDown() override {
        pacer_.reset();
        AppTest::TearDown();
    }

    // The backend, the clock and its pacer, then the application.
    void startWithPacer() {
        clock_.emplace();
        auto owned = std::make_unique<Backend>();
        gBackend = owned.get();
        rb::setBackend(std::move(owned));
        pacer_.emplace([this] { pace(); });
        setenv("TAVRIN_VIDEO_SOURCE", videoSource().c_str(), 1);
        startUp();
    }

    virtual std::string videoSource() const { return "videotestsrc ! video/x-raw,width=160,height=120,framerate=30/1"; }

    // A millisecond a pass; the quit once the state is reached. The
    // palette's frame counter is kept as it goes with the quit.
    void pace() {
        if (!pacing_) return;
        clock_->advance(1);
        if (rb::Window *w = rb::findWindow("controlwindow")) counter_ = static_cast<controlwindow *>(w)->counter;
        if (!sentAt_ && reached_ && reached_()) {
            sentAt_ = std::chrono::steady_clock::now();
            send(how_);
        }
    }

    void startCapture() {
        rb::op::answerOK();
        rb::op::click("controlwindow", "capturebutton");
        ASSERT_TRUE(captureRunning());
    }

    // The application has ended: it quits and no capture runs.
    static bool ended() { return rb::app()->quitting() && !captureRunning(); }

    // Sends the quit once `reached` holds (entering with `enter`).
    void sendWhen(How how, const std::function<void()> &enter, std::function<bool()> reached) {
        how_ = how;
        sentAt_.reset();
        reached_ = std::move(reached);
        pacing_ = true;
        enter();
        ASSERT_TRUE(runUntil([this] { return sentAt_.has_value(); }, 60s)) << "the state was not reached";
    }
    // ... and waits for the end.
    void quitWhen(How how, const std::function<void()> &enter, std::function<bool()> reached) {
        sendWhen(how, enter, std::move(reached));
        ASSERT_TRUE(runUntil(ended, 60s));
        endedAt_ = std::chrono::steady_clock::now();
    }
    // From the quit to the end, in milliseconds of the machine's clock.
    int64_t quitTookMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(endedAt_ - *sentAt_).count();
    }
    // The capture's folder goes after its second frame; the state is
    // reached at its third.
    std::function<bool()> folderGoneAtThird() {
        return [this] {
            if (grabbed(2) && fs::exists(out_)) fs::remove_all(out_);
            return grabbed(3);
        };
    }

    // The frame files in `folder`, and whether they are the run's 0..n-1.
    static size_t frameFiles(const fs::path &folder) {
        size_t n = 0;
        std::error_code ec;
        for (const auto &e : fs::directory_iterator(folder, ec)) n += e.path().extension() == ".tif";
        return n;
    }
    static void expectNumbered(const fs::path &folder, int n) {
        EXPECT_EQ(frameFiles(folder), size_t(n)) << folder;
        for (int i = 0; i < n; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "q%03d.tif", i);
            EXPECT_TRUE(fs::exists(folder / name)) << name;
        }
    }
    fs::path dataFolder() const {
        std::error_code ec;
        for (const auto &e : fs::directory_iterator(gDir / "data" / "tavrin", ec)) return e.path();
        return {};
    }

    std::optional<TestClock> clock_;
    std::optional<Pacer> pacer_;  // after the clock: it goes first
    bool pacing_ = false;
    How how_ = How::Sigterm;
    std::function<bool()> reached_;
    std::optional<std::chrono::steady_clock::time_point> sentAt_;
    std::chrono::steady_clock::time_point endedAt_;
    int counter_ = 0;
    fs::path out_;
};

class QuitRoad : public QuitRoadBase, public ::testing::WithParamInterface<QuitState> {
protected:
    std::string videoSource() const override {
        return GetParam().videoSource ? GetParam().videoSource : QuitRoadBase::videoSource();
    }
};

TEST_P(QuitRoad, EndsWithinFiveSecondsWithEveryGrabbedFrameOnDisk) {
    const QuitState &state = GetParam();
    if (state.capture) startCapture();
    quitWhen(state.how, state.enter, state.reached);
    EXPECT_LE(quitTookMs(), 5000);
    // Every window went with the quit; nothing was made again after it.
    rb::op::runFor(600);
    EXPECT_TRUE(rb::windows().empty());
    EXPECT_EQ(rb::findWindow("CaptureWindow"), nullptr);
    // Every frame grabbed is on disk, in the capture's own folder.
    expectNumbered(out_, state.capture ? counter_ : 0);
    if (state.capture) {
        EXPECT_GE(counter_, 2);
    }
    EXPECT_TRUE(dataFolder().empty());
}

INSTANTIATE_TEST_SUITE_P(EachState, QuitRoad, ::testing::ValuesIn(kStates),
                         [](const ::testing::TestParamInfo<QuitState> &p) { return p.param.name; });

// The folder goes mid-capture: what it could not take goes to a new folder
// in the user's data before the program ends, whichever quit it is, and
// standard error says where.
class QuitRoadFolderGone : public QuitRoadBase, public ::testing::WithParamInterface<How> {
protected:
    // Sends the quit once `reached` holds; what standard error said until
    // the end. The program ends within 5 s.
    std::string quitSaying(std::function<bool()> reached) {
        ::testing::internal::CaptureStderr();
        quitWhen(
            GetParam(), [] {}, std::move(reached));
        std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_LE(quitTookMs(), 5000);
        return said;
    }
    // A capture whose folder goes at the third grab, and the quit then.
    std::string quitWithTheFolderGone() {
        startCapture();
        return quitSaying(folderGoneAtThird());
    }
    // The `n` frames are all in the new folder of the user's data, as
    // standard error says, and the program ends with status 0.
    void expectInTheUsersData(int n, const std::string &said) {
        fs::path data = dataFolder();
        ASSERT_FALSE(data.empty()) << said;
        EXPECT_EQ(data.parent_path(), gDir / "data" / "tavrin");
        expectNumbered(data, n);
        EXPECT_NE(said.find("tavrin: " + std::to_string(n) + " frames saved in " + data.string() + ", quitting\n"),
                  std::string::npos)
            << said;
        EXPECT_EQ(rb::app()->exitCode(), 0);
    }
};

TEST_P(QuitRoadFolderGone, DuringTheCaptureSavesTheFramesInTheUsersData) {
    std::string said = quitWithTheFolderGone();
    EXPECT_GE(counter_, 3);
    expectInTheUsersData(counter_, said);
}

// Stop Capture with the folder gone: the palette asks for another folder
// and the frames wait in memory. A quit then saves them in the user's data.
TEST_P(QuitRoadFolderGone, AfterTheCaptureSavesTheFramesHeldInTheUsersData) {
    pacing_ = true;
    startCapture();
    ASSERT_TRUE(runUntil(folderGoneAtThird(), 60s));
    rb::op::click("controlwindow", "capturebutton");  // Stop Capture
    ASSERT_TRUE(runUntil([] { return !captureRunning(); }, 60s));
    rb::op::runFor(1000);
    EXPECT_FALSE(rb::app()->quitting());
    int n = thePalette().counter;
    EXPECT_EQ(thePalette().mymessage->text(), std::to_string(n) + " frames could not be saved: choose another folder");
    EXPECT_EQ(captureWindow().unsavedCount(), n);
    EXPECT_TRUE(dataFolder().empty());

    std::string said = quitSaying([] { return true; });
    expectInTheUsersData(n, said);
}

// Nowhere to save them either: the program says so and ends with status 1.
TEST_P(QuitRoadFolderGone, WhenTheUsersDataCannotTakeThemEitherItEndsWithStatusOne) {
    std::ofstream(gDir / "data") << "a file where the folder would be";
    std::string said = quitWithTheFolderGone();
    EXPECT_NE(said.find("could not be saved in " + (gDir / "data" / "tavrin").string()), std::string::npos) << said;
    EXPECT_NE(said.find("they are lost"), std::string::npos) << said;
    EXPECT_EQ(rb::app()->exitCode(), 1);
}

INSTANTIATE_TEST_SUITE_P(EachQuit, QuitRoadFolderGone,
                         ::testing::Values(How::Sigterm, How::Sighup, How::CtrlQ, How::CloseBox, How::ScriptQuit,
                                           How::ScriptEnd),
                         [](const ::testing::TestParamInfo<How> &p) { return ::testing::PrintToString(p.param); });

// The start-up's "No video signal" box: a quit closes it, and the palette
// is not built after the quit.
class QuitRoadAtStartUp : public QuitRoadBase {
protected:
    void SetUp() override {}  // the test starts the application itself
};

TEST_F(QuitRoadAtStartUp, SigtermWithTheNoVideoBoxOpenOpensNothingMore) {
    setenv("TAVRIN_NO_VIDEO", "1", 1);
    how_ = How::Sigterm;
    reached_ = [] { return gBackend->isOpen("No video signal was detected."); };
    pacing_ = true;
    startWithPacer();  // opens on the first loop pass
    rb::op::answerNext(after60s({rb::Answer::OK, {}}));
    ASSERT_TRUE(runUntil([this] { return sentAt_.has_value(); }, 60s)) << "the box was not shown";
    ASSERT_TRUE(runUntil(ended, 60s));
    endedAt_ = std::chrono::steady_clock::now();
    EXPECT_LE(quitTookMs(), 5000);
    rb::op::runFor(600);
    EXPECT_EQ(rb::findWindow("controlwindow"), nullptr);
    for (rb::Window *w : rb::windows()) ADD_FAILURE() << w->className() << " is open after the quit";
}

}  // namespace

int main(int argc, char **argv) { return runEachTestInItsOwnProcess(argc, argv); }
