// A window's video surface on screen, on an X server of the test's own
// (Xvfb; skipped where there is none), read back from the server: where a
// control lies over the surface, the surface is drawn under it; where none
// does, it shows in a child window of its own, and moves with the surface.
#include <rb/backend.h>
#include <rb/loop.h>
#include <rb/operator.h>
#include <rb/screen.h>
#include <rb/ui.h>

// gtest first: Xlib defines names such as None.
#include <gtest/gtest.h>

#include "own_x_server.h"

#include <FL/x.H>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

class VideoWindow : public rb::Window {
public:
    VideoWindow() : Window("VideoWindow", rb::WindowKind::Document, "Video", 200, 150) {
        add(rb::ControlKind::PushButton, "button", {20, 20, 60, 20}).setCaption("B");
    }
    // As the grabber paints through the host.
    void paint(rb::Rect area, uint32_t colour) {
        uint32_t *to = surface.repaint(area, rb::backend().surfaceMemory(*this, area.width, area.height));
        std::fill_n(to, size_t(area.width) * size_t(area.height), colour);
        ++surface.paintings;
        rb::backend().surfacePainted(*this);
    }
};

// The pixels of the window titled `title` as the server shows them, child
// windows included, through a connection of the test's own.
class Shown {
public:
    Shown(Display *d, const char *title) : display_(d) {
        Window root = DefaultRootWindow(d), parent = 0, *children = nullptr;
        unsigned n = 0;
        if (!XQueryTree(d, root, &root, &parent, &children, &n)) return;
        for (unsigned i = 0; i < n && !window_; ++i) {
            char *name = nullptr;
            if (XFetchName(d, children[i], &name) && name && std::string(name) == title) window_ = children[i];
            if (name) XFree(name);
        }
        if (children) XFree(children);
        if (!window_) return;
        XWindowAttributes a;
        XGetWindowAttributes(d, window_, &a);
        image_ = XGetImage(d, window_, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    }
    ~Shown() {
        if (image_) XDestroyImage(image_);
    }
    bool ok() const { return image_ != nullptr; }
    uint32_t at(int x, int y) const { return uint32_t(XGetPixel(image_, x, y)) & 0xFFFFFF; }
    // The window's child windows that are mapped.
    int mappedChildren() const {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned n = 0;
        int mapped = 0;
        if (!XQueryTree(display_, window_, &root, &parent, &children, &n)) return 0;
        for (unsigned i = 0; i < n; ++i) {
            XWindowAttributes a;
            if (XGetWindowAttributes(display_, children[i], &a) && a.map_state == IsViewable) ++mapped;
        }
        if (children) XFree(children);
        return mapped;
    }

private:
    Display *display_;
    Window window_ = 0;
    XImage *image_ = nullptr;
};

}  // namespace

TEST(ScreenVideo, UnderTheControlsOverItElseInAWindowOfItsOwn) {
    OwnXServer x;
    if (x.display().empty()) GTEST_SKIP() << "no Xvfb here";
    setenv("DISPLAY", x.display().c_str(), 1);
    unsetenv("TAVRIN_HEADLESS");
    setenv("NO_AT_BRIDGE", "1", 1);  // GTK (the file dialogs) without its accessibility bus
    ASSERT_TRUE(rb::useScreenBackend());
    Display *d = XOpenDisplay(x.display().c_str());
    ASSERT_TRUE(d);

    VideoWindow w;
    w.show();
    rb::op::runFor(300);
    // The whole window red, the button over it: drawn under the button, in
    // the window itself.
    w.paint({0, 0, 200, 150}, 0xFF0000);
    rb::op::runFor(300);
    {
        Shown shown(d, "Video");
        ASSERT_TRUE(shown.ok());
        EXPECT_EQ(shown.at(150, 100), 0xFF0000u);
        EXPECT_EQ(shown.at(199, 149), 0xFF0000u);
        EXPECT_NE(shown.at(50, 30), 0xFF0000u);  // the button
        EXPECT_EQ(shown.mappedChildren(), 0);
    }
    // Green below the button, nothing over it: in a child window, at its
    // place; above it the window's own.
    w.paint({0, 60, 200, 90}, 0x00FF00);
    rb::op::runFor(300);
    {
        Shown shown(d, "Video");
        ASSERT_TRUE(shown.ok());
        EXPECT_EQ(shown.mappedChildren(), 1);
        EXPECT_EQ(shown.at(0, 60), 0x00FF00u);
        EXPECT_EQ(shown.at(199, 149), 0x00FF00u);
        EXPECT_NE(shown.at(150, 50), 0x00FF00u);
        EXPECT_NE(shown.at(50, 30), 0x00FF00u);
    }
    // Blue over the button again: back among the controls, the child window gone.
    w.paint({0, 0, 200, 150}, 0x0000FF);
    rb::op::runFor(300);
    {
        Shown shown(d, "Video");
        ASSERT_TRUE(shown.ok());
        EXPECT_EQ(shown.mappedChildren(), 0);
        EXPECT_EQ(shown.at(150, 100), 0x0000FFu);
        EXPECT_NE(shown.at(50, 30), 0x0000FFu);
    }
    // A painting shows on the loop's next passes, not on the steady pump's.
    w.paint({0, 0, 200, 150}, 0xFFFF00);
    for (int i = 0; i < 3; ++i) rb::runOnce(0);
    XSync(fl_display, False);
    {
        Shown shown(d, "Video");
        ASSERT_TRUE(shown.ok());
        EXPECT_EQ(shown.at(150, 100), 0xFFFF00u);
    }
    XCloseDisplay(d);
}
