// A window's video surface: its pixels in memory of its own, or in memory a
// display lends it, painted over only once the display has let go of them.
#include <rb/video_surface.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

struct Lent : rb::SurfaceMemory {
    explicit Lent(size_t n) : words(n) {}
    uint32_t *pixels() override {
        if (!free) ADD_FAILURE() << "painted over before the display let go";
        return words.data();
    }
    void waitUntilFree() override { free = true; }
    std::vector<uint32_t> words;
    bool free = false;
};

TEST(VideoSurface, PaintsInItsOwnMemoryOrInTheMemoryLentIt) {
    rb::VideoSurface surface;
    EXPECT_TRUE(surface.pixels().empty());

    uint32_t *own = surface.repaint({5, 6, 4, 3});
    std::fill_n(own, 12, 7u);
    EXPECT_EQ(surface.area.left, 5);
    EXPECT_EQ(surface.area.top, 6);
    ASSERT_EQ(surface.pixels().size(), 12u);
    EXPECT_EQ(surface.pixels().data(), own);
    EXPECT_EQ(surface.pixels()[11], 7u);

    auto lent = std::make_shared<Lent>(20);
    uint32_t *to = surface.repaint({0, 0, 5, 4}, lent);
    EXPECT_EQ(to, lent->words.data());
    to[19] = 9;
    ASSERT_EQ(surface.pixels().size(), 20u);
    EXPECT_EQ(surface.pixels().data(), lent->words.data());
    EXPECT_EQ(surface.pixels()[19], 9u);

    // Painted in its own memory again: what was lent is let go.
    std::weak_ptr<Lent> held = lent;
    lent.reset();
    EXPECT_FALSE(held.expired());
    surface.repaint({0, 0, 2, 2})[3] = 4;
    EXPECT_TRUE(held.expired());
    ASSERT_EQ(surface.pixels().size(), 4u);
    EXPECT_EQ(surface.pixels()[3], 4u);

    // An empty area has no pixels.
    surface.repaint({0, 0, 0, 5});
    EXPECT_TRUE(surface.pixels().empty());
}

}  // namespace
