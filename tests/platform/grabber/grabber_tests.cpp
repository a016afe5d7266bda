// The grabber plug-in loaded into the host runtime: records and binding
// texts, the rectangle class, the grabber over GStreamer with devices of
// the test's own, the settings dialog, the extension and the global. The
// video runs on the runtime's clock, which the tests move.
#include "calls_by_text.h"
#include "class_texts.h"
#include "clips.h"
#include "fakecams.h"
#include "fresh_process.h"
#include "outside_texts.h"
#include "test_clock.h"
#include "wait_until.h"

#include <rb/backend.h>
#include <rb/entrypoints.h>
#include <rb/host.h>
#include <rb/object.h>
#include <rb/operator.h>
#include <rb/picture.h>
#include <rb/plugin_notes.h>
#include <rb/plugins.h>
#include <rb/string.h>
#include <rb/ui.h>

#include "imaging/imaging.h"

#include <gtest/gtest.h>

#include <gst/gst.h>

#include <chrono>
#include <climits>
#include <map>
#include <utility>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Strings and objects as the members take and give them: the caller owns
// one reference of each it is given.
REALstring str(const std::string &s) { return rb::newString(s); }
std::string text(REALstring s) { return rb::String::retain(s).str(); }
void release(REALstring s) { rb::releaseString(s); }
void release(REALobject o) { rb::release(o); }
std::string className(REALobject o) { return o->klass->name; }
std::string folderPath(REALobject f) { return std::get<rb::String>(rb::getPropValue(f, "AbsolutePath")).str(); }

// Members by binding text through the host's entry points, in the
// application's manner: methods get the object and the arguments, getters
// (object, 0), setters (object, 0, value); results are the members' own.
struct Bound {
    void *at(const std::string &text) const { return RuntimeLookupPluginEntrypoint(text.c_str()); }
    template <typename R = void, typename... A> R call(const std::string &text, REALobject o, A... args) const {
        return bytext::call<R>(text, o, args...);
    }
    template <typename R = void, typename... A> R global(const std::string &text, A... args) const {
        return bytext::callGlobal<R>(text, args...);
    }
    template <typename R> R get(const std::string &text, REALobject o) const { return bytext::getProp<R>(text, o); }
    template <typename T> void set(const std::string &text, REALobject o, T v) const { bytext::setProp(text, o, v); }
};

const REALclassDefinition *record(const char *cls) {
    const rb::ClassInfo *c = rb::findClass(cls);
    return c ? c->def : nullptr;
}

// The settings dialog, a window of the host's, as the operator sees it.
const char *const kDialog = "VideoSettings";
rb::Control *popup(const char *name) {
    rb::Window *w = rb::findWindow(kDialog);
    return w ? w->control(name) : nullptr;
}
std::vector<std::string> dialogRows(const char *name) {
    rb::Control *p = popup(name);
    return p ? p->rows() : std::vector<std::string>{};
}
int selected(const char *name) {
    rb::Control *p = popup(name);
    return p ? p->listIndex() : -2;
}
// Answers the open dialog: `rows` chosen in turn (popup, row), then OK or
// Cancel.
void answerDialog(std::vector<std::pair<const char *, int>> rows, bool ok) {
    ASSERT_NE(rb::findWindow(kDialog), nullptr);
    for (auto [name, row] : rows) ASSERT_TRUE(rb::op::selectRow(kDialog, name, row)) << rb::op::lastError();
    ASSERT_TRUE(rb::op::click(kDialog, ok ? "OK" : "Cancel")) << rb::op::lastError();
    EXPECT_EQ(rb::findWindow(kDialog), nullptr);
}
int dialogsOpen() {
    int n = 0;
    for (rb::Window *w : rb::windows()) n += w->className() == kDialog && w->visible();
    return n;
}

class Grabber : public ::testing::Test {
protected:
    void SetUp() override {
        if (loadAtSetUp) load();
        unsetenv("TAVRIN_NO_VIDEO");
        unsetenv("TAVRIN_VIDEO_SIZE");
        unsetenv("TAVRIN_VIDEO_SOURCE");
        fakecams::set({});
    }
    void TearDown() override {
        fakecams::set({});
        unsetenv("TAVRIN_VIDEO_SOURCE");
    }
    bool loadAtSetUp = true;
    static void load() {
        rb::PluginLoad load = rb::loadPlugin(GRABBERPLUGIN_PATH);
        ASSERT_TRUE(load.ok) << load.error;
    }
    // The runtime's clock, moved on by the test.
    TestClock clock;
    static void SetUpTestSuite() {
        gst_init(nullptr, nullptr);
        dir = std::filesystem::temp_directory_path() / ("tavrin-grabber-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(dir); }
    static inline std::filesystem::path dir;

    // A numbered MJPEG clip of `frames` frames at 30 a second, 160x120.
    static std::string clip(int frames) {
        std::filesystem::path p = dir / ("clip" + std::to_string(frames) + ".avi");
        std::string why;
        if (!std::filesystem::exists(p)) {
            EXPECT_TRUE(testclips::makeClip(p.string(), {testclips::Codec::Mjpeg, frames, 160, 120, 30, 1}, &why))
                << why;
        }
        return p.string();
    }
    // Whether CurrentVideoSize is a rectangle (there is a signal).
    bool hasSignal(REALobject g) {
        REALobject r = bound.get<REALobject>("QTGrabberPlyx.CurrentVideoSize.Get", g);
        release(r);
        return r != nullptr;
    }
    // Which clip frame a grab of the whole picture shows.
    int shown(REALobject g) {
        std::string px = grab(g, 160, 120);
        return px.empty() ? -1 : testclips::frameGrabbedNow(reinterpret_cast<const uint8_t *>(px.data()), 160, 120);
    }

    Bound bound;

    REALobject rect(int32_t top, int32_t bottom, int32_t left, int32_t right) {
        REALobject r = rb::newObject("IntegerRectPlyx");
        for (int32_t i = 0; int32_t v : {top, bottom, left, right}) rb::setDirect<int32_t>(r, 4 * i++, v);
        return r;
    }
    std::array<int32_t, 4> fields(REALobject r) {
        return {rb::direct<int32_t>(r, 0), rb::direct<int32_t>(r, 4), rb::direct<int32_t>(r, 8),
                rb::direct<int32_t>(r, 12)};
    }

    // A grabber set up as the main window does it.
    REALobject startGrabber() {
        REALobject g = rb::newObject("QTGrabberPlyx");
        bound.call("QTGrabberPlyx.InitGrabber", g);
        bound.call("QTGrabberPlyx.InitVideo", g);
        bound.call("QTGrabberPlyx.Prepare(PrepareForPreview as boolean, PrepareForRecord as boolean)", g, true, false);
        bound.call("QTGrabberPlyx.StartPreview", g);
        bound.call("QTGrabberPlyx.Play", g);
        return g;
    }
    std::string settings(REALobject g) {
        REALstring s = bound.get<REALstring>("QTGrabberPlyx.Settings.Get", g);
        std::string t = text(s);
        release(s);
        return t;
    }
    void setSettings(REALobject g, const std::string &t) {
        REALstring s = str(t);
        bound.set("QTGrabberPlyx.Settings.Set", g, s);
        release(s);
    }
    // The ARGB bytes of a picture the grabber made, w x h of 24 bits.
    static std::string pixels(REALobject pic, int w, int h) {
        EXPECT_EQ(rb::pictureWidth(pic), w);
        EXPECT_EQ(rb::pictureHeight(pic), h);
        EXPECT_EQ(rb::pictureDepth(pic), 24);
        imaging::PixMapInfo pm{};
        imaging::GetGWorldPixMap(rb::pictureWorld(pic), &pm);
        std::string bytes;
        for (int y = 0; pm.baseAddr && y < h; ++y)
            bytes.append(reinterpret_cast<const char *>(pm.baseAddr + size_t(y) * pm.rowBytes), size_t(w) * 4);
        return bytes;
    }
    // The ARGB bytes of a grabbed picture of the rectangle's size, or "".
    std::string grab(REALobject g, int w, int h) {
        REALobject r = rect(0, h, 0, w);
        auto pic = bound.call<REALobject>("QTGrabberPlyx.GrabPicture(rect as object) as picture", g, r);
        release(r);
        if (!pic) return {};
        std::string bytes = pixels(pic, w, h);
        release(pic);
        return bytes;
    }
};

// The grabber in its own process, loaded once the test has set the host up.
class GrabberOnItsOwn : public Grabber {
protected:
    GrabberOnItsOwn() { loadAtSetUp = false; }
    // The plug-in loaded for the first time, with the host as the test has
    // set it up.
    static void loadFresh() {
        ASSERT_EQ(record("QTGrabberPlyx"), nullptr) << "the plug-in was loaded before the host was set up";
        load();
    }
};

// ---- records and binding ----------------------------------------------------------

TEST_F(Grabber, EveryTableTextResolvesAsTheRecordsDeclareThem) {
    using namespace tavrin::detail;
    EXPECT_EQ(std::size(kControlsTexts), 26u);
    EXPECT_EQ(std::size(kAppExtensionTexts), 1u);
    EXPECT_EQ(std::size(kGeometryTexts), 28u);
    EXPECT_EQ(std::size(kGrabberTexts), 144u);
    const std::vector<std::string> texts = outsideTexts();
    for (const std::string &text : texts) EXPECT_FALSE(rb::isTrap(bound.at(text))) << text;

    // The texts the runtime derives from the records are the application's,
    // in its order, and nothing more: the classes' (and QTUserDataPlyx's,
    // which the application does not bind), then the extension and the
    // global.
    const std::string extension = "application.BundleResourceFolderPlyx as folderitem";
    const std::string global = "EncodeBase64(data As String, lineWrap As Integer = 76) As String";
    std::vector<std::string> expected, derived, classes;
    for (const std::string &text : texts) {
        if (text == extension || text == global) continue;
        expected.push_back(text);
        std::string cls = text.substr(0, text.find('.'));
        if (classes.empty() || classes.back() != cls) classes.push_back(cls);
    }
    expected.insert(expected.end(), {"QTUserDataPlyx.__init", "QTUserDataPlyx.__exit"});
    classes.push_back("QTUserDataPlyx");
    for (const std::string &cls : classes)
        for (const std::string &text : classTexts(cls.c_str())) derived.push_back(text);
    EXPECT_EQ(derived, expected);
    EXPECT_NE(rb::findMethod(rb::applicationObject()->klass, "BundleResourceFolderPlyx as folderitem"), nullptr);
    EXPECT_NE(rb::findGlobalMethod(global), nullptr);
}

// The runtime refuses a record it cannot hold safely and says so on the
// standard error: every record of the plug-in is taken.
TEST_F(GrabberOnItsOwn, TheRuntimeTakesEveryRecord) {
    if (!inFreshProcess()) return;
    ::testing::internal::CaptureStderr();
    loadFresh();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    for (const std::string &text : outsideTexts()) {
        std::string cls = text.substr(0, text.find('.'));
        if (cls != "application" && text.find('.') != std::string::npos) {
            EXPECT_NE(record(cls.c_str()), nullptr) << cls;
        }
    }
}

TEST_F(Grabber, RecordsDeclareDataSizesAndDirectFields) {
    ASSERT_TRUE(record("QTGrabberPlyx") && record("IntegerRectPlyx"));
    EXPECT_EQ(record("QTGrabberPlyx")->version, 9u);
    EXPECT_EQ(record("QTGrabberPlyx")->dataSize, 44u);
    EXPECT_EQ(record("QTGrabberPlyx")->constructor, nullptr);  // no "__init" text is bound
    EXPECT_EQ(record("IntegerRectPlyx")->dataSize, 16u);
    const char *names[] = {"Top", "Bottom", "Left", "Right"};
    const REALclassDefinition *r = record("IntegerRectPlyx");
    for (int i = 0; i < 4; ++i) {
        const REALpropertyDefinition &p = r->properties[i];
        EXPECT_STREQ(p.name, names[i]);
        EXPECT_EQ(p.getter, REALstandardGetter);
        EXPECT_EQ(p.setter, REALstandardSetter);
        EXPECT_EQ(p.param, 4 * i);
    }
    for (const char *c : {"BevelButton", "Placard", "DisclosureTriangle", "ImageWell", "VideoGrabberDisplayPlyx"})
        EXPECT_NE(record(c), nullptr) << c;
}

TEST_F(GrabberOnItsOwn, ShortMethodRecordsOfAnOldHostCarryTheSameTexts) {
    if (!inFreshProcess()) return;
    rb::setHostVersion(5.8);
    loadFresh();
    for (const std::string &text : outsideTexts()) EXPECT_FALSE(rb::isTrap(bound.at(text))) << text;
}

TEST_F(Grabber, UserDataHolderIsTaggedAndDisposesWhatItOwns) {
    struct Holder {
        uint32_t tag, owns, unused;
        imaging::UserData userData;
    };
    auto holder = [](REALobject o) { return static_cast<Holder *>(rb::classData(o, rb::findClass("QTUserDataPlyx"))); };
    REALobject o = rb::newObject("QTUserDataPlyx");
    ASSERT_NE(o, nullptr);
    Holder *h = holder(o);
    EXPECT_EQ(h->tag, 0x51545544u);  // 'QTUD'
    ASSERT_EQ(imaging::NewUserData(&h->userData), imaging::noErr);
    h->owns = 1;
    release(o);  // under the sanitizers, a leak here would show

    imaging::UserData kept = nullptr;
    ASSERT_EQ(imaging::NewUserData(&kept), imaging::noErr);
    o = rb::newObject("QTUserDataPlyx");
    holder(o)->userData = kept;  // not owned: left alone
    release(o);
    EXPECT_EQ(imaging::CountUserDataType(kept, imaging::FourCC("abcd")), 0);
    imaging::DisposeUserData(kept);
}

// ---- IntegerRectPlyx ------------------------------------------------------------------

TEST_F(Grabber, IntegerRectWidthHeightAndDirectEdges) {
    REALobject r = rb::newObject("IntegerRectPlyx");
    bound.set<RBInteger>("IntegerRectPlyx.Width.Set", r, 720);
    bound.set<RBInteger>("IntegerRectPlyx.Height.Set", r, 580);
    // The application writes Left at object byte 32 and Top at byte 24.
    auto *bytes = reinterpret_cast<char *>(r);
    *reinterpret_cast<int32_t *>(bytes + 32) = 0;
    *reinterpret_cast<int32_t *>(bytes + 24) = 100;
    EXPECT_EQ(fields(r), (std::array<int32_t, 4>{100, 580, 0, 720}));  // (0,100) to (720,580)
    EXPECT_EQ(bound.get<RBInteger>("IntegerRectPlyx.Width.Get", r), 720);
    EXPECT_EQ(bound.get<RBInteger>("IntegerRectPlyx.Height.Get", r), 480);

    bound.call("IntegerRectPlyx.Move(deltax as integer, deltay as integer)", r, RBInteger(10), RBInteger(-20));
    EXPECT_EQ(fields(r), (std::array<int32_t, 4>{80, 560, 10, 730}));
    release(r);
}

TEST_F(Grabber, IntegerRectExtremesWrapWithoutFault) {
    REALobject r = rect(INT_MIN, INT_MAX, INT_MIN, INT_MAX);
    EXPECT_EQ(bound.get<RBInteger>("IntegerRectPlyx.Width.Get", r), -1);
    bound.call("IntegerRectPlyx.Move(deltax as integer, deltay as integer)", r, RBInteger(INT_MAX), RBInteger(1));
    bound.set<RBInteger>("IntegerRectPlyx.Height.Set", r, INT_MAX);
    release(r);
}

// ---- the grabber --------------------------------------------------------------------------

TEST_F(Grabber, SourceAndCurrentSizeFollowTheEnvironment) {
    REALobject g = startGrabber();
    REALobject src = bound.get<REALobject>("QTGrabberPlyx.SourceVideoRect.Get", g);
    ASSERT_NE(src, nullptr);
    EXPECT_EQ(fields(src), (std::array<int32_t, 4>{0, 480, 0, 720}));
    release(src);

    setenv("TAVRIN_VIDEO_SIZE", "1920x1080", 1);
    bound.call("QTGrabberPlyx.InitVideo", g);
    REALobject cur = bound.get<REALobject>("QTGrabberPlyx.CurrentVideoSize.Get", g);
    ASSERT_NE(cur, nullptr);
    EXPECT_EQ(className(cur), "IntegerRectPlyx");
    EXPECT_EQ(fields(cur), (std::array<int32_t, 4>{0, 1080, 0, 1920}));
    release(cur);

    for (const char *bad : {"0x480", "720", "720x", "x480", "99999x10", "720x480junk", "-5x-5"}) {
        setenv("TAVRIN_VIDEO_SIZE", bad, 1);
        bound.call("QTGrabberPlyx.InitVideo", g);
        src = bound.get<REALobject>("QTGrabberPlyx.SourceVideoRect.Get", g);
        EXPECT_EQ(fields(src), (std::array<int32_t, 4>{0, 480, 0, 720})) << bad;
        release(src);
    }
    release(g);
}

TEST_F(Grabber, NoSignalGivesNilSizesAndNoPicture) {
    setenv("TAVRIN_NO_VIDEO", "1", 1);
    REALobject g = startGrabber();
    EXPECT_EQ(bound.get<REALobject>("QTGrabberPlyx.CurrentVideoSize.Get", g), nullptr);
    EXPECT_EQ(bound.get<REALobject>("QTGrabberPlyx.SourceVideoRect.Get", g), nullptr);
    EXPECT_EQ(grab(g, 64, 48), "");
    bound.call("QTGrabberPlyx.Poll", g);

    unsetenv("TAVRIN_NO_VIDEO");  // reconnecting finds the signal
    bound.call("QTGrabberPlyx.InitVideo", g);
    REALobject cur = bound.get<REALobject>("QTGrabberPlyx.CurrentVideoSize.Get", g);
    EXPECT_NE(cur, nullptr);
    release(cur);
    release(g);
}

TEST_F(Grabber, MembersBeforeInitAnswerNothing) {
    REALobject g = rb::newObject("QTGrabberPlyx");
    EXPECT_EQ(bound.get<REALobject>("QTGrabberPlyx.CurrentVideoSize.Get", g), nullptr);
    EXPECT_EQ(grab(g, 8, 8), "");
    bound.call("QTGrabberPlyx.Poll", g);
    bound.call("QTGrabberPlyx.Pause", g);
    release(g);
    // An unimplemented member is harmless too.
    REALobject g2 = rb::newObject("QTGrabberPlyx");
    EXPECT_EQ(bound.call<REALobject>("QTGrabberPlyx.GetMovie as object", g2), nullptr);
    EXPECT_EQ(bound.get<double>("QTGrabberPlyx.FrameRate.Get", g2), 0.0);
    EXPECT_EQ(bound.get<REALobject>("QTGrabberPlyx.VideoDevice.Get", g2), nullptr);
    EXPECT_EQ(bound.get<REALstring>("QTGrabberPlyx.VideoDeviceName.Get", g2), nullptr);
    release(g2);
}

TEST_F(Grabber, CurrentVideoSizeSetKeepsOnlySaneRectangles) {
    REALobject g = startGrabber();
    REALobject r = rect(100, 580, 0, 720);
    bound.set("QTGrabberPlyx.CurrentVideoSize.Set", g, r);
    release(r);
    for (auto bad : {std::array<int32_t, 4>{100, 100, 0, 720}, {580, 100, 0, 720}, {0, 10, INT_MIN, INT_MAX}}) {
        r = rect(bad[0], bad[1], bad[2], bad[3]);
        bound.set("QTGrabberPlyx.CurrentVideoSize.Set", g, r);
        release(r);
    }
    bound.set<REALobject>("QTGrabberPlyx.CurrentVideoSize.Set", g, nullptr);
    REALobject other = rb::newObject("QTGrabberDevicePlyx");  // not a rectangle
    bound.set("QTGrabberPlyx.CurrentVideoSize.Set", g, other);
    release(other);

    REALobject cur = bound.get<REALobject>("QTGrabberPlyx.CurrentVideoSize.Get", g);
    EXPECT_EQ(fields(cur), (std::array<int32_t, 4>{100, 580, 0, 720}));
    release(cur);
    release(g);
}

TEST_F(GrabberOnItsOwn, RectanglesAreRecognisedWithoutTheClassTest) {
    if (!inFreshProcess()) return;
    rb::withholdService("REALObjectIsA");  // the plug-in falls back to the method lookup
    loadFresh();
    const Bound &b = bound;
    REALobject g = startGrabber();
    REALobject r = rect(10, 110, 20, 220);
    b.set("QTGrabberPlyx.CurrentVideoSize.Set", g, r);
    REALobject device = rb::newObject("QTGrabberDevicePlyx");  // smaller than a rectangle
    b.set("QTGrabberPlyx.CurrentVideoSize.Set", g, device);
    EXPECT_EQ(b.call<REALpicture>("QTGrabberPlyx.GrabPicture(rect as object) as picture", g, device), nullptr);
    REALobject cur = b.get<REALobject>("QTGrabberPlyx.CurrentVideoSize.Get", g);
    EXPECT_EQ(fields(cur), (std::array<int32_t, 4>{10, 110, 20, 220}));
    for (REALobject o : {r, device, cur, g}) release(o);
}

TEST_F(Grabber, SettingsRoundTripAndForeignTextsAreIgnored) {
    REALobject g = startGrabber();
    std::string defaults = settings(g);
    EXPECT_EQ(defaults, "tavrin-grabber 1 brightness=50 contrast=50 saturation=50");

    const std::string changed = "tavrin-grabber 3 brightness=10 contrast=60 saturation=50 size=320x240";
    REALobject g2 = startGrabber();
    setSettings(g2, changed);
    EXPECT_EQ(settings(g2), changed);
    for (const char *junk :
         {"", "garbage", "tavrin-grabber 4 brightness=10", "tavrin-grabber 1 brightness=101",
          "tavrin-grabber 1 brightness=", "tavrin-grabber 1 colour=5", "tavrin-grabber 1 brightness=-1",
          "tavrin-grabber 1 brightness=99999999999999", "tavrin-grabber 3 size=0x10"}) {
        setSettings(g2, junk);
        EXPECT_EQ(settings(g2), changed) << junk;
    }
    bound.set<REALstring>("QTGrabberPlyx.Settings.Set", g2, nullptr);
    EXPECT_EQ(settings(g2), changed);

    // The picture follows the settings: the test source at the size asked,
    // darker with the brightness down, from the next frame on.
    REALobject src = bound.get<REALobject>("QTGrabberPlyx.SourceVideoRect.Get", g2);
    EXPECT_EQ(fields(src), (std::array<int32_t, 4>{0, 240, 0, 320}));
    release(src);
    clock.advanceUs(100000);
    EXPECT_TRUE(waitUntil([&] { return grab(g, 90, 60) != grab(g2, 90, 60); }, 5s));

    // A file written before devices were named, and one that names a device
    // that is not here: no signal, and the device is kept for the day it is
    // back.
    release(g2);
    g2 = startGrabber();
    setSettings(g2, "tavrin-grabber 1 brightness=20 contrast=50 saturation=50");
    EXPECT_EQ(settings(g2), "tavrin-grabber 1 brightness=20 contrast=50 saturation=50");
    ::testing::internal::CaptureStderr();
    setSettings(g2, "tavrin-grabber 2 brightness=20 contrast=50 saturation=50 device=/dev/video9");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "tavrin: video: the video device /dev/video9 named in the settings is not plugged in\n");
    EXPECT_EQ(settings(g2), "tavrin-grabber 2 brightness=20 contrast=50 saturation=50 device=/dev/video9");
    EXPECT_FALSE(hasSignal(g2));
    release(g);
    release(g2);
}

TEST_F(Grabber, NoDeviceGivesTheTestSourcesBars) {
    REALobject g = startGrabber();
    std::string px = grab(g, 720, 480);
    ASSERT_EQ(px.size(), 720u * 480u * 4u);
    // The seven bars: white, yellow, cyan, green, magenta, red, blue.
    const int bars[7] = {7, 6, 3, 2, 5, 4, 1};
    for (int i = 0; i < 7; ++i) {
        const char *p = &px[(160u * 720u + size_t((2 * i + 1) * 720 / 14)) * 4];
        EXPECT_EQ(uint8_t(p[0]), 0xFF);
        for (int c = 0; c < 3; ++c) {
            int v = uint8_t(p[1 + c]);
            EXPECT_TRUE(bars[i] & (4 >> c) ? v > 150 : v < 40) << "bar " << i << " channel " << c << ": " << v;
        }
    }
    // Any rectangle's size, scaled.
    EXPECT_EQ(grab(g, 90, 60).size(), 90u * 60u * 4u);
    EXPECT_EQ(grab(g, 1, 1).size(), 4u);
    EXPECT_EQ(grab(g, 0, 10), "");
    EXPECT_EQ(grab(g, 100000, 10), "");
    REALobject r = rect(0, 10, INT_MIN, INT_MAX);  // width overflows 32 bits
    EXPECT_EQ(bound.call<REALpicture>("QTGrabberPlyx.GrabPicture(rect as object) as picture", g, r), nullptr);
    release(r);
    EXPECT_EQ(bound.call<REALpicture>("QTGrabberPlyx.GrabPicture(rect as object) as picture", g, REALobject()),
              nullptr);
    release(g);
}

TEST_F(Grabber, AClipAsTheSourceGivesANewFrameOnEachGrabAndPauseHoldsIt) {
    setenv("TAVRIN_VIDEO_SOURCE", ("filesrc location=" + clip(60) + " ! decodebin").c_str(), 1);
    const int64_t t0 = 3000000, frame = 1000000 / 30;
    clock.set(t0);
    REALobject g = startGrabber();
    REALobject src = bound.get<REALobject>("QTGrabberPlyx.SourceVideoRect.Get", g);
    ASSERT_NE(src, nullptr);
    EXPECT_EQ(fields(src), (std::array<int32_t, 4>{0, 120, 0, 160}));
    release(src);
    EXPECT_EQ(shown(g), 0);
    for (int f = 1; f <= 5; ++f) {
        clock.set(t0 + f * frame + frame / 4);
        EXPECT_TRUE(waitUntil([&] { return shown(g) == f; }, 5s)) << f;
    }
    // Ten frames' time paused: the clip goes on from frame 5 as if it had
    // not passed (had it played on, it would be past frame 15 by now).
    bound.call("QTGrabberPlyx.Pause", g);
    clock.set(t0 + 15 * frame);
    EXPECT_EQ(shown(g), 5);
    bound.call("QTGrabberPlyx.Play", g);
    clock.set(t0 + 16 * frame + frame / 4);
    EXPECT_TRUE(waitUntil([&] { return shown(g) == 6; }, 5s)) << shown(g);
    release(g);
}

TEST_F(Grabber, AClipThatEndsLeavesNoSignalAndTheGrabbedFramesAlone) {
    setenv("TAVRIN_VIDEO_SOURCE", ("filesrc location=" + clip(10) + " ! decodebin").c_str(), 1);
    clock.set(7000000);
    REALobject g = startGrabber();
    REALobject r = rect(0, 120, 0, 160);
    auto pic = bound.call<REALpicture>("QTGrabberPlyx.GrabPicture(rect as object) as picture", g, r);
    ASSERT_NE(pic, nullptr);

    ::testing::internal::CaptureStderr();
    clock.set(7000000 + 2000000);
    EXPECT_TRUE(waitUntil(
        [&] {
            bound.call("QTGrabberPlyx.Poll", g);
            return !hasSignal(g);
        },
        5s));
    bound.call("QTGrabberPlyx.Poll", g);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "tavrin: video: the video source has ended\n");
    EXPECT_EQ(bound.get<REALobject>("QTGrabberPlyx.SourceVideoRect.Get", g), nullptr);
    EXPECT_EQ(bound.call<REALpicture>("QTGrabberPlyx.GrabPicture(rect as object) as picture", g, r), nullptr);
    // The picture grabbed before is the grabber's no longer: it stays whole.
    std::string px = pixels(reinterpret_cast<REALobject>(pic), 160, 120);
    EXPECT_EQ(testclips::frameGrabbedNow(reinterpret_cast<const uint8_t *>(px.data()), 160, 120), 0);
    release(reinterpret_cast<REALobject>(pic));

    // Enable Video again finds the clip from its start.
    bound.call("QTGrabberPlyx.InitVideo", g);
    REALobject cur = bound.get<REALobject>("QTGrabberPlyx.CurrentVideoSize.Get", g);
    EXPECT_NE(cur, nullptr);
    release(cur);
    EXPECT_EQ(shown(g), 0);
    release(r);
    release(g);
}

TEST_F(Grabber, ABadSourceDescriptionIsNoSignalWithAClearMessage) {
    struct Case {
        const char *description, *said;
    };
    for (const Case &c :
         {Case{"nosuchsrc ! decodebin", "no element nosuchsrc: install the GStreamer plug-in that has it"},
          Case{"videotestsrc ! ! decodebin", "the video source cannot be built: "},
          Case{"filesrc location=/nonexistent/tape.avi ! decodebin", "Resource not found"}}) {
        setenv("TAVRIN_VIDEO_SOURCE", c.description, 1);
        ::testing::internal::CaptureStderr();
        REALobject g = startGrabber();
        std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_FALSE(hasSignal(g)) << c.description;
        EXPECT_EQ(said.rfind("tavrin: video: ", 0), 0u) << said;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_EQ(grab(g, 8, 8), "");
        release(g);
    }
}

TEST_F(Grabber, AnErrorMidRunIsNoSignal) {
    setenv("TAVRIN_VIDEO_SOURCE",
           "videotestsrc is-live=true ! video/x-raw,width=64,height=48,framerate=100/1 ! identity error-after=40", 1);
    REALobject g = startGrabber();
    ASSERT_NE(grab(g, 64, 48), "");
    ::testing::internal::CaptureStderr();
    // Ten milliseconds a step: the element fails after its 40th frame.
    EXPECT_TRUE(waitUntil(
        [&] {
            clock.advanceUs(10000);
            bound.call("QTGrabberPlyx.Poll", g);
            return !hasSignal(g);
        },
        10s));
    std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("tavrin: video: ", 0), 0u) << said;
    EXPECT_EQ(grab(g, 64, 48), "");
    release(g);
}

// Whoever finds the video gone first, the poll or a member such as
// CurrentVideoSize, finds its reason already given: the window shows the
// note the moment it sees no signal.
TEST_F(Grabber, NoSignalComesWithItsReasonWhoeverSeesItFirst) {
    setenv("TAVRIN_VIDEO_SOURCE",
           "videotestsrc is-live=true ! video/x-raw,width=64,height=48,framerate=100/1 ! identity error-after=40", 1);
    REALobject g = startGrabber();
    ASSERT_TRUE(hasSignal(g));
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(waitUntil(
        [&] {
            clock.advanceUs(10000);
            return !hasSignal(g);  // no poll
        },
        10s));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(rb::pluginNote("QTGrabberPlyx").rfind("identity: ", 0), 0u) << rb::pluginNote("QTGrabberPlyx");
    release(g);
}

TEST_F(Grabber, OutputWindowIsHeldUntilTheGrabberGoes) {
    REALobject g = startGrabber();
    auto one = rb::newWindow<rb::Window>("GrabberTestOne", rb::WindowKind::Document, "One", 64, 48);
    auto two = rb::newWindow<rb::Window>("GrabberTestTwo", rb::WindowKind::Document, "Two", 64, 48);
    REALobject w1 = one->handle(), w2 = two->handle();
    const int32_t base = rb::refCount(w1);
    ASSERT_EQ(rb::refCount(w2), base);
    bound.call("QTGrabberPlyx.OutputToWindow(previewWindow as window)", g, w1);
    bound.call("QTGrabberPlyx.OutputToWindow(previewWindow as window)", g, w1);
    EXPECT_EQ(rb::refCount(w1), base + 1);
    bound.call("QTGrabberPlyx.OutputToWindow(previewWindow as window)", g, w2);
    EXPECT_EQ(rb::refCount(w1), base);
    EXPECT_EQ(rb::refCount(w2), base + 1);
    bound.call("QTGrabberPlyx.Poll", g);
    release(g);
    EXPECT_EQ(rb::refCount(w2), base);
    for (auto &w : {one, two}) w->close();
    rb::collectClosedWindows();
}

// ---- devices ----------------------------------------------------------------------------

// The colour at the middle of a grab, as 0xRRGGBB.
uint32_t middleColour(const std::string &px, int w, int h) {
    if (px.empty()) return 0xDEAD;
    const auto *p = reinterpret_cast<const uint8_t *>(&px[(size_t(h / 2) * size_t(w) + size_t(w / 2)) * 4]);
    return uint32_t(p[1] > 128) << 23 | uint32_t(p[2] > 128) << 15 | uint32_t(p[3] > 128) << 7;
}
constexpr uint32_t kRed = 0x800000, kGreen = 0x008000, kBlue = 0x000080;

const std::vector<fakecams::Camera> kTwoCameras = {
    {"/dev/video0", "Capture Stick", {{640, 480}, {320, 240}}},
    {"", "HD Webcam", {{640, 480}, {1280, 720}}},
};

TEST_F(Grabber, DevicesAreListedAndChosenByTheirNames) {
    fakecams::set(kTwoCameras);
    REALobject g = startGrabber();  // the first device the monitor sees
    auto name = [&] {
        REALstring n = bound.get<REALstring>("QTGrabberPlyx.VideoDeviceName.Get", g);
        std::string t = text(n);
        release(n);
        return t;
    };
    EXPECT_EQ(name(), "Capture Stick (/dev/video0)");
    EXPECT_EQ(middleColour(grab(g, 64, 48), 64, 48), kRed);
    EXPECT_EQ(settings(g), "tavrin-grabber 2 brightness=50 contrast=50 saturation=50 device=/dev/video0");

    REALobject list = bound.call<REALobject>("QTGrabberPlyx.VideoDeviceList as QTGrabberDeviceListPlyx", g);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(className(list), "QTGrabberDeviceListPlyx");
    const char *item = "QTGrabberDeviceListPlyx.Item(index as integer) as QTGrabberDevicePlyx";
    REALobject first = bound.call<REALobject>(item, list, RBInteger(0));
    REALobject second = bound.call<REALobject>(item, list, RBInteger(1));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(className(second), "QTGrabberDevicePlyx");
    for (RBInteger past : {2, -1, INT_MAX}) EXPECT_EQ(bound.call<REALobject>(item, list, past), nullptr) << past;

    // Choosing the second: its picture, its name, kept by its display name
    // (it has no path).
    bound.set("QTGrabberPlyx.VideoDevice.Set", g, second);
    EXPECT_EQ(name(), "HD Webcam");
    EXPECT_EQ(middleColour(grab(g, 64, 48), 64, 48), kGreen);
    EXPECT_EQ(settings(g), "tavrin-grabber 2 brightness=50 contrast=50 saturation=50 device=HD%20Webcam");
    // A text that names no device leaves the device in use.
    setSettings(g, "tavrin-grabber 1 brightness=40 contrast=50 saturation=50");
    EXPECT_EQ(name(), "HD Webcam");
    EXPECT_EQ(settings(g), "tavrin-grabber 2 brightness=40 contrast=50 saturation=50 device=HD%20Webcam");
    REALobject inUse = bound.get<REALobject>("QTGrabberPlyx.VideoDevice.Get", g);
    ASSERT_NE(inUse, nullptr);
    EXPECT_EQ(className(inUse), "QTGrabberDevicePlyx");
    // The devices have one input each, and say nothing of it.
    EXPECT_EQ(bound.get<REALobject>("QTGrabberPlyx.VideoDeviceInput.Get", g), nullptr);

    // What is not a device of this grabber changes nothing; a closed device
    // or list is empty.
    REALobject rectangle = rect(0, 10, 0, 10), bare = rb::newObject("QTGrabberDevicePlyx");
    for (REALobject notOne : {rectangle, bare, REALobject()}) bound.set("QTGrabberPlyx.VideoDevice.Set", g, notOne);
    bound.set("QTGrabberPlyx.VideoDeviceInput.Set", g, rectangle);
    EXPECT_EQ(name(), "HD Webcam");
    bound.call("QTGrabberDevicePlyx.Close", first);
    bound.set("QTGrabberPlyx.VideoDevice.Set", g, first);
    EXPECT_EQ(name(), "HD Webcam");
    bound.call("QTGrabberDeviceListPlyx.Close", list);
    EXPECT_EQ(bound.call<REALobject>(item, list, RBInteger(0)), nullptr);

    for (REALobject o : {list, first, second, inUse, rectangle, bare}) {
        EXPECT_EQ(rb::refCount(o), 1) << className(o);  // the test's alone
        release(o);
    }
    release(g);
}

TEST_F(Grabber, WithoutDevicesTheListHasTheTestSourceAndADescribedSourceAlone) {
    REALobject g = startGrabber();
    REALobject list = bound.call<REALobject>("QTGrabberPlyx.VideoDeviceList as QTGrabberDeviceListPlyx", g);
    const char *item = "QTGrabberDeviceListPlyx.Item(index as integer) as QTGrabberDevicePlyx";
    REALobject only = bound.call<REALobject>(item, list, RBInteger(0));
    EXPECT_NE(only, nullptr);
    EXPECT_EQ(bound.call<REALobject>(item, list, RBInteger(1)), nullptr);
    REALstring n = bound.get<REALstring>("QTGrabberPlyx.VideoDeviceName.Get", g);
    EXPECT_EQ(text(n), "Test source (SMPTE bars)");
    release(n);
    for (REALobject o : {list, only}) release(o);

    fakecams::set(kTwoCameras);
    setenv("TAVRIN_VIDEO_SOURCE", "videotestsrc is-live=true pattern=blue ! video/x-raw,width=32,height=24", 1);
    bound.call("QTGrabberPlyx.InitVideo", g);
    EXPECT_EQ(middleColour(grab(g, 32, 24), 32, 24), kBlue);
    list = bound.call<REALobject>("QTGrabberPlyx.VideoDeviceList as QTGrabberDeviceListPlyx", g);
    EXPECT_NE((only = bound.call<REALobject>(item, list, RBInteger(0))), nullptr);
    EXPECT_EQ(bound.call<REALobject>(item, list, RBInteger(1)), nullptr);
    for (REALobject o : {list, only, g}) release(o);
}

TEST_F(Grabber, AStoredDeviceThatIsGoneIsNoSignalUntilItIsBack) {
    fakecams::set(kTwoCameras);
    REALobject g = startGrabber();
    ASSERT_TRUE(hasSignal(g));
    const std::string stored = "tavrin-grabber 2 brightness=50 contrast=50 saturation=50 device=/dev/video5";
    ::testing::internal::CaptureStderr();
    setSettings(g, stored);
    setSettings(g, stored);  // said once
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "tavrin: video: the video device /dev/video5 named in the settings is not plugged in\n");
    EXPECT_FALSE(hasSignal(g));
    EXPECT_EQ(rb::pluginNote("QTGrabberPlyx"), "the video device /dev/video5 named in the settings is not plugged in");
    EXPECT_EQ(settings(g), stored);
    bound.call("QTGrabberPlyx.InitVideo", g);  // Enable Video, still gone
    EXPECT_FALSE(hasSignal(g));

    // Plugged in (third in the monitor's list): the next try finds it.
    auto cameras = kTwoCameras;
    cameras.push_back({"/dev/video5", "Capture Card", {{720, 480}}});
    fakecams::set(cameras);
    bound.call("QTGrabberPlyx.InitVideo", g);
    ASSERT_TRUE(hasSignal(g));
    EXPECT_EQ(middleColour(grab(g, 64, 48), 64, 48), kBlue);
    EXPECT_EQ(rb::pluginNote("QTGrabberPlyx"), "");
    release(g);
}

TEST_F(Grabber, TheSettingsDialogChoosesTheDeviceAndTheSize) {
    fakecams::set(kTwoCameras);
    REALobject g = startGrabber();
    bound.call("QTGrabberPlyx.AskVideoSettings", g);
    rb::Window *w = rb::findWindow(kDialog);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->title(), "Video Settings");
    ASSERT_NE(popup("Device"), nullptr);
    EXPECT_NE(rb::op::dump(kDialog).find("\"Size:\""), std::string::npos) << rb::op::dump(kDialog);
    EXPECT_EQ(dialogRows("Device"), (std::vector<std::string>{"Capture Stick (/dev/video0)", "HD Webcam"}));
    EXPECT_EQ(dialogRows("Input"), std::vector<std::string>{"Default"});
    EXPECT_EQ(dialogRows("Size"), (std::vector<std::string>{"640 x 480", "320 x 240"}));
    EXPECT_EQ(selected("Device"), 0);
    // A second call while it is up shows no second dialog.
    bound.call("QTGrabberPlyx.AskVideoSettings", g);
    EXPECT_EQ(dialogsOpen(), 1);

    // Another device brings its own sizes, the size shown kept where it has it.
    ASSERT_TRUE(rb::op::selectRow(kDialog, "Size", 0)) << rb::op::lastError();
    ASSERT_TRUE(rb::op::selectRow(kDialog, "Device", 1)) << rb::op::lastError();
    EXPECT_EQ(dialogRows("Size"), (std::vector<std::string>{"1280 x 720", "640 x 480"}));
    EXPECT_EQ(selected("Size"), 1);
    answerDialog({{"Size", 0}}, true);
    REALobject src = bound.get<REALobject>("QTGrabberPlyx.SourceVideoRect.Get", g);
    EXPECT_EQ(fields(src), (std::array<int32_t, 4>{0, 720, 0, 1280}));
    release(src);
    EXPECT_EQ(middleColour(grab(g, 64, 48), 64, 48), kGreen);
    EXPECT_EQ(settings(g), "tavrin-grabber 3 brightness=50 contrast=50 saturation=50 device=HD%20Webcam size=1280x720");

    // Cancel changes nothing, whatever was chosen in the dialog.
    bound.call("QTGrabberPlyx.AskVideoSettings", g);
    EXPECT_EQ(selected("Device"), 1);
    EXPECT_EQ(selected("Size"), 0);
    answerDialog({{"Device", 0}}, false);
    EXPECT_EQ(middleColour(grab(g, 64, 48), 64, 48), kGreen);

    // A grabber let go while its dialog is up lives until the dialog closes.
    bound.call("QTGrabberPlyx.AskVideoSettings", g);
    EXPECT_EQ(rb::refCount(g), 2);  // the test's and the dialog's
    rb::retain(g);
    release(g);
    answerDialog({}, true);
    EXPECT_EQ(rb::refCount(g), 1);
    release(g);
}

TEST_F(GrabberOnItsOwn, TheSettingsDialogWithoutTheHostsServiceDoesNothing) {
    if (!inFreshProcess()) return;
    rb::withholdService("RuntimePopupDialog");
    loadFresh();
    REALobject g = startGrabber();
    std::string before = settings(g);
    bound.call("QTGrabberPlyx.AskVideoSettings", g);
    EXPECT_EQ(rb::findWindow(kDialog), nullptr);
    EXPECT_EQ(settings(g), before);
    EXPECT_TRUE(hasSignal(g));
    release(g);
}

TEST_F(Grabber, ASourceThatCannotBeBuiltLeavesItsReasonAsTheNote) {
    setenv("TAVRIN_VIDEO_SOURCE", "dv1394srcx ! dvdemux ! dvdec", 1);
    ::testing::internal::CaptureStderr();
    REALobject g = startGrabber();
    ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(hasSignal(g));
    EXPECT_EQ(rb::pluginNote("QTGrabberPlyx"), "no element dv1394srcx: install the GStreamer plug-in that has it");
    unsetenv("TAVRIN_VIDEO_SOURCE");
    bound.call("QTGrabberPlyx.InitVideo", g);
    EXPECT_TRUE(hasSignal(g));
    EXPECT_EQ(rb::pluginNote("QTGrabberPlyx"), "");
    release(g);
}

// ---- extension and global ----------------------------------------------------------------

const char *const kResourceFolder = "application.BundleResourceFolderPlyx as folderitem";

TEST_F(Grabber, ResourceFolderFromEnvironmentOrBesideTheProgram) {
    REALobject app = rb::applicationObject();
    setenv("TAVRIN_RESOURCES", "/opt/tavrin/res", 1);
    REALobject f = bound.call<REALobject>(kResourceFolder, app);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(folderPath(f), "/opt/tavrin/res");
    release(f);

    unsetenv("TAVRIN_RESOURCES");
    f = bound.call<REALobject>(kResourceFolder, app);
    ASSERT_NE(f, nullptr);
    std::string path = folderPath(f);
    EXPECT_EQ(path.substr(path.size() - 13), "/share/tavrin") << path;
    EXPECT_EQ(path.find(".."), std::string::npos) << path;
    release(f);
}

TEST_F(GrabberOnItsOwn, NoResourceFolderWithoutTheHostsFolderItems) {
    if (!inFreshProcess()) return;
    rb::withholdService("FolderItemFromPath");
    rb::withholdService("FolderItemFromFSSpec");
    loadFresh();
    EXPECT_EQ(bound.call<REALobject>(kResourceFolder, rb::applicationObject()), nullptr);
}

TEST_F(Grabber, EncodeBase64WrapsLines) {
    const char *decl = "EncodeBase64(data As String, lineWrap As Integer = 76) As String";
    auto encode = [&](const std::string &in, int wrap) {
        REALstring s = str(in);
        REALstring out = bound.global<REALstring>(decl, s, RBInteger(wrap));
        std::string t = text(out);
        release(s);
        release(out);
        return t;
    };
    EXPECT_EQ(encode("", 76), "");
    EXPECT_EQ(encode("Man", 76), "TWFu");
    EXPECT_EQ(encode("Ma", 76), "TWE=");
    EXPECT_EQ(encode("M", 76), "TQ==");
    EXPECT_EQ(encode(std::string("\0\xff", 2), 0), "AP8=");
    EXPECT_EQ(encode("ManMan", 4), "TWFu\r\nTWFu");
    EXPECT_EQ(encode(std::string(60, 'x'), 76).size(), 80u + 2u);
    EXPECT_EQ(bound.global<REALstring>(decl, REALstring(), RBInteger(76)), nullptr);
}

}  // namespace
