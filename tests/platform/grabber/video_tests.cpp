// The pipeline on its own: the test source's known picture, the hand-over of
// frames from GStreamer's threads, the preview, devices, clips, and the ways
// a source fails. The video runs on a clock the test moves, but in the one
// test of the machine's own clock (RealTime, run alone).
#include "clips.h"
#include "fakecams.h"
#include "source.h"
#include "test_clock.h"
#include "video.h"
#include "wait_until.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int64_t kFrameUs = 1000000 / 30;

grab::Source described(const std::string &text) {
    grab::Source s;
    s.kind = grab::Source::Description;
    s.description = text;
    return s;
}

std::unique_ptr<grab::Video> start(const std::string &text, grab::MicrosecondsFn clock = TestClock::now,
                                   std::string *why = nullptr) {
    std::string reason;
    auto v = grab::Video::start(described(text), clock, 10s, &reason);
    if (why) *why = reason;
    return v;
}

std::vector<uint8_t> frame(const grab::Video &v, int w, int h) {
    std::vector<uint8_t> px(size_t(w) * size_t(h) * 4);
    if (!v.copyFrame(px.data(), w, h)) px.clear();
    return px;
}

int shown(const grab::Video &v) {
    int w = 0, h = 0;
    v.frameSize(&w, &h);
    std::vector<uint8_t> px = frame(v, w, h);
    return px.empty() ? -1 : testclips::frameGrabbedNow(px.data(), w, h);
}

// Each channel of the pixel at (x, y) either well on or well off, as `rgb`
// (bits 4, 2, 1 = red, green, blue) says.
::testing::AssertionResult barAt(const std::vector<uint8_t> &px, int w, int x, int y, int rgb) {
    const uint8_t *p = &px[(size_t(y) * size_t(w) + size_t(x)) * 4];
    for (int c = 0; c < 3; ++c) {
        bool on = rgb & (4 >> c);
        int v = p[1 + c];
        if (on ? v < 150 : v > 40)
            return ::testing::AssertionFailure() << "at " << x << "," << y << " channel " << c << " is " << v;
    }
    return ::testing::AssertionSuccess();
}

// A 0x00RRGGBB word (the top byte aside) within a few levels of `rgb`.
::testing::AssertionResult near(uint32_t word, uint32_t rgb) {
    for (int shift : {16, 8, 0})
        if (std::abs(int(word >> shift & 0xFF) - int(rgb >> shift & 0xFF)) > 8)
            return ::testing::AssertionFailure() << std::hex << (word & 0xFFFFFF) << " is not " << rgb;
    return ::testing::AssertionSuccess();
}

class VideoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        gst_init(nullptr, nullptr);
        dir = fs::temp_directory_path() / ("tavrin-video-" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    static void TearDownTestSuite() { fs::remove_all(dir); }
    static fs::path clip(const testclips::ClipSpec &spec, const std::string &name) {
        fs::path p = dir / name;
        std::string why;
        if (!fs::exists(p) && !testclips::makeClip(p.string(), spec, &why)) return {};
        return p;
    }
    static inline fs::path dir;
    // The video's clock, moved on by the test.
    TestClock clock;
};

// ---- the test source ---------------------------------------------------------------------

TEST_F(VideoTest, TestSourceShowsSmpteBarsAtItsSize) {
    auto v = start(grab::testSourceDescription(720, 480));
    ASSERT_TRUE(v);
    EXPECT_TRUE(v->live());
    int w = 0, h = 0;
    v->frameSize(&w, &h);
    EXPECT_EQ(w, 720);
    EXPECT_EQ(h, 480);
    // White, yellow, cyan, green, magenta, red, blue, left to right above;
    // below them blue, black, magenta, black, cyan, black, white.
    const int top[7] = {7, 6, 3, 2, 5, 4, 1}, strip[7] = {1, 0, 5, 0, 3, 0, 7};
    std::vector<uint8_t> px = frame(*v, 720, 480);
    ASSERT_EQ(px.size(), 720u * 480u * 4u);
    for (int i = 0; i < 7; ++i) {
        int x = (2 * i + 1) * 720 / 14;
        EXPECT_TRUE(barAt(px, 720, x, 160, top[i])) << i;
        EXPECT_TRUE(barAt(px, 720, x, 340, strip[i])) << i;
        EXPECT_EQ(px[(160 * 720 + size_t(x)) * 4], 0xFF) << "opaque";
    }
    // At another size the same picture, scaled by GStreamer.
    px = frame(*v, 360, 240);
    ASSERT_EQ(px.size(), 360u * 240u * 4u);
    for (int i = 0; i < 7; ++i) EXPECT_TRUE(barAt(px, 360, (2 * i + 1) * 360 / 14, 80, top[i])) << i;
    EXPECT_TRUE(frame(*v, 1, 1).size() == 4u);
}

TEST_F(VideoTest, FramesComeOverFromGStreamersThreadsWhileTheyAreCopied) {
    auto v = start("videotestsrc is-live=true pattern=ball ! video/x-raw,width=64,height=48,framerate=300/1");
    ASSERT_TRUE(v);
    uint64_t first = v->frames();
    std::vector<uint8_t> px(64 * 48 * 4);
    int copies = 0;
    // The main thread copies and reads sizes as fast as it can while frames
    // arrive, a frame's time at a step (ThreadSanitizer watches this).
    EXPECT_TRUE(waitUntil(
        [&] {
            clock.advanceUs(1000000 / 300);
            for (int i = 0; i < 50; ++i) {
                int w = 0, h = 0;
                v->frameSize(&w, &h);
                copies += v->copyFrame(px.data(), 64, 48);
                EXPECT_EQ(w, 64);
            }
            return v->frames() >= first + 60;
        },
        20s));
    EXPECT_GT(copies, 0);
    EXPECT_FALSE(v->failed());
}

TEST_F(VideoTest, PreviewComesAtTheAskedSizeAndOnlyWhenNew) {
    auto v = start("videotestsrc is-live=true ! video/x-raw,width=320,height=240,framerate=30/1");
    ASSERT_TRUE(v);
    uint64_t seen = 0;
    std::vector<uint32_t> painted;
    auto paintAt = [&](int w, int h) {
        return v->withNewPreview(&seen, w, h, [&](const uint32_t *px) { painted.assign(px, px + w * h); });
    };
    ASSERT_TRUE(paintAt(100, 50));
    ASSERT_EQ(painted.size(), 100u * 50u);
    EXPECT_TRUE(near(painted[0], 0xFFFFFF));         // the white bar, scaled
    EXPECT_TRUE(near(painted[99], 0x0000FF));        // the blue one
    EXPECT_TRUE(near(painted[45 * 100], 0x000080));  // the -I patch below
    // The same frame is not painted twice; a new one is.
    EXPECT_FALSE(paintAt(100, 50));
    clock.advanceUs(1000000 / 30 + 1000);
    EXPECT_TRUE(waitUntil([&] { return paintAt(100, 50); }, 5s));
    EXPECT_FALSE(paintAt(100, 50));
    // Any size, the source's own too.
    seen = 0;
    EXPECT_TRUE(paintAt(320, 240));
    EXPECT_EQ(painted.size(), 320u * 240u);
}

// Messages on the pipeline's bus are handled as they are posted: a pipeline
// that goes takes its threads and descriptors with it.
TEST_F(VideoTest, AStoppedPipelineLeavesNothingBehind) {
    auto descriptors = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()); };
    start(grab::testSourceDescription(64, 48)).reset();
    auto before = descriptors();
    for (int i = 0; i < 5; ++i) {
        auto v = start(grab::testSourceDescription(64, 48));
        ASSERT_TRUE(v);
        v->pause();
        v->play();
    }
    // The last of GStreamer's threads may still be letting go of a clock.
    EXPECT_TRUE(waitUntil([&] { return descriptors() <= before; }, 5s)) << descriptors() << " > " << before;
}

// ---- clips on the test's clock -----------------------------------------------------------

TEST_F(VideoTest, ClipRunsFrameByFrameOnTheClock) {
    fs::path p = clip({testclips::Codec::Mjpeg, 45, 160, 120, 30, 1}, "steps.avi");
    ASSERT_FALSE(p.empty());
    int64_t t0 = 5000000;
    clock.set(t0);
    auto v = start("filesrc location=" + p.string() + " ! decodebin", TestClock::now);
    ASSERT_TRUE(v);
    EXPECT_FALSE(v->live());
    EXPECT_EQ(shown(*v), 0);  // the first frame, before the clock moves
    for (int f = 1; f <= 10; ++f) {
        clock.set(t0 + f * kFrameUs + kFrameUs / 4);
        EXPECT_TRUE(waitUntil([&] { return shown(*v) == f; }, 5s)) << f << ": " << shown(*v);
    }
    uint64_t frames = v->frames();
    // A leap: the frames it passed over are dropped, not shown late.
    clock.set(t0 + 30 * kFrameUs + kFrameUs / 4);
    EXPECT_TRUE(waitUntil([&] { return shown(*v) == 30; }, 5s)) << shown(*v);
    EXPECT_LT(v->frames(), frames + 10);
    clock.set(t0 + 44 * kFrameUs + kFrameUs / 4);
    EXPECT_TRUE(waitUntil([&] { return shown(*v) == 44; }, 5s)) << shown(*v);
    // Past its end the clip has ended.
    clock.set(t0 + 60 * kFrameUs);
    EXPECT_TRUE(waitUntil([&] { return v->failed(); }, 5s));
    std::string why;
    v->failed(&why);
    EXPECT_EQ(why, "the video source has ended");
    EXPECT_EQ(shown(*v), 44);  // the last frame stays
}

TEST_F(VideoTest, DvClipPlaysThroughDecodebinAtItsOwnRate) {
    if (!testclips::encoderAvailable(testclips::Codec::Dv)) GTEST_SKIP() << "no DV encoder here";
    fs::path p = clip(testclips::dvSpec(40), "steps.dv");
    ASSERT_FALSE(p.empty());
    int64_t t0 = 9000000;
    clock.set(t0);
    auto v = start("filesrc location=" + p.string() + " ! decodebin", TestClock::now);
    ASSERT_TRUE(v);
    int w = 0, h = 0;
    v->frameSize(&w, &h);
    EXPECT_EQ(w, 720);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(shown(*v), 0);
    // 29.97 frames a second: one second in, frame 29 is showing; frame 30
    // comes at 1.001 s.
    clock.set(t0 + 1000000);
    EXPECT_TRUE(waitUntil([&] { return shown(*v) == 29; }, 5s)) << shown(*v);
    clock.set(t0 + 1001000 + 5000);
    EXPECT_TRUE(waitUntil([&] { return shown(*v) == 30; }, 5s)) << shown(*v);
    // DV is interlaced: the preview at its size and at half size, and a grab
    // at half size, still show the frame.
    for (int half : {1, 2}) {
        int pw = 720 / half, ph = 480 / half, previewed = -1;
        uint64_t seen = 0;
        EXPECT_TRUE(v->withNewPreview(&seen, pw, ph, [&](const uint32_t *px) {
            previewed = testclips::frameNumber(px[size_t(ph / 2) * size_t(pw) + size_t(pw / 2)] & 0xFFFFFF);
        }));
        EXPECT_EQ(previewed, 30) << pw << "x" << ph;
    }
    std::vector<uint8_t> half = frame(*v, 360, 240);
    ASSERT_FALSE(half.empty());
    EXPECT_EQ(testclips::frameGrabbedNow(half.data(), 360, 240), 30);
}

TEST_F(VideoTest, PausedClipHoldsItsFrame) {
    fs::path p = clip({testclips::Codec::Mjpeg, 45, 160, 120, 30, 1}, "steps.avi");
    ASSERT_FALSE(p.empty());
    int64_t t0 = 20000000;
    clock.set(t0);
    auto v = start("filesrc location=" + p.string() + " ! decodebin", TestClock::now);
    ASSERT_TRUE(v);
    clock.set(t0 + 5 * kFrameUs + kFrameUs / 4);
    ASSERT_TRUE(waitUntil([&] { return shown(*v) == 5; }, 5s));
    v->pause();
    clock.set(t0 + 20 * kFrameUs);
    // Playing, it would show frame 20 within a few milliseconds; paused, it
    // holds frame 5 however long it is given.
    EXPECT_FALSE(waitUntil([&] { return shown(*v) != 5; }, 1s)) << shown(*v);
    v->play();  // the paused time does not count: it goes on from frame 5 (not 21)
    clock.set(t0 + 21 * kFrameUs + kFrameUs / 4);
    EXPECT_TRUE(waitUntil([&] { return shown(*v) == 6; }, 5s)) << shown(*v);
}

// ---- failures -----------------------------------------------------------------------------

TEST_F(VideoTest, AnElementErrorMidRunFailsTheSource) {
    auto v =
        start("videotestsrc is-live=true ! video/x-raw,width=64,height=48,framerate=100/1 ! identity error-after=40");
    ASSERT_TRUE(v);
    EXPECT_TRUE(waitUntil(
        [&] {
            clock.advanceUs(10000);
            return v->failed();
        },
        10s));
    std::string why;
    v->failed(&why);
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(frame(*v, 64, 48).size(), 64u * 48u * 4u);  // the last frame is still there
}

TEST_F(VideoTest, SourcesThatCannotStartSayWhy) {
    std::string why;
    EXPECT_FALSE(start("nosuchelement ! videoconvert", TestClock::now, &why));
    EXPECT_EQ(why, "no element nosuchelement: install the GStreamer plug-in that has it");
    EXPECT_FALSE(start("videotestsrc ! ! !", TestClock::now, &why));
    EXPECT_EQ(why.rfind("the video source cannot be built: ", 0), 0u) << why;
    EXPECT_FALSE(start("filesrc location=/nonexistent/tape.avi ! decodebin", TestClock::now, &why));
    EXPECT_NE(why.find("not found"), std::string::npos) << why;
    // A file that is not video at all.
    fs::path text = dir / "notvideo.avi";
    std::ofstream(text) << "this is not a clip";
    EXPECT_FALSE(start("filesrc location=" + text.string() + " ! decodebin", TestClock::now, &why));
    EXPECT_FALSE(why.empty());
    // A source that never brings a frame within the wait.
    auto v = grab::Video::start(described("videotestsrc is-live=true ! valve drop=true"), TestClock::now, 300ms, &why);
    EXPECT_FALSE(v);
    EXPECT_EQ(why, "no picture came from the video source");
}

TEST(MissingElements, NameThePlugInToInstall) {
    EXPECT_EQ(grab::missingElementText("dv1394src"),
              "no element dv1394src: install the GStreamer 1394 plug-in (gstreamer1.0-plugins-good)");
    EXPECT_EQ(grab::missingElementText("v4l2src"),
              "no element v4l2src: install the GStreamer Video4Linux plug-in (gstreamer1.0-plugins-good)");
    EXPECT_EQ(grab::missingElementText("frobnicator"),
              "no element frobnicator: install the GStreamer plug-in that has it");
}

// ---- devices -------------------------------------------------------------------------------

TEST_F(VideoTest, ADeviceGivesItsPictureAtTheSizeAsked) {
    fakecams::set({{"/dev/video0", "Capture Stick", {{640, 480}, {320, 240}}}});
    grab::GrabberSettings settings;
    settings.width = 640, settings.height = 480;
    grab::Source source = grab::chooseSource(settings);
    ASSERT_EQ(source.kind, grab::Source::Device);
    std::string why;
    auto v = grab::Video::start(source, TestClock::now, 10s, &why);
    ASSERT_TRUE(v) << why;
    EXPECT_TRUE(v->live());
    int w = 0, h = 0;
    v->frameSize(&w, &h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    std::vector<uint8_t> px = frame(*v, 640, 480);
    ASSERT_FALSE(px.empty());
    EXPECT_TRUE(barAt(px, 640, 320, 240, 4));  // the first camera is red
    fakecams::set({});
}

// ---- the machine's own clock ------------------------------------------------------------------

// The live test source as the program runs it, on GStreamer's system clock:
// frames keep coming as time passes.
TEST(RealTime, TheTestSourceRunsOnTheSystemClock) {
    gst_init(nullptr, nullptr);
    std::string why;
    grab::Source s;
    s.kind = grab::Source::Description;
    s.description = grab::testSourceDescription(64, 48);
    auto v = grab::Video::start(s, nullptr, 10s, &why);
    ASSERT_TRUE(v) << why;
    uint64_t first = v->frames();
    EXPECT_TRUE(waitUntil([&] { return v->frames() >= first + 5; }, 20s));
    EXPECT_FALSE(v->failed());
}

TEST(SourceChoice, SizesWithinLimits) {
    int w = 0, h = 0;
    EXPECT_TRUE(grab::parseSize("1920x1080", &w, &h));
    EXPECT_EQ(w, 1920);
    EXPECT_EQ(h, 1080);
    for (const char *bad : {"0x480", "720", "720x", "x480", "99999x10", "720x480junk", "-5x-5", ""})
        EXPECT_FALSE(grab::parseSize(bad, &w, &h)) << bad;
    EXPECT_FALSE(grab::parseSize(nullptr, &w, &h));
}

}  // namespace
