// The accessor families end to end on the host's own objects: a window and
// its controls as the operator sees them, timers, threads, the clock,
// memory blocks, variants and files.
#include "accessors.h"
#include "real_host_test.h"
#include "resolver.h"

#include <Carbon/Carbon.h>
#include <rb/host.h>
#include <rb/loop.h>
#include <rb/object.h>
#include <rb/operator.h>
#include <rb/runtime.h>
#include <rb/string.h>
#include <rb/thread.h>
#include <rb/timer.h>
#include <rb/ui.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

REALobject obj(const void *p) { return reinterpret_cast<REALobject>(const_cast<void *>(p)); }

std::string take(REALstring s) {
    std::string t = s ? rb::toStd(s) : "<nil>";
    rb::releaseString(s);
    return t;
}

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

struct Panel : rb::Window {
    Panel() : Window("FamiliesPanel", rb::WindowKind::Document, "Panel", 420, 260) {
        add(rb::ControlKind::PushButton, "go", {10, 10, 80, 22}).setCaption("Go");
        add(rb::ControlKind::StaticText, "label", {10, 40, 200, 16}).setText("Ready");
        add(rb::ControlKind::EditField, "prefix", {10, 60, 200, 22}).setText("take");
        add(rb::ControlKind::Slider, "speed", {10, 90, 150, 16}).setMaximum(30);
        add(rb::ControlKind::ProgressBar, "progress", {10, 110, 150, 12}).setMaximum(100);
        auto &popup = add(rb::ControlKind::PopupMenu, "creator", {10, 130, 150, 20});
        popup.addRow("Photoshop");
        popup.addRow("Preview");
    }
};

class FamiliesOnTheHost : public RealHostTest {
protected:
    void TearDown() override {
        RealHostTest::TearDown();
        rb::collectClosedWindows();
    }
};

}  // namespace

TEST_F(FamiliesOnTheHost, WindowGeometryTitleAndVisibilityThroughTheAccessors) {
    auto panel = rb::newWindow<Panel>();
    auto w = reinterpret_cast<REALwindow>(panel->handle());
    panel->show();
    EXPECT_EQ(Window_GetWidth(w), 420);
    EXPECT_EQ(Window_GetHeight(w), 260);
    EXPECT_EQ(take(Window_GetTitle(w)), "Panel");
    EXPECT_EQ(Window_GetVisible(w), 1);
    Window_SetLeft(w, 33);
    Window_SetTop(w, 44);
    Window_SetWidth(w, 500);
    Window_SetHeight(w, 300);
    rb::String title("Deck control");
    Window_SetTitle(w, title.get());
    std::string dump = rb::op::dump("FamiliesPanel");
    EXPECT_TRUE(contains(dump, "Deck control")) << dump;
    EXPECT_TRUE(contains(dump, "500")) << dump;
    EXPECT_EQ(panel->left(), 33);
    EXPECT_EQ(panel->top(), 44);
    Window_SetVisible(w, 0);
    EXPECT_FALSE(panel->visible());
    EXPECT_TRUE(contains(rb::op::dump("FamiliesPanel"), "hidden"));
    EXPECT_TRUE(log().empty()) << log().front();
    panel->close();
}

TEST_F(FamiliesOnTheHost, ControlsReadAndSetOneMemberEach) {
    auto panel = rb::newWindow<Panel>();
    auto handle = [&](const char *name) { return panel->control(name)->handle(); };
    EXPECT_EQ(take(PushButton_GetCaption(handle("go"))), "Go");
    rb::String stop("Stop");
    PushButton_SetCaption(handle("go"), stop.get());
    EXPECT_EQ(panel->control("go")->caption(), "Stop");

    EXPECT_EQ(take(StaticText_GetText(handle("label"))), "Ready");
    rb::String done("Done");
    StaticText_SetText(handle("label"), done.get());
    EXPECT_EQ(panel->control("label")->text(), "Done");

    EditField_SetTextSize(handle("prefix"), 18);
    EXPECT_EQ(EditField_GetTextSize(handle("prefix")), 18);
    EditField_SetBold(handle("prefix"), 1);
    EXPECT_EQ(EditField_GetBold(handle("prefix")), 1);

    Slider_SetValue(handle("speed"), 12);
    EXPECT_EQ(panel->control("speed")->value(), 12);
    EXPECT_EQ(Slider_GetMaximum(handle("speed")), 30);

    ProgressBar_SetValue(handle("progress"), 40);
    EXPECT_EQ(ProgressBar_GetValue(handle("progress")), 40);
    EXPECT_EQ(ProgressBar_GetMaximum(handle("progress")), 100);

    ASSERT_TRUE(rb::op::selectRow("FamiliesPanel", "creator", 1));
    EXPECT_EQ(PopupMenu_GetListIndex(handle("creator")), 1);
    PopupMenu_SetListIndex(handle("creator"), 0);
    EXPECT_EQ(panel->control("creator")->listIndex(), 0);
    EXPECT_TRUE(log().empty()) << log().front();
    panel->close();
}

TEST_F(FamiliesOnTheHost, TicksFollowTheHostClock) {
    int64_t before = rb::Ticks();
    int32_t ticks = Runtime_Ticks();
    int64_t after = rb::Ticks();
    EXPECT_GE(int64_t(ticks), int32_t(before));
    EXPECT_LE(int64_t(ticks), int32_t(after));
}

TEST_F(FamiliesOnTheHost, TimerPeriodAndModeAndAThreadsStateAndPriority) {
    rb::ObjRef timer = rb::ObjRef::adopt(rb::newObject(rb::timerClass()));
    Timer_SetPeriod(timer.get(), 250);
    Timer_SetMode(timer.get(), 2);
    EXPECT_EQ(Timer_GetPeriod(timer.get()), 250);
    EXPECT_EQ(Timer_GetMode(timer.get()), 2);
    Timer_SetMode(timer.get(), 0);
    EXPECT_EQ(Timer_GetMode(timer.get()), 0);

    rb::ObjRef thread = rb::newThread([](REALobject) {});
    Thread_SetPriority(thread.get(), 7);
    EXPECT_EQ(Thread_GetPriority(thread.get()), 7);
    // The state is the host's own, before the run and after it.
    EXPECT_EQ(Thread_GetState(thread.get()), int32_t(rb::threadState(thread.get())));
    rb::startThread(thread.get());
    rb::op::runFor(20);
    EXPECT_EQ(rb::threadState(thread.get()), rb::ThreadState::Done);
    EXPECT_EQ(Thread_GetState(thread.get()), int32_t(rb::ThreadState::Done));
}

TEST_F(FamiliesOnTheHost, MemoryBlockValuesOfEveryWidthInBothByteOrders) {
    REALmemoryBlock mb = REALNewMemoryBlock(32);
    ASSERT_NE(mb, nullptr);
    for (uint8_t little : {uint8_t(1), uint8_t(0)}) {
        MemoryBlock_SetLittleEndian(mb, little);
        EXPECT_EQ(MemoryBlock_GetLittleEndian(mb), little);
        MemoryBlock_SetByte(mb, 0, 0xAB);
        MemoryBlock_SetShort(mb, 2, -2);
        MemoryBlock_SetUShort(mb, 4, 0xBEEF);
        MemoryBlock_SetLong(mb, 8, 0x11223344);
        MemoryBlock_SetSingleValue(mb, 12, 0.5f);
        MemoryBlock_SetDoubleValue(mb, 16, -1.25);
        EXPECT_EQ(MemoryBlock_GetByte(mb, 0), 0xAB);
        EXPECT_EQ(MemoryBlock_GetShort(mb, 2), -2);
        EXPECT_EQ(MemoryBlock_GetUShort(mb, 4), 0xBEEF);
        EXPECT_EQ(MemoryBlock_GetLong(mb, 8), 0x11223344);
        EXPECT_EQ(MemoryBlock_GetSingleValue(mb, 12), 0.5);
        EXPECT_EQ(MemoryBlock_GetDoubleValue(mb, 16), -1.25);
        // The byte order shows in the first byte of the long.
        EXPECT_EQ(MemoryBlock_GetByte(mb, 8), little ? 0x44 : 0x11);
    }
    rb::String text("reel");
    MemoryBlock_SetCString(mb, 24, text.get());
    EXPECT_EQ(take(MemoryBlock_GetCString(mb, 24)), "reel");
    rb::release(obj(mb));
}

TEST_F(FamiliesOnTheHost, NilBlocksAndOffsetsPastTheEndMiss) {
    REALmemoryBlock mb = REALNewMemoryBlock(4);
    EXPECT_EQ(MemoryBlock_GetLong(mb, 2), 0);  // would read past the end
    MemoryBlock_SetLong(mb, 3, -1);            // would write past the end
    EXPECT_EQ(MemoryBlock_GetByte(mb, 3), 0);
    EXPECT_EQ(MemoryBlock_GetDoubleValue(mb, -8), 0.0);
    EXPECT_EQ(MemoryBlock_GetLong(nullptr, 0), 0);
    MemoryBlock_SetLong(nullptr, 0, 1);
    EXPECT_EQ(MemoryBlock_GetSize(nullptr), 0);
    rb::release(obj(mb));
}

TEST_F(FamiliesOnTheHost, VariantsOfEachKindAndTheirConversions) {
    REALobject b = Variant_BooleanToNewVariant(1), i = Variant_IntToNewVariant(-7),
               d = Variant_DoubleToNewVariant(3.75);
    rb::String s("12");
    REALobject t = Variant_StringToNewVariant(s.get()), c = Variant_ColorToNewVariant(0x00FF8000);
    EXPECT_EQ(Variant_GetBoolean(b), 1);
    EXPECT_EQ(Variant_GetInteger(i), -7);
    EXPECT_EQ(Variant_GetDouble(d), 3.75);
    EXPECT_EQ(Variant_GetInteger(t), 12);
    EXPECT_EQ(take(Variant_GetString(i)), "-7");
    EXPECT_EQ(Variant_GetColor(c), 0x00FF8000u);
    EXPECT_EQ(Variant_VariantToInt(d), 3);
    for (REALobject v : {b, i, d, t, c}) rb::release(v);
    EXPECT_TRUE(log().empty()) << log().front();
}

TEST_F(FamiliesOnTheHost, OpenAsMemoryBlockOnAnEmptyAndAOneMebibyteFile) {
    char tmpl[] = "/tmp/familiesXXXXXX";
    std::filesystem::path dir = mkdtemp(tmpl);
    std::ofstream(dir / "empty.bin").close();
    std::string big(1 << 20, '\0');
    for (size_t k = 0; k < big.size(); ++k) big[k] = char(k * 7);
    std::ofstream(dir / "big.bin", std::ios::binary).write(big.data(), std::streamsize(big.size()));

    for (const char *name : {"empty.bin", "big.bin"}) {
        rb::String path((dir / name).string());
        REALfolderItem f = FolderItem_GetFolderItem(path.get());
        ASSERT_NE(f, nullptr);
        REALmemoryBlock mb = FolderItem_OpenAsMemoryBlock(f);
        ASSERT_NE(mb, nullptr) << name;
        size_t want = std::string(name) == "big.bin" ? big.size() : 0;
        ASSERT_EQ(size_t(REALMemoryBlockGetSize(mb)), want);
        if (want) {
            EXPECT_EQ(std::memcmp(REALMemoryBlockGetPtr(mb), big.data(), want), 0);
        }
        rb::release(obj(mb));
        rb::release(obj(f));
    }
    // A file that is not there gives nil.
    rb::String missing((dir / "none.bin").string());
    REALfolderItem none = FolderItem_GetFolderItem(missing.get());
    EXPECT_EQ(FolderItem_OpenAsMemoryBlock(none), nullptr);
    rb::release(obj(none));
    std::filesystem::remove_all(dir);
}
