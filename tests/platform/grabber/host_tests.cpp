// The grabber plug-in loaded by the real host runtime: the member table
// binds through the host's entry-point lookup, and the members the
// application calls work through it (settings texts, pictures, painting a
// window's video surface).
#include <rb/backend.h>
#include <rb/entrypoints.h>
#include <rb/host.h>
#include <rb/object.h>
#include <rb/plugins.h>
#include <rb/string.h>
#include <rb/ui.h>

#include "clips.h"
#include "outside_texts.h"
#include "test_clock.h"
#include "wait_until.h"

#include <rb/loop.h>
#include <rb/operator.h>
#include <rb/picture.h>
#include <rb/plugin_notes.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class RealHost : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        rb::PluginLoad load = rb::loadPlugin(GRABBERPLUGIN_PATH);
        ASSERT_TRUE(load.ok) << load.error;
    }
    void SetUp() override {
        unsetenv("TAVRIN_NO_VIDEO");
        unsetenv("TAVRIN_VIDEO_SIZE");
        unsetenv("TAVRIN_VIDEO_SOURCE");
    }
    static void *entry(const char *text) { return RuntimeLookupPluginEntrypoint(text); }
    // The live test source's frames come only as the test moves the clock.
    TestClock clock{5000000};

    rb::ObjRef startGrabber() {
        rb::ObjRef g = rb::make("QTGrabberPlyx");
        rb::call(tavrin::lookupEntry<"QTGrabberPlyx.InitGrabber">(), g.get());
        rb::call(tavrin::lookupEntry<"QTGrabberPlyx.InitVideo">(), g.get());
        rb::call(
            tavrin::lookupEntry<"QTGrabberPlyx.Prepare(PrepareForPreview as boolean, PrepareForRecord as boolean)">(),
            g.get(), true, false);
        rb::call(tavrin::lookupEntry<"QTGrabberPlyx.StartPreview">(), g.get());
        rb::call(tavrin::lookupEntry<"QTGrabberPlyx.Play">(), g.get());
        return g;
    }
    static std::array<int32_t, 4> edges(REALobject r) {
        return {rb::direct<int32_t>(r, 0), rb::direct<int32_t>(r, 4), rb::direct<int32_t>(r, 8),
                rb::direct<int32_t>(r, 12)};
    }
};

TEST_F(RealHost, EveryTableTextBinds) {
    for (const std::string &text : outsideTexts()) EXPECT_FALSE(rb::isTrap(entry(text.c_str()))) << text;
}

TEST_F(RealHost, RectangleAsTheApplicationUsesIt) {
    rb::ObjRef r = rb::make("IntegerRectPlyx");
    ASSERT_TRUE(r);
    rb::setProp(tavrin::lookupEntry<"IntegerRectPlyx.Width.Set">(), r.get(), RBInteger(720));
    rb::setProp(tavrin::lookupEntry<"IntegerRectPlyx.Height.Set">(), r.get(), RBInteger(580));
    rb::setDirect<int32_t>(r.get(), 8, 0);    // Left
    rb::setDirect<int32_t>(r.get(), 0, 100);  // Top
    EXPECT_EQ(edges(r.get()), (std::array<int32_t, 4>{100, 580, 0, 720}));
    EXPECT_EQ(rb::getProp(tavrin::lookupEntry<"IntegerRectPlyx.Height.Get">(), r.get()), 480);
}

TEST_F(RealHost, VideoSizesAndNoSignal) {
    rb::ObjRef g = startGrabber();
    rb::ObjRef size = rb::getProp(tavrin::lookupEntry<"QTGrabberPlyx.SourceVideoRect.Get">(), g.get());
    ASSERT_TRUE(size);
    EXPECT_EQ(rb::getProp(tavrin::lookupEntry<"IntegerRectPlyx.Width.Get">(), size.get()), 720);
    EXPECT_EQ(rb::getProp(tavrin::lookupEntry<"IntegerRectPlyx.Height.Get">(), size.get()), 480);

    // The area the video fills; something that is not a rectangle is ignored.
    rb::ObjRef area = rb::make("IntegerRectPlyx");
    rb::setProp(tavrin::lookupEntry<"IntegerRectPlyx.Width.Set">(), area.get(), RBInteger(640));
    rb::setProp(tavrin::lookupEntry<"IntegerRectPlyx.Height.Set">(), area.get(), RBInteger(580));
    rb::setDirect<int32_t>(area.get(), 0, 100);
    rb::setProp(tavrin::lookupEntry<"QTGrabberPlyx.CurrentVideoSize.Set">(), g.get(), area);
    rb::ObjRef device = rb::make("QTGrabberDevicePlyx");
    rb::setProp(tavrin::lookupEntry<"QTGrabberPlyx.CurrentVideoSize.Set">(), g.get(), device);
    rb::ObjRef current = rb::getProp(tavrin::lookupEntry<"QTGrabberPlyx.CurrentVideoSize.Get">(), g.get());
    ASSERT_TRUE(current);
    EXPECT_EQ(edges(current.get()), (std::array<int32_t, 4>{100, 580, 0, 640}));

    setenv("TAVRIN_NO_VIDEO", "1", 1);
    rb::ObjRef dark = startGrabber();
    EXPECT_FALSE(rb::getProp(tavrin::lookupEntry<"QTGrabberPlyx.CurrentVideoSize.Get">(), dark.get()));
}

// The settings dialog is a window of the host's, answered by the operator
// as a person would; the choice is in the settings text and restores on
// another grabber.
TEST_F(RealHost, SettingsDialogThroughTheOperator) {
    rb::ObjRef a = startGrabber(), b = startGrabber();
    std::string before = rb::getProp(tavrin::lookupEntry<"QTGrabberPlyx.Settings.Get">(), a.get()).str();
    rb::call(tavrin::lookupEntry<"QTGrabberPlyx.AskVideoSettings">(), a.get());
    ASSERT_NE(rb::findWindow("VideoSettings"), nullptr);
    std::string shown = rb::op::dump("VideoSettings");
    EXPECT_NE(shown.find("\"Video Settings\""), std::string::npos) << shown;
    EXPECT_NE(shown.find("Device PopupMenu"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\"Test source (SMPTE bars)\""), std::string::npos) << shown;
    EXPECT_NE(shown.find("Size PopupMenu"), std::string::npos) << shown;
    rb::Control *size = rb::findWindow("VideoSettings")->control("Size");
    ASSERT_NE(size, nullptr);
    int row = -1;
    for (size_t i = 0; i < size->rows().size(); ++i)
        if (size->rows()[i] == "640 x 480") row = int(i);
    ASSERT_GE(row, 0) << shown;
    ASSERT_TRUE(rb::op::selectRow("VideoSettings", "Size", row)) << rb::op::lastError();
    ASSERT_TRUE(rb::op::click("VideoSettings", "OK")) << rb::op::lastError();
    EXPECT_EQ(rb::findWindow("VideoSettings"), nullptr);

    rb::String text = rb::getProp(tavrin::lookupEntry<"QTGrabberPlyx.Settings.Get">(), a.get());
    EXPECT_NE(text.str(), before);
    EXPECT_NE(text.str().find("size=640x480"), std::string::npos) << text.str();
    rb::ObjRef size2 = rb::getProp(tavrin::lookupEntry<"QTGrabberPlyx.SourceVideoRect.Get">(), a.get());
    ASSERT_TRUE(size2);
    EXPECT_EQ(rb::getProp(tavrin::lookupEntry<"IntegerRectPlyx.Width.Get">(), size2.get()), 640);
    rb::setProp(tavrin::lookupEntry<"QTGrabberPlyx.Settings.Set">(), b.get(), text.get());
    EXPECT_EQ(rb::getProp(tavrin::lookupEntry<"QTGrabberPlyx.Settings.Get">(), b.get()).str(), text.str());

    // Cancel, or the dialog's close box, changes nothing.
    rb::call(tavrin::lookupEntry<"QTGrabberPlyx.AskVideoSettings">(), a.get());
    ASSERT_TRUE(rb::op::selectRow("VideoSettings", "Size", 0));
    ASSERT_TRUE(rb::op::click("VideoSettings", "Cancel"));
    rb::call(tavrin::lookupEntry<"QTGrabberPlyx.AskVideoSettings">(), a.get());
    ASSERT_TRUE(rb::op::closeWindow("VideoSettings"));
    EXPECT_EQ(rb::getProp(tavrin::lookupEntry<"QTGrabberPlyx.Settings.Get">(), a.get()).str(), text.str());
}

// Why there is no video reaches the host, for the application to show.
TEST_F(RealHost, NoVideoLeavesItsReasonWithTheHost) {
    setenv("TAVRIN_VIDEO_SOURCE", "dv1394srcx ! dvdemux ! dvdec", 1);
    rb::ObjRef g = startGrabber();
    EXPECT_FALSE(rb::getProp(tavrin::lookupEntry<"QTGrabberPlyx.CurrentVideoSize.Get">(), g.get()));
    EXPECT_EQ(rb::pluginNote("QTGrabberPlyx"), "no element dv1394srcx: install the GStreamer plug-in that has it");
    unsetenv("TAVRIN_VIDEO_SOURCE");
    rb::call(tavrin::lookupEntry<"QTGrabberPlyx.InitVideo">(), g.get());
    EXPECT_EQ(rb::pluginNote("QTGrabberPlyx"), "");
}

TEST_F(RealHost, GrabPictureMakesAHostPicture) {
    rb::ObjRef g = startGrabber();
    rb::ObjRef r = rb::getProp(tavrin::lookupEntry<"QTGrabberPlyx.SourceVideoRect.Get">(), g.get());
    rb::ObjRef pic =
        rb::call(tavrin::lookupEntry<"QTGrabberPlyx.GrabPicture(rect as object) as picture">(), g.get(), r);
    EXPECT_TRUE(pic);
}

// The video runs on the runtime's clock: a clip moves only as it does.
TEST_F(RealHost, AClipKeepsToTheRuntimeClock) {
    std::filesystem::path clip =
        std::filesystem::temp_directory_path() / ("tavrin-host-" + std::to_string(getpid()) + ".avi");
    std::string why;
    ASSERT_TRUE(testclips::makeClip(clip.string(), {testclips::Codec::Mjpeg, 40, 160, 120, 30, 1}, &why)) << why;
    clock.set(4000000);
    setenv("TAVRIN_VIDEO_SOURCE", ("filesrc location=" + clip.string() + " ! decodebin").c_str(), 1);
    rb::ObjRef g = startGrabber();
    unsetenv("TAVRIN_VIDEO_SOURCE");
    rb::ObjRef r = rb::getProp(tavrin::lookupEntry<"QTGrabberPlyx.SourceVideoRect.Get">(), g.get());
    ASSERT_TRUE(r);
    auto shown = [&] {
        rb::ObjRef pic =
            rb::call(tavrin::lookupEntry<"QTGrabberPlyx.GrabPicture(rect as object) as picture">(), g.get(), r);
        return pic ? testclips::frameNumber(rb::pixel(pic.get(), 80, 60)) : -1;
    };
    ASSERT_NE(rb::resolve("RuntimeMicroseconds"), nullptr);
    EXPECT_EQ(shown(), 0);
    clock.advanceUs(1000000 / 3 + 8000);  // ten frames and a little
    EXPECT_TRUE(waitUntil([&] { return shown() == 10; }, 5s)) << shown();
    // The pipeline waits for the next frame's time on the runtime clock: it
    // reads it again and again, and the picture stays.
    int64_t seen = TestClock::reads();
    EXPECT_TRUE(waitUntil([&] { return TestClock::reads() > seen + 3; }, 5s));
    EXPECT_EQ(shown(), 10);
    g = rb::ObjRef();
    std::filesystem::remove(clip);
}

TEST_F(RealHost, PollPaintsTheWindowSurface) {
    // The display is told of each painting, so that it shows it at once;
    // the painting goes into the memory it lends, once the display has let
    // go of what was painted there before.
    struct Lent : rb::SurfaceMemory {
        explicit Lent(size_t n) : words(n) {}
        uint32_t *pixels() override { return words.data(); }
        void waitUntilFree() override { ++waits; }
        std::vector<uint32_t> words;
        uint64_t waits = 0;
    };
    struct Told : rb::HeadlessBackend {
        rb::Window *window = nullptr;
        uint64_t times = 0;
        std::shared_ptr<Lent> lent;
        std::shared_ptr<rb::SurfaceMemory> surfaceMemory(rb::Window &, int width, int height) override {
            size_t n = size_t(width) * size_t(height);
            if (!lent || lent->words.size() != n) lent = std::make_shared<Lent>(n);
            return lent;
        }
        void surfacePainted(rb::Window &w) override { window = &w, ++times; }
    };
    auto owned = std::make_unique<Told>();
    Told *told = owned.get();
    rb::setBackend(std::move(owned));
    auto w = rb::newWindow<rb::Window>("GrabberTestWindow", rb::WindowKind::Document, "Video", 720, 580);
    REALobject handle = w->handle();
    ASSERT_NE(handle, nullptr);
    rb::ObjRef g = startGrabber();
    rb::call(tavrin::lookupEntry<"QTGrabberPlyx.OutputToWindow(previewWindow as window)">(), g.get(), handle);
    rb::ObjRef area = rb::make("IntegerRectPlyx");
    rb::setProp(tavrin::lookupEntry<"IntegerRectPlyx.Width.Set">(), area.get(), RBInteger(720));
    rb::setProp(tavrin::lookupEntry<"IntegerRectPlyx.Height.Set">(), area.get(), RBInteger(580));
    rb::setDirect<int32_t>(area.get(), 0, 100);
    rb::setProp(tavrin::lookupEntry<"QTGrabberPlyx.CurrentVideoSize.Set">(), g.get(), area);
    EXPECT_TRUE(waitUntil(
        [&] {
            rb::call(tavrin::lookupEntry<"QTGrabberPlyx.Poll">(), g.get());
            return w->surface.pixels().size() == 720u * 480u;
        },
        5s));
    EXPECT_EQ(w->surface.area.top, 100);
    EXPECT_EQ(w->surface.area.left, 0);
    EXPECT_EQ(w->surface.area.width, 720);
    EXPECT_EQ(w->surface.area.height, 480);
    ASSERT_EQ(w->surface.pixels().size(), 720u * 480u);
    // The X server's pixels: the top byte is padding.
    auto rgb = [&](size_t i) { return w->surface.pixels()[i] & 0xFFFFFFu; };
    EXPECT_EQ(rgb(0), 0xFFFFFFu);               // the white bar
    EXPECT_EQ(rgb(719), 0x0000FFu);             // the blue bar
    EXPECT_EQ(rgb(340 * 720 + 51), 0x0000FFu);  // blue again in the strip below
    EXPECT_EQ(told->window, w.get());
    EXPECT_EQ(told->times, w->surface.paintings);
    ASSERT_TRUE(told->lent);
    EXPECT_EQ(w->surface.pixels().data(), told->lent->words.data());
    EXPECT_EQ(told->lent->waits, told->times);

    // The window at half size: the preview follows at once, scaled, and the
    // video goes on undisturbed however often the size changes.
    for (int i = 0; i < 20; ++i) {
        rb::setProp(tavrin::lookupEntry<"IntegerRectPlyx.Width.Set">(), area.get(), RBInteger(360 + i % 3));
        rb::setProp(tavrin::lookupEntry<"IntegerRectPlyx.Height.Set">(), area.get(), RBInteger(240 + i % 2));
        rb::setProp(tavrin::lookupEntry<"QTGrabberPlyx.CurrentVideoSize.Set">(), g.get(), area);
        rb::call(tavrin::lookupEntry<"QTGrabberPlyx.Poll">(), g.get());
        EXPECT_EQ(w->surface.area.width, 360 + i % 3);
        EXPECT_EQ(w->surface.area.height, 240 + i % 2);
    }
    EXPECT_EQ(rgb(0), 0xFFFFFFu);
    EXPECT_TRUE(rb::getProp(tavrin::lookupEntry<"QTGrabberPlyx.CurrentVideoSize.Get">(), g.get()));

    // Once the window is gone, a poll paints nothing and does no harm.
    w->close();
    w.reset();
    rb::collectClosedWindows();
    rb::call(tavrin::lookupEntry<"QTGrabberPlyx.Poll">(), g.get());
    rb::setBackend(nullptr);
}

}  // namespace
