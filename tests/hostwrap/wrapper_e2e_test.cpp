// Wrappers on the real host runtime's own objects, one use per class the
// host has: a window, a timer, a thread, memory blocks, a folder item and its
// binary stream, a picture and the application object.
#include "wrappers/data.h"
#include "wrappers/system.h"
#include "wrappers/windows.h"

#include "host_services.h"
#include "resolver.h"

#include <rb/host.h>
#include <rb/object.h>
#include <rb/runtime.h>
#include <rb/loop.h>
#include <rb/picture.h>
#include <rb/string.h>
#include <rb/thread.h>
#include <rb/timer.h>
#include <rb/ui.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

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

TEST_F(WrapperEndToEnd, TimerPeriodModeAndEnabled) {
    rb::ObjRef timer = rb::newTimer(1000);
    XTimer t(timer.get());
    t.period(250);
    t.mode(1);
    EXPECT_EQ(t.period(), 250);
    EXPECT_EQ(t.mode(), 1);
    t.enabled(0);
    EXPECT_EQ(t.enabled(), 0);
    t.reset();
}

TEST_F(WrapperEndToEnd, ThreadRunsAndReportsItsState) {
    static int passes = 0;
    passes = 0;
    rb::ObjRef thread = rb::newThread([](REALobject) { ++passes; });
    XThread th(thread.get());
    th.priority(7);
    EXPECT_EQ(th.priority(), 7);
    EXPECT_EQ(th.state(), long(rb::ThreadState::NotStarted));
    th.run();
    rb::runFor(50);
    EXPECT_EQ(passes, 1);
    EXPECT_EQ(th.state(), long(rb::ThreadState::Done));
}

TEST_F(WrapperEndToEnd, MemoryBlockValuesSlicesAndOwnership) {
    XMemoryBlock m(16L);
    ASSERT_TRUE(static_cast<unsigned char>(m));
    EXPECT_EQ(m.size(), 16);
    m.byte(0, 0xFF);
    m.byte(1, 0xFF);
    EXPECT_EQ(m.ushort(0), -1);  // declared short: FF FF reads as -1
    EXPECT_EQ(m.sshort(0), -1);
    m.single(4, 1.5f);
    EXPECT_EQ(m.single(4), 1.5f);
    m.cstring(8, rb::newString("abc"));  // the string is handed over
    rb::String back = rb::String::adopt(m.cstring(8));
    EXPECT_EQ(back.str(), "abc");
    REALmemoryBlock whole = m;
    rb::retain(reinterpret_cast<REALobject>(whole));
    m.leftb(2);
    EXPECT_EQ(m.size(), 2);
    EXPECT_EQ(rb::refCount(reinterpret_cast<REALobject>(whole)), 1);  // the old block was released
    rb::release(reinterpret_cast<REALobject>(whole));
    m.unlock();
}

TEST_F(WrapperEndToEnd, FolderItemAndBinaryStreamWriteAndReadAFile) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("wrapper_e2e_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    XFolderItem f;
    f.getfolderitem(rb::newString((dir / "take.bin").string()));
    ASSERT_NE(static_cast<REALfolderItemStruct *>(f), nullptr);
    EXPECT_EQ(f.exists(), 0);
    REALobject created = f.createbinarystream(rb::newString("TIFF"));
    ASSERT_NE(created, nullptr);
    XBinaryStream out(created);
    out.write(rb::newString("frame"));
    EXPECT_EQ(out.length(), 5);
    out.close();
    rb::release(created);
    EXPECT_EQ(f.exists(), 1);
    EXPECT_EQ(fs::file_size(dir / "take.bin"), 5u);

    REALobject opened = f.openasbinarystream(0);
    ASSERT_NE(opened, nullptr);
    XBinaryStream in(opened);
    in.position(2);
    rb::String tail = rb::String::adopt(in.read(3));
    EXPECT_EQ(tail.str(), "ame");
    in.close();
    rb::release(opened);

    f.parent();  // now the folder
    EXPECT_EQ(f.directory(), 1);
    f.child(rb::newString("take.bin"));
    EXPECT_EQ(f.exists(), 1);
    rb::release(reinterpret_cast<REALobject>(static_cast<REALfolderItemStruct *>(f)));
    fs::remove_all(dir);
}

TEST_F(WrapperEndToEnd, PictureSizeAndDepth) {
    rb::ObjRef picture = rb::newPicture(64, 48, 32);
    XPicture p(reinterpret_cast<REALpicture>(picture.get()));
    EXPECT_EQ(p.width(), 64);
    EXPECT_EQ(p.height(), 48);
    EXPECT_EQ(p.depth(), 32);
}

TEST_F(WrapperEndToEnd, ApplicationObjectLetsTheLoopRun) {
    XApplication app;
    ASSERT_TRUE(static_cast<unsigned char>(app));
    EXPECT_EQ(static_cast<REALobjectStruct *>(app), rb::applicationObject());
    bool ran = false;
    rb::postAfter(1, [&] { ran = true; });
    app.doevents(20);
    EXPECT_TRUE(ran);
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
