// Wrappers on the real host runtime's own objects, through the members the
// host really has: a window's geometry and title, and a memory block.
#include "wrappers/data.h"
#include "wrappers/windows.h"

#include "host_services.h"
#include "resolver.h"

#include <rb/host.h>
#include <rb/object.h>
#include <rb/runtime.h>
#include <rb/string.h>
#include <rb/ui.h>

#include <gtest/gtest.h>

namespace {

class PlainWindow : public rb::Window {
public:
    PlainWindow() : rb::Window("PlainWindow", rb::WindowKind::Document, "Frames", 300, 200) {}
};

class WrapperEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RuntimeInit();
        gResolver = rb::resolve;
    }
};

TEST_F(WrapperEndToEnd, WindowGeometryAndTitleThroughXWindow) {
    auto win = rb::newWindow<PlainWindow>();
    int32_t probe = 0;
    if (!REALGetPropValueInt32(win->handle(), "Left", &probe)) {
        win->close();
        rb::collectClosedWindows();
        GTEST_SKIP() << "this host runtime has no window members by name yet";
    }
    XWindow w(reinterpret_cast<REALwindow>(win->handle()));
    EXPECT_EQ(w.width(), 300);
    EXPECT_EQ(w.height(), 200);
    w.left(40);
    w.top(50);
    w.width(320);
    EXPECT_EQ(win->left(), 40);
    EXPECT_EQ(win->top(), 50);
    EXPECT_EQ(win->width(), 320);
    EXPECT_EQ(w.left(), 40);
    rb::String title = rb::String::adopt(w.title());
    EXPECT_EQ(title.str(), "Frames");
    // A container control over the same window reaches the same members.
    XContainerControl c(w);
    EXPECT_EQ(c.top(), 50);
    win->close();
    rb::collectClosedWindows();
}

TEST_F(WrapperEndToEnd, MemoryBlockSizeFromTheHost) {
    REALmemoryBlock b = REALNewMemoryBlock(12);
    XMemoryBlock m(b);
    EXPECT_EQ(m.size(), 12);
    EXPECT_TRUE(static_cast<unsigned char>(m));
    const int32_t before = rb::refCount(reinterpret_cast<REALobject>(b));
    {
        XMemoryBlock copy = m;
        EXPECT_EQ(copy.size(), 12);
    }
    EXPECT_EQ(rb::refCount(reinterpret_cast<REALobject>(b)), before);
    m.unlock();
}

}  // namespace
