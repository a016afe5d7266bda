// The wrapper library's accessors against the host's own objects: real
// windows, controls, files, memory blocks, timers and string arrays.
#include "accessors.h"
#include "lookup.h"
#include "real_host_test.h"
#include "resolver.h"

#include <Carbon/Carbon.h>
#include <rb/host.h>
#include <rb/object.h>
#include <rb/operator.h>
#include <rb/runtime.h>
#include <rb/string.h>
#include <rb/stringarray.h>
#include <rb/timer.h>
#include <rb/ui.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace hostwrap;

namespace {

REALobject obj(const void *p) { return reinterpret_cast<REALobject>(const_cast<void *>(p)); }

// The only row not in the library: the selector getter on its own, to show
// that the fallback of Window_GetLeft gives the same answer as the property.
int32_t windowPosBySelector(REALwindow w) {
    static Slot _fp;
    constexpr Row row{"HostObjectsTest", {}};
    return silentResolver<int32_t>(row, _fp, "windowPosGetter", 0, Selector<0>{}, w);
}

std::string take(REALstring s) {
    std::string t = s ? rb::toStd(s) : "<nil>";
    rb::releaseString(s);
    return t;
}

std::vector<std::string> gEvents;

// Installs through the accessor (a procedure) and reports whether the
// object now has that handler.
bool installed(REALobject o, REALstring event, void (*fn)()) {
    Runtime_InstallInstanceEventHandler(o, event, fn);
    return o && rb::instanceHandler(o, rb::toStd(event)) == reinterpret_cast<void *>(fn);
}
extern "C" void ownAction(REALobject) { gEvents.push_back("own Action"); }

struct Deck : rb::Window {
    Deck() : Window("HostWrapDeck", rb::WindowKind::Document, "Deck", 400, 300) {
        auto &s = add(rb::ControlKind::Slider, "shuttle", {10, 60, 150, 16});
        s.setMaximum(30);
        add(rb::ControlKind::PushButton, "play", {10, 20, 80, 22}).on("Action", [] {
            gEvents.push_back("class Action");
        });
    }
};

class HostObjects : public RealHostTest {
protected:
    void SetUp() override {
        RealHostTest::SetUp();
        gEvents.clear();
    }
    void TearDown() override {
        RealHostTest::TearDown();
        rb::collectClosedWindows();
    }
};

}  // namespace

TEST_F(HostObjects, WindowLeftFollowsTheWindowByPropertyAndBySelector) {
    auto deck = rb::newWindow<Deck>();
    auto w = reinterpret_cast<REALwindow>(deck->handle());
    EXPECT_EQ(Window_GetLeft(w), deck->left());
    deck->setLeft(123);  // moved, as the on-screen backend moves it for a person
    EXPECT_EQ(Window_GetLeft(w), 123);
    Window_SetLeft(w, 55);
    EXPECT_EQ(deck->left(), 55);
    EXPECT_TRUE(log().empty());
    // The fallback, the selector getter, gives the same answer.
    EXPECT_EQ(windowPosBySelector(w), 55);
    deck->show();
    Window_Hide(w);
    EXPECT_FALSE(deck->visible());
    deck->close();
}

TEST_F(HostObjects, ControlChangedByTheOperator) {
    auto deck = rb::newWindow<Deck>();
    REALobject slider = deck->control("shuttle")->handle();
    ASSERT_TRUE(rb::op::setSlider("HostWrapDeck", "shuttle", 7));
    EXPECT_EQ(Slider_GetValue(slider), 7);
    // The object's own Action handler wins over the window's.
    rb::String action("Action");
    REALobject play = deck->control("play")->handle();
    EXPECT_TRUE(installed(play, action.get(), reinterpret_cast<void (*)()>(&ownAction)));
    ASSERT_TRUE(rb::op::click("HostWrapDeck", "play"));
    EXPECT_EQ(gEvents, std::vector<std::string>{"own Action"});
    deck->close();
    deck.reset();
    rb::collectClosedWindows();  // the controls and their objects go, handlers too
}

TEST_F(HostObjects, BinaryStreamWrittenAndReadBack) {
    char tmpl[] = "/tmp/hostwrapXXXXXX";
    std::string dir = mkdtemp(tmpl);
    rb::String path(dir + "/take1.bin"), type("text"), text("frame 0001"), tail("-end");
    auto f = reinterpret_cast<REALfolderItem>(FolderItem_GetFolderItem(path.get()));
    ASSERT_NE(f, nullptr);
    REALobject bs = FolderItem_CreateBinaryFile(f, type.get());
    ASSERT_NE(bs, nullptr);
    BinaryStream_Write(bs, text.get());
    BinaryStream_Write(bs, tail.get());
    BinaryStream_Close(bs);
    rb::release(bs);

    bs = FolderItem_OpenBinaryFile(f, 0);
    ASSERT_NE(bs, nullptr);
    EXPECT_EQ(BinaryStream_GetLength(bs), 14);
    BinaryStream_SetPosition(bs, 6);
    EXPECT_EQ(take(BinaryStream_Read(bs, 4)), "0001");
    EXPECT_EQ(take(BinaryStream_Read(bs, 100)), "-end");
    BinaryStream_Close(bs);
    EXPECT_EQ(BinaryStream_Read(bs, 1), nullptr);  // closed
    rb::release(bs);
    rb::release(obj(f));
    std::filesystem::remove_all(dir);
}

TEST_F(HostObjects, MemoryBlockCutWithMidB) {
    auto newBlock = reinterpret_cast<REALmemoryBlockStruct *(*)(int32_t)>(rb::resolve("newMemoryBlock"));
    REALmemoryBlockStruct *mb = newBlock(4);
    rb::String text("00:01:02:03");
    MemoryBlock_FromString(mb, text.get());
    EXPECT_EQ(MemoryBlock_GetSize(mb), 11);
    auto mid = reinterpret_cast<REALmemoryBlock>(MemoryBlock_MidB3(mb, 3, 2));
    EXPECT_EQ(take(MemoryBlock_ToString(mid)), "01");
    rb::release(obj(mid));
    mid = reinterpret_cast<REALmemoryBlock>(MemoryBlock_MidB3(mb, 9, 10));  // cut at the end
    EXPECT_EQ(take(MemoryBlock_ToString(mid)), "03");
    rb::release(obj(mid));
    EXPECT_EQ(MemoryBlock_MidB3(mb, -1, 2), nullptr);
    EXPECT_EQ(MemoryBlock_MidB3(nullptr, 0, 2), nullptr);
    rb::release(obj(mb));
}

TEST_F(HostObjects, InstanceHandlerWinsAndGoesWithItsObject) {
    rb::ClassInfo *cls = rb::defineSubclass("HostWrapTimer", rb::timerClass());
    ASSERT_NE(cls, nullptr);
    rb::setNamedHandler(cls, "Action", [](REALobject) { gEvents.push_back("class Action"); });
    REALobject mine = rb::newObject(cls), other = rb::newObject(cls);
    rb::String action("Action");
    EXPECT_TRUE(installed(mine, action.get(), reinterpret_cast<void (*)()>(&ownAction)));
    rb::setTimerPeriod(mine, 5);
    rb::setTimerPeriod(other, 5);
    rb::setTimerMode(mine, rb::TimerSingle);
    rb::setTimerMode(other, rb::TimerSingle);
    rb::op::runFor(40);
    std::sort(gEvents.begin(), gEvents.end());
    EXPECT_EQ(gEvents, (std::vector<std::string>{"class Action", "own Action"}));
    EXPECT_NE(rb::instanceHandler(mine, "action"), nullptr);
    rb::release(mine);  // its handler goes with it
    EXPECT_EQ(rb::instanceHandler(other, "Action"), nullptr);
    rb::release(other);
    EXPECT_FALSE(installed(nullptr, action.get(), reinterpret_cast<void (*)()>(&ownAction)));
}

TEST_F(HostObjects, StringSplitAndJoinAnswer) {
    rb::String source("a,b,,c"), comma(",");
    void *array = reinterpret_cast<void *>(String_Split(source.get(), comma.get()));
    ASSERT_NE(array, nullptr);
    std::vector<std::string> items;
    for (const rb::String &s : *rb::stringArrayItems(obj(array))) items.push_back(s.str());
    EXPECT_EQ(items, (std::vector<std::string>{"a", "b", "", "c"}));
    rb::String semi(";");
    EXPECT_EQ(take(String_Join(reinterpret_cast<REALstringArray>(array), semi.get())), "a;b;;c");
    rb::release(obj(array));
    EXPECT_TRUE(log().empty());
}

TEST_F(HostObjects, VariantsAndTypedBlockValues) {
    REALobject v = Variant_IntToNewVariant(42);
    EXPECT_EQ(take(Variant_GetString(v)), "42");
    Variant_SetDouble(v, 2.5);
    EXPECT_EQ(Variant_GetInteger(v), 2);
    EXPECT_EQ(Variant_VariantToDouble(v), 2.5);
    rb::release(v);
    EXPECT_TRUE(log().empty());

    auto newBlock = reinterpret_cast<REALmemoryBlock (*)(int32_t)>(rb::resolve("newMemoryBlock"));
    REALmemoryBlock mb = newBlock(8);
    MemoryBlock_SetSingleValue(mb, 4, 0.75f);
    EXPECT_EQ(MemoryBlock_GetSingleValue(mb, 4), 0.75);
    MemoryBlock_SetUShort(mb, 0, 0xFFFF);
    EXPECT_EQ(MemoryBlock_GetShort(mb, 0), -1);
    EXPECT_EQ(MemoryBlock_GetUShort(mb, 0), 65535);
    MemoryBlock_SetLittleEndian(mb, 0);
    MemoryBlock_SetLong(mb, 0, 0x01020304);
    EXPECT_EQ(MemoryBlock_GetByte(mb, 0), 1);
    EXPECT_EQ(MemoryBlock_GetLong(mb, 6), 0);  // past the end
    rb::release(obj(mb));
}
