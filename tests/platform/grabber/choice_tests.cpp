// Listing the sources (devices of the test's own through the device
// monitor), a Video4Linux device's inputs (its node answered by the test),
// and the settings dialog's lists.
#include "choice.h"
#include "fakecams.h"
#include "source.h"
#include "v4l2inputs.h"

#include <linux/videodev2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using grab::Size;
using grab::SourceEntry;

class Sources : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gst_init(nullptr, nullptr); }
    void SetUp() override {
        unsetenv("TAVRIN_NO_VIDEO");
        unsetenv("TAVRIN_VIDEO_SOURCE");
        unsetenv("TAVRIN_VIDEO_SIZE");
    }
    void TearDown() override { fakecams::set({}); }
};

TEST_F(Sources, DevicesComeWithTheirNamesAndRawSizesLargestFirst) {
    fakecams::set({{"/dev/video0", "Capture Stick", {{320, 240}, {720, 480}, {320, 240}, {640, 480}}},
                   {"", "HD Webcam", {{1280, 720}}}});
    std::vector<SourceEntry> list = grab::listSources();
    ASSERT_EQ(list.size(), 2u);  // no test source beside devices
    EXPECT_EQ(list[0].kind, SourceEntry::Monitor);
    EXPECT_EQ(list[0].name, "/dev/video0");
    EXPECT_EQ(list[0].label, "Capture Stick (/dev/video0)");
    EXPECT_EQ(list[0].sizes, (std::vector<Size>{{720, 480}, {640, 480}, {320, 240}}));
    EXPECT_TRUE(list[0].inputs.empty());  // not a Video4Linux device
    EXPECT_EQ(list[1].name, "HD Webcam");
    EXPECT_EQ(list[1].label, "HD Webcam");

    EXPECT_EQ(grab::findSource(list, ""), &list[0]);
    EXPECT_EQ(grab::findSource(list, "HD Webcam"), &list[1]);
    EXPECT_EQ(grab::findSource(list, "/dev/video9"), nullptr);
}

TEST_F(Sources, TheSettingsChooseTheDeviceAndItsSize) {
    fakecams::set({{"/dev/video0", "Capture Stick", {{720, 480}, {320, 240}}}, {"", "HD Webcam", {{1280, 720}}}});
    grab::GrabberSettings settings;
    grab::Source s = grab::chooseSource(settings);
    EXPECT_EQ(s.kind, grab::Source::Device);
    EXPECT_EQ(s.deviceName, "/dev/video0");
    EXPECT_EQ(s.size, (Size{0, 0}));

    settings.device = "HD Webcam";
    settings.width = 1280, settings.height = 720;
    s = grab::chooseSource(settings);
    EXPECT_EQ(s.deviceName, "HD Webcam");
    EXPECT_EQ(s.size, (Size{1280, 720}));
    settings.width = 720, settings.height = 480;  // not one of its sizes: its own
    EXPECT_EQ(grab::chooseSource(settings).size, (Size{0, 0}));

    settings.device = "/dev/video3";
    s = grab::chooseSource(settings);
    EXPECT_EQ(s.kind, grab::Source::None);
    EXPECT_EQ(s.failure, "the video device /dev/video3 named in the settings is not plugged in");

    // The environment comes first.
    setenv("TAVRIN_VIDEO_SOURCE", "videotestsrc", 1);
    EXPECT_EQ(grab::chooseSource(settings).kind, grab::Source::Description);
    setenv("TAVRIN_NO_VIDEO", "1", 1);
    EXPECT_EQ(grab::chooseSource(settings).kind, grab::Source::None);
    EXPECT_TRUE(grab::listSources().empty());
}

TEST_F(Sources, WithoutDevicesTheTestSourceAtTheSizeAsked) {
    std::vector<SourceEntry> list = grab::listSources();
    if (list.size() != 1 || list[0].kind != SourceEntry::TestSource) GTEST_SKIP() << "this machine has devices";
    EXPECT_FALSE(list[0].sizes.empty());
    grab::GrabberSettings settings;
    EXPECT_EQ(grab::chooseSource(settings).description, grab::testSourceDescription(720, 480));
    setenv("TAVRIN_VIDEO_SIZE", "320x200", 1);
    EXPECT_EQ(grab::chooseSource(settings).description, grab::testSourceDescription(320, 200));
    settings.width = 640, settings.height = 480;  // the settings before the environment
    EXPECT_EQ(grab::chooseSource(settings).description, grab::testSourceDescription(640, 480));
    settings.device = "/dev/video7";
    EXPECT_EQ(grab::chooseSource(settings).kind, grab::Source::None);
}

// ---- Video4Linux inputs -------------------------------------------------------------------

struct FakeNode {
    static inline std::vector<std::string> inputs;
    static inline int current = 0, selected = -1, opens = 0, closes = 0;
    static inline bool endless = false;
    static int open(const char *path, int) {
        if (std::string(path) != "/dev/video0") return errno = ENOENT, -1;
        ++opens;
        return 42;
    }
    static int ioctl(int, unsigned long request, void *arg) {
        if (request == VIDIOC_ENUMINPUT) {
            auto *in = static_cast<v4l2_input *>(arg);
            if (!endless && in->index >= inputs.size()) return errno = EINVAL, -1;
            std::string name = endless ? "x" : inputs[in->index];
            // A name that fills the field has no end.
            std::memcpy(in->name, name.c_str(), std::min(name.size() + 1, sizeof in->name));
            return 0;
        }
        if (request == VIDIOC_G_INPUT) return *static_cast<int *>(arg) = current, 0;
        if (request == VIDIOC_S_INPUT) {
            int i = *static_cast<int *>(arg);
            if (i < 0 || i >= int(inputs.size())) return errno = EINVAL, -1;
            selected = i;
            return 0;
        }
        return errno = ENOTTY, -1;
    }
    static int close(int) { return ++closes, 0; }
};

class V4l2 : public ::testing::Test {
protected:
    void SetUp() override {
        static const grab::V4l2Calls calls{FakeNode::open, FakeNode::ioctl, FakeNode::close};
        grab::setV4l2Calls(&calls);
        FakeNode::inputs = {"Composite", "S-Video", ""};
        FakeNode::current = 1, FakeNode::selected = -1, FakeNode::opens = FakeNode::closes = 0;
        FakeNode::endless = false;
    }
    void TearDown() override { grab::setV4l2Calls(nullptr); }
};

TEST_F(V4l2, InputsByIndexWithTheOneChosenNow) {
    grab::V4l2Inputs in = grab::v4l2Inputs("/dev/video0");
    EXPECT_EQ(in.names, (std::vector<std::string>{"Composite", "S-Video", "Input 3"}));
    EXPECT_EQ(in.current, 1);
    EXPECT_TRUE(grab::selectV4l2Input("/dev/video0", 2));
    EXPECT_EQ(FakeNode::selected, 2);
    EXPECT_FALSE(grab::selectV4l2Input("/dev/video0", 3));
    EXPECT_FALSE(grab::selectV4l2Input("/dev/video0", -1));
    EXPECT_EQ(FakeNode::opens, FakeNode::closes);  // every node opened is closed
}

TEST_F(V4l2, NodesThatCannotSayGiveNoInputs) {
    EXPECT_TRUE(grab::v4l2Inputs("/dev/video9").names.empty());
    EXPECT_TRUE(grab::v4l2Inputs("").names.empty());
    EXPECT_FALSE(grab::selectV4l2Input("/dev/video9", 0));
    FakeNode::current = 7;  // out of range: no input chosen
    EXPECT_EQ(grab::v4l2Inputs("/dev/video0").current, -1);
    FakeNode::endless = true;  // a driver that never ends its list
    grab::V4l2Inputs in = grab::v4l2Inputs("/dev/video0");
    EXPECT_EQ(in.names.size(), 64u);
    FakeNode::endless = false;
    FakeNode::inputs = {std::string(40, 'L')};  // fills the name field: cut at its end
    EXPECT_EQ(grab::v4l2Inputs("/dev/video0").names[0], std::string(32, 'L'));
}

TEST_F(V4l2, RealSystemCallsOnANodeThatIsNotThere) {
    grab::setV4l2Calls(nullptr);
    EXPECT_TRUE(grab::v4l2Inputs("/nonexistent/video0").names.empty());
    EXPECT_FALSE(grab::selectV4l2Input("/nonexistent/video0", 0));
}

// ---- the dialog's lists ---------------------------------------------------------------------

std::vector<SourceEntry> entries() {
    SourceEntry card;
    card.kind = SourceEntry::Monitor;
    card.name = "/dev/video0";
    card.label = "Capture Card (/dev/video0)";
    card.inputs = {"Composite", "S-Video"};
    card.currentInput = 1;
    card.sizes = {{720, 480}, {640, 480}};
    SourceEntry cam;
    cam.kind = SourceEntry::Monitor;
    cam.name = "Webcam";
    cam.label = "Webcam";
    cam.inputs = {"Camera 1"};
    SourceEntry dv;
    dv.kind = SourceEntry::FireWireDV;
    dv.name = "dv1394src";
    dv.label = "FireWire DV";
    return {card, cam, dv};
}

TEST(SettingsChoice, StartsAtWhatIsInUse) {
    std::vector<SourceEntry> e = entries();
    grab::GrabberSettings settings;
    grab::SettingsChoice c(e, settings, &e[0], {640, 480});
    using P = grab::SettingsChoice;
    EXPECT_EQ(c.rows(P::DevicePopup),
              (std::vector<std::string>{"Capture Card (/dev/video0)", "Webcam", "FireWire DV"}));
    EXPECT_EQ(c.selected(P::DevicePopup), 0);
    EXPECT_EQ(c.rows(P::InputPopup), (std::vector<std::string>{"Composite", "S-Video"}));
    EXPECT_EQ(c.selected(P::InputPopup), 1);  // the device's own choice
    EXPECT_EQ(c.rows(P::SizePopup), (std::vector<std::string>{"720 x 480", "640 x 480"}));
    EXPECT_EQ(c.selected(P::SizePopup), 1);

    // OK at once keeps it, by the device's name.
    grab::GrabberSettings r = c.result(settings);
    EXPECT_EQ(r.device, "/dev/video0");
    EXPECT_EQ(r.input, "S-Video");
    EXPECT_EQ(r.width, 640);

    // A size in use that the device does not list is shown as it is.
    grab::SettingsChoice odd(e, settings, &e[0], {352, 288});
    EXPECT_EQ(odd.rows(P::SizePopup).back(), "352 x 288");
    EXPECT_EQ(odd.selected(P::SizePopup), 2);

    // Nothing in use: what the settings name.
    settings.device = "Webcam";
    grab::SettingsChoice named(e, settings, nullptr, {});
    EXPECT_EQ(named.selected(P::DevicePopup), 1);
    EXPECT_EQ(named.rows(P::InputPopup), std::vector<std::string>{"Camera 1"});
    EXPECT_EQ(named.rows(P::SizePopup), std::vector<std::string>{"As the source gives it"});
}

TEST(SettingsChoice, ADeviceBringsItsOwnInputsAndSizes) {
    std::vector<SourceEntry> e = entries();
    using P = grab::SettingsChoice;
    grab::GrabberSettings settings;
    settings.controls.brightness = 20;
    grab::SettingsChoice c(e, settings, &e[1], {});
    c.choose(P::DevicePopup, 0);
    EXPECT_EQ(c.rows(P::InputPopup), (std::vector<std::string>{"Composite", "S-Video"}));
    c.choose(P::InputPopup, 0);
    c.choose(P::SizePopup, 0);
    grab::GrabberSettings r = c.result(settings);
    EXPECT_EQ(r.device, "/dev/video0");
    EXPECT_EQ(r.input, "Composite");
    EXPECT_EQ((Size{r.width, r.height}), (Size{720, 480}));
    EXPECT_EQ(r.controls.brightness, 20);  // the rest stays

    // A device of one input and its own size keeps neither.
    c.choose(P::DevicePopup, 2);
    EXPECT_EQ(c.rows(P::InputPopup), std::vector<std::string>{"Default"});
    r = c.result(settings);
    EXPECT_EQ(r.device, "dv1394src");
    EXPECT_EQ(r.input, "");
    EXPECT_EQ(r.width, 0);

    // Rows that are not there are ignored.
    for (auto [p, row] : {std::pair{P::DevicePopup, 3}, {P::SizePopup, -1}, {P::InputPopup, 1}}) c.choose(p, row);
    EXPECT_EQ(c.selected(P::DevicePopup), 2);
    EXPECT_EQ(c.selected(P::InputPopup), 0);
}

TEST(SettingsChoice, NothingToChooseFrom) {
    grab::GrabberSettings settings;
    settings.device = "/dev/video1";
    grab::SettingsChoice c({}, settings, nullptr, {});
    EXPECT_TRUE(c.empty());
    EXPECT_EQ(c.result(settings).device, "/dev/video1");
}

}  // namespace
