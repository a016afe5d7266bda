// The application's video devices end to end, headless through the scripted
// operator: video devices of the test's own (through GStreamer's device
// monitor), the Video Settings dialog, a device named in the settings that
// is gone at start-up, and a source that cannot be built.
#include "app_fixture.h"
#include "test_clock.h"
#include "fakecams.h"
#include "process_per_test.h"

#include <rb/operator.h>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace tavrin;
namespace fs = std::filesystem;

namespace {

const char kNoSignal[] =
    "No video signal was detected.  Check to make sure that your video device is connected and powered on, then "
    "click the Enable Video button to reconnect to the video device.";

const std::vector<fakecams::Camera> kCameras = {
    {"/dev/video0", "Capture Stick", {{720, 480}, {320, 240}}},
    {"/dev/video1", "HD Webcam", {{1280, 720}, {640, 480}}},
};

class VideoDevices : public AppTest {
protected:
    static void SetUpTestSuite() {
        AppTest::SetUpTestSuite();
        gst_init(nullptr, nullptr);
    }

    // The live video's frames come as the test's clock moves; it stands
    // still here, so the first frame is the one shown.
    TestClock clock{10000000};

    void start() {
        startUp();
        rb::op::runFor(100);
    }
    fs::path settingsFile() const { return gDir / "prefs" / kCaptureSettingsFileName; }
    std::string settingsText() const {
        std::ifstream in(settingsFile(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

TEST_F(VideoDevices, TheDialogChoosesADeviceAndItsSizeAndTheNextStartHasThem) {
    fakecams::set(kCameras);
    start();
    EXPECT_TRUE(app().devicepresent);
    ASSERT_TRUE(rb::op::chooseMenu("VideoSetteingsMenu")) << rb::op::lastError();
    ASSERT_NE(rb::findWindow("VideoSettings"), nullptr);
    std::string dump = rb::op::dump("VideoSettings");
    EXPECT_NE(dump.find("rows=\"Capture Stick (/dev/video0)\",\"HD Webcam (/dev/video1)\""), std::string::npos) << dump;
    ASSERT_TRUE(rb::op::selectRow("VideoSettings", "Device", 1));
    ASSERT_TRUE(rb::op::selectRow("VideoSettings", "Size", 1));  // 640 x 480
    ASSERT_TRUE(rb::op::click("VideoSettings", "OK"));
    clock.run(600, 10);  // the forced redraw runs its course
    EXPECT_EQ(rb::findWindow("VideoSettings"), nullptr);

    rb::app()->quit(0);  // the main window's close writes the settings
    rb::op::runFor(50);
    EXPECT_EQ(settingsText(),
              "tavrin-grabber 3 brightness=50 contrast=50 saturation=50 device=/dev/video1 size=640x480");
}

TEST_F(VideoDevices, AStoredDeviceGoneAtStartUpIsNoSignalAndEnableVideoTriesAgain) {
    fakecams::set(kCameras);
    std::ofstream(settingsFile(), std::ios::binary)
        << "tavrin-grabber 2 brightness=50 contrast=50 saturation=50 device=/dev/video7";
    rb::op::answerOK();
    start();
    std::vector<std::string> said = rb::op::messages();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0], kNoSignal);
    EXPECT_FALSE(app().devicepresent);
    EXPECT_TRUE(main().checkvideobutton->enabled());
    EXPECT_EQ(main().message->text(), "the video device /dev/video7 named in the settings is not plugged in");

    // Still gone: the same road again.
    rb::op::answerOK();
    ASSERT_TRUE(rb::op::click("CaptureWindow", "checkvideobutton"));
    EXPECT_EQ(rb::op::messages().size(), 2u);
    EXPECT_FALSE(app().devicepresent);

    // Plugged in: Enable Video finds it, the window takes its size and the
    // status line no longer says it is missing.
    auto cameras = kCameras;
    cameras.push_back({"/dev/video7", "Capture Card", {{720, 480}}});
    fakecams::set(cameras);
    ASSERT_TRUE(rb::op::click("CaptureWindow", "checkvideobutton"));
    EXPECT_EQ(rb::op::messages().size(), 2u);
    EXPECT_TRUE(app().devicepresent);
    EXPECT_FALSE(main().checkvideobutton->enabled());
    EXPECT_EQ(main().message->text(), "");
    rb::app()->quit(0);
    rb::op::runFor(50);
    EXPECT_EQ(settingsText(), "tavrin-grabber 2 brightness=50 contrast=50 saturation=50 device=/dev/video7");
}

TEST_F(VideoDevices, ASourceThatCannotBeBuiltNamesTheMissingElementInTheStatusLine) {
    setenv("TAVRIN_VIDEO_SOURCE", "dv1394srcx ! dvdemux ! dvdec", 1);
    rb::op::answerOK();
    start();
    ASSERT_EQ(rb::op::messages().size(), 1u);
    EXPECT_EQ(rb::op::messages()[0], kNoSignal);
    EXPECT_EQ(main().message->text(), "no element dv1394srcx: install the GStreamer plug-in that has it");
    unsetenv("TAVRIN_VIDEO_SOURCE");
}

}  // namespace

int main(int argc, char **argv) { return runEachTestInItsOwnProcess(argc, argv); }
