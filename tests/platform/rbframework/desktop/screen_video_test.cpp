// A window's video surface on screen, on an X server of the test's own
// (Xvfb; skipped where there is none), read back from the server: where a
// control lies over the surface, the surface is drawn under it; where none
// does, it shows in a child window of its own, and moves with the surface.
#include "process_per_test.h"
#include "video_on_screen.h"

#include <rb/ui.h>

TEST(ScreenVideo, UnderTheControlsOverItElseInAWindowOfItsOwn) {
    OnScreen screen;
    if (!screen.up()) GTEST_SKIP() << "no Xvfb here";
    Display *d = screen.display();
    VideoWindow w(200, 150, {{20, 20, 60, 20}});
    // The whole window red, the button over it: drawn under the button, in
    // the window itself.
    ASSERT_TRUE(paint(w, {0, 0, 200, 150}, 0xFF0000));
    {
        auto shown = shownOnce(d, "Video", [](const Shown &s) { return s.at(199, 149) == 0xFF0000u; });
        ASSERT_TRUE(shown->ok());
        EXPECT_EQ(shown->at(150, 100), 0xFF0000u);
        EXPECT_EQ(shown->at(199, 149), 0xFF0000u);
        EXPECT_NE(shown->at(50, 30), 0xFF0000u);  // the button
        EXPECT_EQ(shown->mappedChildren(), 0);
    }
    // Green below the button, nothing over it: in a child window, at its
    // place; above it the window's own.
    ASSERT_TRUE(paint(w, {0, 60, 200, 90}, 0x00FF00));
    {
        auto shown = shownOnce(d, "Video", [](const Shown &s) { return s.mappedChildren() == 1; });
        ASSERT_TRUE(shown->ok());
        EXPECT_EQ(shown->mappedChildren(), 1);
        EXPECT_EQ(shown->at(0, 60), 0x00FF00u);
        EXPECT_EQ(shown->at(199, 149), 0x00FF00u);
        EXPECT_NE(shown->at(150, 50), 0x00FF00u);
        EXPECT_NE(shown->at(50, 30), 0x00FF00u);
    }
    // Blue over the button again: back among the controls, the child window gone.
    ASSERT_TRUE(paint(w, {0, 0, 200, 150}, 0x0000FF));
    {
        auto shown = shownOnce(d, "Video", [](const Shown &s) { return s.mappedChildren() == 0; });
        ASSERT_TRUE(shown->ok());
        EXPECT_EQ(shown->mappedChildren(), 0);
        EXPECT_EQ(shown->at(150, 100), 0x0000FFu);
        EXPECT_NE(shown->at(50, 30), 0x0000FFu);
    }
    // A painting shows on the loop's next passes, not on the steady pump's.
    ASSERT_TRUE(paint(w, {0, 0, 200, 150}, 0xFFFF00));
    for (int i = 0; i < 3; ++i) rb::runOnce(0);
    XSync(fl_display, False);
    {
        Shown shown(d, "Video");
        ASSERT_TRUE(shown.ok());
        EXPECT_EQ(shown.at(150, 100), 0xFFFF00u);
    }
}

int main(int argc, char **argv) { return runEachTestInItsOwnProcess(argc, argv); }
