// The grabber's settings text: what earlier versions wrote, what this one
// writes, and texts that are taken whole or not at all.
#include "settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using grab::GrabberSettings;

GrabberSettings parsed(const std::string &text, bool *ok = nullptr) {
    GrabberSettings s;
    bool accepted = grab::parseSettings(text, &s);
    if (ok) *ok = accepted;
    return s;
}

TEST(Settings, FilesWrittenBeforeDevicesAreRead) {
    bool ok = false;
    GrabberSettings s = parsed("tavrin-grabber 1 brightness=70 contrast=20 saturation=100", &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(s.controls.brightness, 70);
    EXPECT_EQ(s.controls.contrast, 20);
    EXPECT_EQ(s.controls.saturation, 100);
    EXPECT_EQ(s.device, "");
    // Without a device the text is the one earlier versions wrote, byte for byte.
    EXPECT_EQ(grab::formatSettings(s), "tavrin-grabber 1 brightness=70 contrast=20 saturation=100");
    EXPECT_EQ(grab::formatSettings(GrabberSettings{}), "tavrin-grabber 1 brightness=50 contrast=50 saturation=50");
    // Keys left out keep their values.
    s = parsed("tavrin-grabber 1 contrast=100", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(s.controls.brightness, 50);
    EXPECT_EQ(s.controls.contrast, 100);
}

TEST(Settings, DevicesRoundTripByTheirNames) {
    for (std::string name : std::vector<std::string>{"/dev/video0", "HD Pro Webcam C920", "Caméra 100% (USB)",
                                                     std::string("a\0b", 3), std::string(grab::kMaxDeviceName, 'x')}) {
        GrabberSettings s;
        s.controls.brightness = 0;
        s.device = name;
        std::string text = grab::formatSettings(s);
        EXPECT_EQ(text.rfind("tavrin-grabber 2 brightness=0 ", 0), 0u) << text;
        EXPECT_EQ(text.find(' ', text.find("device=")), std::string::npos) << "one word: " << text;
        bool ok = false;
        GrabberSettings back = parsed(text, &ok);
        ASSERT_TRUE(ok) << text;
        EXPECT_EQ(back.device, name);
        EXPECT_EQ(back.controls.brightness, 0);
    }
    GrabberSettings named;
    named.device = "HD Pro%";
    EXPECT_EQ(grab::formatSettings(named),
              "tavrin-grabber 2 brightness=50 contrast=50 saturation=50 device=HD%20Pro%25");
}

TEST(Settings, AnInputOrASizeMakesVersionThree) {
    GrabberSettings s;
    s.device = "/dev/video0";
    s.input = "S-Video 2";
    s.width = 720, s.height = 480;
    std::string text = grab::formatSettings(s);
    EXPECT_EQ(text,
              "tavrin-grabber 3 brightness=50 contrast=50 saturation=50 device=/dev/video0 input=S-Video%202 "
              "size=720x480");
    bool ok = false;
    GrabberSettings back = parsed(text, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(back.input, "S-Video 2");
    EXPECT_EQ(back.width, 720);
    EXPECT_EQ(back.height, 480);
    // The test source's size alone.
    GrabberSettings sized;
    sized.width = 8192, sized.height = 1;
    EXPECT_EQ(grab::formatSettings(sized), "tavrin-grabber 3 brightness=50 contrast=50 saturation=50 size=8192x1");
    EXPECT_EQ(parsed(grab::formatSettings(sized)).width, 8192);
    // Version 2 texts stay as they were: without an input or a size.
    GrabberSettings v2 = parsed("tavrin-grabber 2 device=/dev/video1", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(grab::formatSettings(v2), "tavrin-grabber 2 brightness=50 contrast=50 saturation=50 device=/dev/video1");
}

TEST(Settings, AFaultAnywhereRejectsTheWholeText) {
    GrabberSettings keep;
    keep.controls.brightness = 30;
    keep.device = "/dev/video1";
    for (const char *bad : {"",
                            "garbage",
                            "tavrin-grabber",
                            "tavrin-grabber 1 brightness=101",
                            "tavrin-grabber 1 brightness=",
                            "tavrin-grabber 1 brightness=-1",
                            "tavrin-grabber 1 brightness=0100",
                            "tavrin-grabber 1 colour=5",
                            "tavrin-grabber 1 =5",
                            "tavrin-grabber 1 brightness",
                            "tavrin-grabber 1 brightness=10 contrast=abc",
                            "tavrin-grabber 1 device=/dev/video0",  // devices came with version 2
                            "tavrin-grabber 2 device=",
                            "tavrin-grabber 2 device=%4",
                            "tavrin-grabber 2 device=%zz",
                            "tavrin-grabber 2 device=a%",
                            "tavrin-grabber 2 brightness=99999999999999",
                            "tavrin-grabber 2 input=Composite",  // inputs and sizes came with version 3
                            "tavrin-grabber 2 size=720x480",
                            "tavrin-grabber 4 brightness=10",
                            "tavrin-grabber 3 size=720",
                            "tavrin-grabber 3 size=720x",
                            "tavrin-grabber 3 size=x480",
                            "tavrin-grabber 3 size=0x480",
                            "tavrin-grabber 3 size=0720x480",
                            "tavrin-grabber 3 size=8193x480",
                            "tavrin-grabber 3 size=-720x480",
                            "tavrin-grabber 3 size=72ax480",
                            "tavrin-grabber 3 size=99999x1",
                            "tavrin-grabber 3 input=",
                            "tavrin-grabber 3 size=720x480x1"}) {
        GrabberSettings s = keep;
        EXPECT_FALSE(grab::parseSettings(bad, &s)) << bad;
        EXPECT_EQ(s.controls.brightness, 30) << bad;
        EXPECT_EQ(s.device, "/dev/video1") << bad;
    }
    std::string tooLong = "tavrin-grabber 2 device=" + std::string(grab::kMaxDeviceName + 1, 'x');
    EXPECT_FALSE(grab::parseSettings(tooLong, &keep));
}

}  // namespace
