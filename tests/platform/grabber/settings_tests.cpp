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
    EXPECT_EQ(grab::formatSettings({{}, "HD Pro%"}),
              "tavrin-grabber 2 brightness=50 contrast=50 saturation=50 device=HD%20Pro%25");
}

TEST(Settings, AFaultAnywhereRejectsTheWholeText) {
    GrabberSettings keep;
    keep.controls.brightness = 30;
    keep.device = "/dev/video1";
    for (const char *bad :
         {"", "garbage", "tavrin-grabber", "tavrin-grabber 3 brightness=10", "tavrin-grabber 1 brightness=101",
          "tavrin-grabber 1 brightness=", "tavrin-grabber 1 brightness=-1", "tavrin-grabber 1 brightness=0100",
          "tavrin-grabber 1 colour=5", "tavrin-grabber 1 =5", "tavrin-grabber 1 brightness",
          "tavrin-grabber 1 brightness=10 contrast=abc",
          "tavrin-grabber 1 device=/dev/video0",  // devices came with version 2
          "tavrin-grabber 2 device=", "tavrin-grabber 2 device=%4", "tavrin-grabber 2 device=%zz",
          "tavrin-grabber 2 device=a%", "tavrin-grabber 2 brightness=99999999999999"}) {
        GrabberSettings s = keep;
        EXPECT_FALSE(grab::parseSettings(bad, &s)) << bad;
        EXPECT_EQ(s.controls.brightness, 30) << bad;
        EXPECT_EQ(s.device, "/dev/video1") << bad;
    }
    std::string tooLong = "tavrin-grabber 2 device=" + std::string(grab::kMaxDeviceName + 1, 'x');
    EXPECT_FALSE(grab::parseSettings(tooLong, &keep));
}

}  // namespace
