// The video surface onto an X server of the test's own (Xvfb; skipped where
// there is none): what the server holds afterwards is the frame handed in,
// pixel for pixel, through shared memory where the server offers it (the
// memory lent to the surface painted in) and through the connection where it
// does not; a visual of another layout is left to the caller.
// gtest first: Xlib defines names such as None.
#include <gtest/gtest.h>

#include "desktop/video_presenter.h"

#include <rb/video_surface.h>

#include "own_x_server.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace {

using rb::screen::VideoPresenter;

// A frame whose every pixel differs from its neighbours, with a top byte
// that means nothing (as a video frame's padding).
std::vector<uint32_t> frame(int w, int h, uint32_t seed) {
    std::vector<uint32_t> px(size_t(w) * size_t(h));
    uint32_t x = seed;
    for (uint32_t &p : px) x = x * 1664525u + 1013904223u, p = x;
    return px;
}

class XTarget {
public:
    explicit XTarget(const std::string &name) : display(XOpenDisplay(name.c_str())) {
        if (!display) return;
        int s = DefaultScreen(display);
        depth = DefaultDepth(display, s);
        visual = DefaultVisual(display, s);
        pixmap = XCreatePixmap(display, RootWindow(display, s), 800, 600, unsigned(depth));
        gc = XCreateGC(display, pixmap, 0, nullptr);
    }
    ~XTarget() {
        if (!display) return;
        XFreeGC(display, gc);
        XFreePixmap(display, pixmap);
        XCloseDisplay(display);
    }
    // Fills the pixmap with one colour.
    void clear(unsigned long colour) {
        XSetForeground(display, gc, colour);
        XFillRectangle(display, pixmap, gc, 0, 0, 800, 600);
    }
    // The rectangle's pixels as the server holds them, the colour bytes only.
    std::vector<uint32_t> read(int x, int y, int w, int h) {
        XImage *image = XGetImage(display, pixmap, x, y, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
        std::vector<uint32_t> px;
        if (!image) return px;
        for (int row = 0; row < h; ++row)
            for (int col = 0; col < w; ++col) px.push_back(uint32_t(XGetPixel(image, col, row)) & 0xFFFFFF);
        XDestroyImage(image);
        return px;
    }
    Display *display;
    int depth = 0;
    Visual *visual = nullptr;
    Pixmap pixmap = 0;
    GC gc = nullptr;
};

std::vector<uint32_t> colours(std::vector<uint32_t> px) {
    for (uint32_t &p : px) p &= 0xFFFFFF;
    return px;
}

// Frames of several sizes, one after another at several places: each shows
// exactly, and nothing around it changes.
void showsFramesExactly(XTarget &target, VideoPresenter &presenter) {
    struct Step {
        int x, y, w, h;
    };
    const Step steps[] = {{5, 7, 361, 241}, {5, 7, 361, 241}, {0, 0, 720, 480}, {30, 40, 100, 50}, {1, 2, 3, 1}};
    uint32_t seed = 1;
    for (const Step &s : steps) {
        target.clear(0x123456);
        std::vector<uint32_t> px = frame(s.w, s.h, seed++);
        ASSERT_TRUE(presenter.draw(target.pixmap, target.gc, s.x, s.y, s.w, s.h, px.data()));
        EXPECT_EQ(target.read(s.x, s.y, s.w, s.h), colours(px)) << s.w << "x" << s.h << " at " << s.x << "," << s.y;
        // Its neighbourhood: the column after it and the row below it.
        EXPECT_EQ(target.read(s.x + s.w, s.y, 1, s.h), std::vector<uint32_t>(size_t(s.h), 0x123456));
        EXPECT_EQ(target.read(s.x, s.y + s.h, s.w, 1), std::vector<uint32_t>(size_t(s.w), 0x123456));
    }
    // The GC's clipping applies.
    target.clear(0x123456);
    XRectangle clip{10, 10, 20, 20};
    XSetClipRectangles(target.display, target.gc, 0, 0, &clip, 1, Unsorted);
    std::vector<uint32_t> px = frame(100, 100, 99);
    ASSERT_TRUE(presenter.draw(target.pixmap, target.gc, 0, 0, 100, 100, px.data()));
    XSetClipMask(target.display, target.gc, 0);
    std::vector<uint32_t> shown = target.read(0, 0, 100, 100);
    EXPECT_EQ(shown[15 * 100 + 15], px[15 * 100 + 15] & 0xFFFFFF);
    EXPECT_EQ(shown[5 * 100 + 5], 0x123456u);
    EXPECT_EQ(shown[50 * 100 + 50], 0x123456u);
}

// A presenter on the server shows frames exactly, through shared memory or
// not as `shm` says; `check` looks at the server's display first.
void presentsOn(const std::string &display, bool shm, const std::function<void(Display *)> &check = nullptr) {
    XTarget target(display);
    ASSERT_TRUE(target.display);
    if (check) check(target.display);
    VideoPresenter presenter(target.display, target.visual, target.depth);
    ASSERT_TRUE(presenter.takesWords());
    showsFramesExactly(target, presenter);
    EXPECT_EQ(presenter.sharedMemory(), shm);
    // Memory to paint into is lent where frames go through shared memory.
    EXPECT_EQ(presenter.memoryFor(10, 10) != nullptr, shm);
}

}  // namespace

TEST(VideoPresenter, FramesGoThroughSharedMemoryWhereTheServerOffersIt) {
    OwnXServer x;
    if (x.display().empty()) GTEST_SKIP() << "no Xvfb here";
    presentsOn(x.display(), true);
}

// A surface painted in the memory the presenter lends shows as painted, and
// a painting over it waits until the server has read the frame before,
// although that frame's request has not even left this process.
TEST(VideoPresenter, ASurfaceInTheLentMemoryShowsEachPaintingAsPainted) {
    OwnXServer x;
    if (x.display().empty()) GTEST_SKIP() << "no Xvfb here";
    XTarget target(x.display());
    ASSERT_TRUE(target.display);
    target.clear(0x123456);
    VideoPresenter presenter(target.display, target.visual, target.depth);
    std::shared_ptr<rb::SurfaceMemory> memory = presenter.memoryFor(200, 100);
    ASSERT_TRUE(memory);
    EXPECT_EQ(presenter.memoryFor(200, 100), memory);
    rb::VideoSurface surface;
    std::vector<uint32_t> frames[3] = {frame(200, 100, 1), frame(200, 100, 2), frame(200, 100, 3)};
    for (int i = 0; i < 3; ++i) {
        uint32_t *to = surface.repaint({0, 0, 200, 100}, presenter.memoryFor(200, 100));
        ASSERT_EQ(to, memory->pixels());
        std::copy(frames[i].begin(), frames[i].end(), to);
        ASSERT_TRUE(presenter.draw(target.pixmap, target.gc, 0, 110 * i, 200, 100, surface.pixels().data()));
    }
    for (int i = 0; i < 3; ++i) EXPECT_EQ(target.read(0, 110 * i, 200, 100), colours(frames[i])) << "frame " << i;

    // Another size, other memory; the surface keeps what it holds until it
    // is painted again.
    std::shared_ptr<rb::SurfaceMemory> other = presenter.memoryFor(50, 40);
    ASSERT_TRUE(other);
    EXPECT_NE(other, memory);
    EXPECT_EQ(surface.pixels().data(), memory->pixels());
    std::weak_ptr<rb::SurfaceMemory> before = memory;
    memory.reset();
    EXPECT_FALSE(before.expired());
    std::vector<uint32_t> small = frame(50, 40, 4);
    std::copy(small.begin(), small.end(), surface.repaint({0, 0, 50, 40}, other));
    EXPECT_TRUE(before.expired());
    ASSERT_TRUE(presenter.draw(target.pixmap, target.gc, 300, 0, 50, 40, surface.pixels().data()));
    EXPECT_EQ(target.read(300, 0, 50, 40), colours(small));
}

TEST(VideoPresenter, FramesGoThroughTheConnectionWithoutSharedMemory) {
    OwnXServer x({"-screen", "0", "1280x1024x24", "-extension", "MIT-SHM"});
    if (x.display().empty()) GTEST_SKIP() << "no Xvfb here";
    presentsOn(x.display(), false);
}

// As on a remote display: the server offers the extension, but the
// segments of this machine are out of its reach (another IPC namespace).
TEST(VideoPresenter, FramesGoThroughTheConnectionWhereTheServerCannotReachTheSegment) {
    OwnXServer x({"-screen", "0", "1280x1024x24"}, {"unshare", "--ipc"});
    if (x.display().empty()) GTEST_SKIP() << "no Xvfb in an IPC namespace of its own here";
    presentsOn(x.display(), false, [](Display *d) { EXPECT_TRUE(XShmQueryExtension(d)); });
}

TEST(VideoPresenter, AVisualOfAnotherLayoutIsLeftToTheCaller) {
    OwnXServer x({"-screen", "0", "640x480x16"});
    if (x.display().empty()) GTEST_SKIP() << "no Xvfb here";
    XTarget target(x.display());
    ASSERT_TRUE(target.display);
    VideoPresenter presenter(target.display, target.visual, target.depth);
    EXPECT_FALSE(presenter.takesWords());
    std::vector<uint32_t> px = frame(10, 10, 1);
    EXPECT_FALSE(presenter.draw(target.pixmap, target.gc, 0, 0, 10, 10, px.data()));
}
