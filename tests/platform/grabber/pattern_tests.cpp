// The test picture and the settings text.
#include "pattern.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

std::vector<uint32_t> render(uint64_t frame, int w, int h, grab::PictureControls c = {}) {
    std::vector<uint32_t> px(size_t(w) * size_t(h), 0xDEADBEEF);
    grab::renderFrame(frame, w, h, c, px.data(), size_t(w));
    return px;
}

TEST(Pattern, EveryPixelIsDrawnAtAnySize) {
    for (auto [w, h] : {std::pair{1, 1}, {2, 3}, {7, 1}, {720, 480}, {33, 250}})
        for (uint32_t p : render(12345, w, h)) ASSERT_NE(p, 0xDEADBEEFu) << w << "x" << h;
}

TEST(Pattern, FramesDifferAndRepeatExactly) {
    EXPECT_NE(render(1, 180, 120), render(2, 180, 120));
    EXPECT_NE(render(9, 180, 120), render(10, 180, 120));  // one more digit
    EXPECT_EQ(render(77, 180, 120), render(77, 180, 120));
}

TEST(Pattern, ControlsChangeThePicture) {
    grab::PictureControls dark;
    dark.brightness = 0;
    grab::PictureControls grey;
    grey.saturation = 0;
    EXPECT_NE(render(5, 64, 48), render(5, 64, 48, dark));
    for (uint32_t p : render(5, 64, 48, grey)) ASSERT_TRUE((p >> 16 & 0xFF) == (p & 0xFF)) << std::hex << p;
}

TEST(Pattern, SettingsTextRoundTripsAndRejectsWholeOnAnyFault) {
    grab::PictureControls c;
    c.brightness = 0, c.contrast = 100, c.saturation = 7;
    grab::PictureControls back;
    ASSERT_TRUE(grab::parseSettings(grab::formatSettings(c), &back));
    EXPECT_EQ(grab::formatSettings(back), grab::formatSettings(c));

    grab::PictureControls keep = back;
    EXPECT_FALSE(grab::parseSettings("tavrin-grabber 1 brightness=10 contrast=abc", &back));
    EXPECT_EQ(back.brightness, keep.brightness);  // nothing of a bad text is applied
    EXPECT_TRUE(grab::parseSettings("tavrin-grabber 1", &back));
    EXPECT_TRUE(grab::parseSettings("tavrin-grabber 1 contrast=20", &back));
    EXPECT_EQ(back.contrast, 20);
    EXPECT_EQ(back.brightness, keep.brightness);
}

}  // namespace
