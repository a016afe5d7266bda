// A window's video surface on the on-screen backend, on an X server of the
// test's own (Xvfb): painted as a grabber paints it, and read back from the
// server through a connection of the test's own.
#pragma once

#include "own_x_server.h"
#include "host_service.h"

#include <rb/loop.h>
#include <rb/plugin.h>
#include <rb/screen.h>
#include <rb/ui.h>

// gtest first: Xlib defines names such as None.
#include <gtest/gtest.h>

#include <FL/x.H>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The on-screen backend on an X server of the test's own (`args` and
// `launcher` as OwnXServer takes them), and the test's own connection to
// it; up() is false where there is no server (and a backend or connection
// that does not start on one fails the test).
class OnScreen {
public:
    explicit OnScreen(std::vector<std::string> args = {"-screen", "0", "1280x1024x24"},
                      std::vector<std::string> launcher = {})
        : x_(std::move(args), std::move(launcher)) {
        if (x_.display().empty()) return;
        setenv("DISPLAY", x_.display().c_str(), 1);
        unsetenv("TAVRIN_HEADLESS");
        setenv("NO_AT_BRIDGE", "1", 1);  // GTK (the file dialogs) without its accessibility bus
        if (rb::useScreenBackend()) display_ = XOpenDisplay(x_.display().c_str());
        if (!display_) ADD_FAILURE() << "the on-screen backend or a connection did not start on " << x_.display();
    }
    ~OnScreen() {
        if (display_) XCloseDisplay(display_);
    }
    OnScreen(const OnScreen &) = delete;
    OnScreen &operator=(const OnScreen &) = delete;
    bool up() const { return display_ != nullptr; }
    Display *display() const { return display_; }
    pid_t serverPid() const { return x_.pid(); }

private:
    OwnXServer x_;
    Display *display_ = nullptr;
};

// Paints the window's video surface as a grabber does, through the host
// service "PaintWindowSurface": `pixels` are area.width x area.height
// 0x00RRGGBB words, row by row.
inline bool paint(rb::Window &w, rb::Rect area, const std::vector<uint32_t> &pixels) {
    using Paint = RBBoolean(REALobject, int32_t, int32_t, int32_t, int32_t, const uint32_t *);
    static Paint *fn = service<Paint>("PaintWindowSurface");
    return fn && (fn(w.handle(), area.left, area.top, area.width, area.height, pixels.data()) & 1);
}

inline bool paint(rb::Window &w, rb::Rect area, uint32_t colour) {
    return paint(w, area, std::vector<uint32_t>(size_t(area.width) * size_t(area.height), colour));
}

// Until what the program asked of the server is done and what the server
// answered is handled (the steady pump reads the connection at least every
// 24 ms), twice: what the answers made the program draw is done too.
inline void settle() {
    for (int i = 0; i < 2; ++i) {
        XSync(fl_display, False);
        rb::runFor(50);
    }
    XSync(fl_display, False);
}

// A window titled "Video" of `width` x `height` with a push button at each
// of `buttons`, shown.
struct VideoWindow : rb::Window {
    VideoWindow(int width, int height, const std::vector<rb::Rect> &buttons = {})
        : Window("VideoWindow", rb::WindowKind::Document, "Video", width, height) {
        for (const rb::Rect &r : buttons) add(rb::ControlKind::PushButton, "button" + std::to_string(r.left), r);
        show();
        settle();
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
        XWindowAttributes a;
        if (!window_ || !XGetWindowAttributes(d, window_, &a) || a.map_state != IsViewable) return;
        image_ = XGetImage(d, window_, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    }
    ~Shown() {
        if (image_) XDestroyImage(image_);
    }
    Shown(const Shown &) = delete;
    Shown &operator=(const Shown &) = delete;
    bool ok() const { return image_ != nullptr; }
    uint32_t at(int x, int y) const { return uint32_t(XGetPixel(image_, x, y)) & 0xFFFFFF; }
    // The rectangle's pixels, row by row.
    std::vector<uint32_t> rect(int x, int y, int w, int h) const {
        std::vector<uint32_t> px;
        for (int row = y; row < y + h; ++row)
            for (int col = x; col < x + w; ++col) px.push_back(at(col, row));
        return px;
    }
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

// The window titled `title` as the server shows it, once `looks` holds of
// it: the program draws on passes of its loop and on its steady pump, so
// it settles until then (at most 10 s of the machine's clock: a loaded
// machine is slower, not wrong).
template <class Looks> std::unique_ptr<Shown> shownOnce(Display *d, const char *title, Looks &&looks) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        settle();
        auto shown = std::make_unique<Shown>(d, title);
        if ((shown->ok() && looks(*shown)) || std::chrono::steady_clock::now() >= end) return shown;
    }
}
