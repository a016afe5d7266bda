// The video of a window on screen, on an X server of the test's own (Xvfb;
// skipped where there is none): what the server shows is the frame painted,
// pixel for pixel, through shared memory where the server offers it (a
// segment of the frame's size, the one painted in, attached by the server)
// and through the connection where it does not or cannot reach the
// segment; on a visual of another layout the toolkit makes the pixels.
#include "video_on_screen.h"

#include <rb/ui.h>

#include <X11/extensions/XShm.h>

#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

namespace {

// A frame whose every pixel differs from its neighbours, with a top byte
// that means nothing (as a video frame's padding).
std::vector<uint32_t> frame(int w, int h, uint32_t seed) {
    std::vector<uint32_t> px(size_t(w) * size_t(h));
    uint32_t x = seed;
    for (uint32_t &p : px) x = x * 1664525u + 1013904223u, p = x;
    return px;
}

std::vector<uint32_t> colours(std::vector<uint32_t> px) {
    for (uint32_t &p : px) p &= 0xFFFFFF;
    return px;
}

// The sizes of the shared-memory segments this process made that the X
// server `server` has attached, in bytes, as the kernel lists them: the
// server attached them last, and both hold them.
std::vector<size_t> segmentsAttachedBy(pid_t server) {
    std::ifstream list("/proc/sysvipc/shm");
    list.ignore(std::numeric_limits<std::streamsize>::max(), '\n');  // the heading
    long key = 0, id = 0, perms = 0, attached = 0;
    size_t size = 0;
    pid_t maker = 0, last = 0;
    std::vector<size_t> sizes;
    while (list >> key >> id >> perms >> size >> maker >> last >> attached) {
        if (maker == ::getpid() && last == server && attached >= 2) sizes.push_back(size);
        list.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return sizes;
}

// Frames of several sizes, one after another at several places where no
// control lies: each shows exactly, and nothing around it changes (no frame
// before covered its neighbourhood). Then one under the button: where the
// button lies, the button shows.
void showsFramesExactly(Display *d) {
    VideoWindow w(800, 600, {{700, 540, 80, 30}});
    const uint32_t background = Shown(d, "Video").at(0, 0);
    const rb::Rect places[] = {{1, 2, 3, 1}, {30, 40, 100, 50}, {5, 7, 361, 241}, {5, 7, 361, 241}, {0, 0, 720, 480}};
    uint32_t seed = 1;
    for (const rb::Rect &r : places) {
        std::vector<uint32_t> px = frame(r.width, r.height, seed++);
        ASSERT_TRUE(paint(w, r, px));
        // It, and its neighbourhood: the column after it and the row below it.
        auto it = [&](const Shown &s) { return s.rect(r.left, r.top, r.width, r.height); };
        auto column = [&](const Shown &s) { return s.rect(r.left + r.width, r.top, 1, r.height); };
        auto row = [&](const Shown &s) { return s.rect(r.left, r.top + r.height, r.width, 1); };
        const std::vector<uint32_t> inColumn(size_t(r.height), background), inRow(size_t(r.width), background);
        auto shown = shownOnce(d, "Video", [&](const Shown &s) {
            return it(s) == colours(px) && column(s) == inColumn && row(s) == inRow;
        });
        ASSERT_TRUE(shown->ok());
        EXPECT_EQ(it(*shown), colours(px)) << r.width << "x" << r.height << " at " << r.left << "," << r.top;
        EXPECT_EQ(column(*shown), inColumn);
        EXPECT_EQ(row(*shown), inRow);
    }
    std::vector<uint32_t> px = frame(200, 200, 99);
    ASSERT_TRUE(paint(w, {600, 400, 200, 200}, px));
    auto painted = [&](int x, int y) { return px[size_t(y - 400) * 200 + size_t(x - 600)] & 0xFFFFFF; };
    auto shown = shownOnce(d, "Video", [&](const Shown &s) { return s.at(799, 599) == painted(799, 599); });
    ASSERT_TRUE(shown->ok());
    EXPECT_EQ(shown->at(650, 450), painted(650, 450));
    EXPECT_EQ(shown->at(799, 599), painted(799, 599));
    int underButton = 0;
    for (int y = 545; y < 565; ++y)
        for (int x = 705; x < 775; ++x) underButton += shown->at(x, y) == painted(x, y);
    EXPECT_EQ(underButton, 0) << "the frame over the button";
}

// The X server to resume when the alarm rings.
pid_t gStopped = 0;
void resume(int) { ::kill(gStopped, SIGCONT); }

}  // namespace

TEST(VideoPresenter, FramesGoThroughSharedMemoryWhereTheServerOffersIt) {
    OnScreen screen;
    if (!screen.up()) GTEST_SKIP() << "no Xvfb here";
    showsFramesExactly(screen.display());
    EXPECT_EQ(segmentsAttachedBy(screen.serverPid()), std::vector<size_t>{200 * 200 * 4});
}

// Paintings of one size, one after another, each in the segment the server
// reads: each shows as painted, and one waits until the server has read
// the one before, although that one's request is not even read yet.
TEST(VideoPresenter, EachPaintingInTheSegmentShowsAsPainted) {
    OnScreen screen;
    if (!screen.up()) GTEST_SKIP() << "no Xvfb here";
    Display *d = screen.display();
    VideoWindow w(200, 150, {{20, 20, 60, 20}, {120, 20, 60, 20}});
    ASSERT_TRUE(paint(w, {0, 50, 100, 100}, 0));  // the child window it shows in, mapped
    shownOnce(d, "Video", [](const Shown &s) { return s.mappedChildren() == 1; });
    for (uint32_t i = 1; i <= 3; ++i) {
        std::vector<uint32_t> px = frame(100, 100, i);
        ASSERT_TRUE(paint(w, {0, 50, 100, 100}, px));
        XSync(fl_display, False);
        EXPECT_EQ(Shown(d, "Video").rect(0, 50, 100, 100), colours(px)) << "painting " << i;
    }
    EXPECT_EQ(segmentsAttachedBy(screen.serverPid()), std::vector<size_t>{100 * 100 * 4});

    // Under each button in turn (the window redraws only where the frame
    // goes, so the one before stays where it was), while the server stands
    // still for a moment: green goes out, blue waits until the server has
    // read it.
    ASSERT_TRUE(paint(w, {0, 0, 100, 100}, 0xFF0000));
    ASSERT_TRUE(paint(w, {100, 0, 100, 100}, 0xFF0000));
    shownOnce(d, "Video", [](const Shown &s) { return s.at(10, 90) == 0xFF0000u && s.at(110, 90) == 0xFF0000u; });
    gStopped = screen.serverPid();
    ::signal(SIGALRM, resume);
    ::kill(gStopped, SIGSTOP);
    itimerval soon{{0, 0}, {0, 300'000}};
    ::setitimer(ITIMER_REAL, &soon, nullptr);
    ASSERT_TRUE(paint(w, {0, 0, 100, 100}, 0x00FF00));
    ASSERT_TRUE(paint(w, {100, 0, 100, 100}, 0x0000FF));
    {
        auto shown = shownOnce(d, "Video", [](const Shown &s) { return s.at(110, 90) == 0x0000FFu; });
        ASSERT_TRUE(shown->ok());
        EXPECT_EQ(shown->at(10, 90), 0x00FF00u) << "green was painted over before the server read it";
        EXPECT_EQ(shown->at(110, 90), 0x0000FFu);
    }

    // Another size, another segment: the one before is let go.
    std::vector<uint32_t> small = frame(50, 40, 4);
    ASSERT_TRUE(paint(w, {0, 50, 50, 40}, small));
    auto region = [](const Shown &s) { return s.rect(0, 50, 50, 40); };
    EXPECT_EQ(region(*shownOnce(d, "Video", [&](const Shown &s) { return region(s) == colours(small); })),
              colours(small));
    EXPECT_EQ(segmentsAttachedBy(screen.serverPid()), std::vector<size_t>{50 * 40 * 4});
}

TEST(VideoPresenter, FramesGoThroughTheConnectionWithoutSharedMemory) {
    OnScreen screen({"-screen", "0", "1280x1024x24", "-extension", "MIT-SHM"});
    if (!screen.up()) GTEST_SKIP() << "no Xvfb here";
    showsFramesExactly(screen.display());
    EXPECT_TRUE(segmentsAttachedBy(screen.serverPid()).empty());
}

// As on a remote display: the server offers the extension, but the
// segments of this machine are out of its reach (another IPC namespace).
TEST(VideoPresenter, FramesGoThroughTheConnectionWhereTheServerCannotReachTheSegment) {
    OnScreen screen({"-screen", "0", "1280x1024x24"}, {"unshare", "--ipc"});
    if (!screen.up()) GTEST_SKIP() << "no Xvfb in an IPC namespace of its own here";
    EXPECT_TRUE(XShmQueryExtension(screen.display()));
    showsFramesExactly(screen.display());
}

// A visual whose pixels are not the frame's words (16 bits, 5-6-5): the
// toolkit makes them.
TEST(VideoPresenter, AVisualOfAnotherLayoutShowsTheFrameInItsOwnPixels) {
    OnScreen screen({"-screen", "0", "640x480x16"});
    if (!screen.up()) GTEST_SKIP() << "no Xvfb here";
    Display *d = screen.display();
    Visual *visual = DefaultVisual(d, DefaultScreen(d));
    VideoWindow w(200, 150);
    std::vector<uint32_t> px(30 * 10);
    for (size_t i = 0; i < px.size(); ++i) px[i] = i % 30 < 10 ? 0xFF0000 : i % 30 < 20 ? 0x00FF00 : 0x0000FF;
    ASSERT_TRUE(paint(w, {10, 10, 30, 10}, px));
    auto shown = shownOnce(d, "Video", [&](const Shown &s) { return s.at(35, 15) == visual->blue_mask; });
    ASSERT_TRUE(shown->ok());
    EXPECT_EQ(shown->at(15, 15), visual->red_mask);
    EXPECT_EQ(shown->at(25, 15), visual->green_mask);
    EXPECT_EQ(shown->at(35, 15), visual->blue_mask);
    EXPECT_TRUE(segmentsAttachedBy(screen.serverPid()).empty());
}
