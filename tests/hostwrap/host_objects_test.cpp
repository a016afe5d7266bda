// The wrapper library's lookup engine against the host's own objects: the
// accessors below are written as the family tables give them (property,
// resolver name, selector) and reach real windows, controls, files, memory
// blocks, timers and string arrays.
#include "accessors.h"
#include "lookup.h"
#include "resolver.h"

#include <fw/Carbon.h>
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

std::vector<std::string> gLog;
void capture(const char *text, size_t length, void *) { gLog.emplace_back(text, length); }

REALobject obj(const void *p) { return reinterpret_cast<REALobject>(const_cast<void *>(p)); }

// ---- accessors, as the family tables describe them ----------------------------

constexpr Row kRow{"HostObjectsTest", {}};

int32_t windowLeft(REALwindowStruct *w) {
    static Slot _fp;
    constexpr Row row{"Window_GetLeft", {}};
    return propertyFirst<int32_t>(row, _fp, "Left", "windowPosGetter", 0, Selector<0>{}, w);
}
int32_t windowPosBySelector(REALwindowStruct *w) {
    static Slot _fp;
    return silentResolver<int32_t>(kRow, _fp, "windowPosGetter", 0, Selector<0>{}, w);
}
void setWindowLeft(REALwindowStruct *w, int32_t v) {
    static Slot _fp;
    constexpr Row row{"Window_SetLeft", {}};
    propertyFirst<void>(row, _fp, "Left", "windowPosSetter", 0, Selector<0>{}, w, v);
}
void hideWindow(REALwindowStruct *w) {
    static Slot _fp;
    constexpr Row row{"Window_Hide", {}};
    signatureFirst<void>(row, _fp, Loader::ObjectMethod, "Hide()", "RuntimeHideWindow", 0, w);
}
int32_t sliderValue(REALobject s) {
    static Slot _fp;
    return silentResolver<int32_t>(kRow, _fp, "scrollerPropGetter", 0, Selector<1>{}, s);
}
REALfolderItem getFolderItem(REALstring path) {
    static Slot _fp;
    return silentResolver<REALfolderItem>(kRow, _fp, "RuntimeGetFolderItem", nullptr, Forward{}, path);
}
REALobject createBinaryFile(REALfolderItem f, REALstring type) {
    static Slot _fp;
    return silentResolver<REALobject>(kRow, _fp, "FolderItemCreateBinaryFile", nullptr, Forward{}, f, type);
}
REALobject openBinaryFile(REALfolderItem f, uint8_t writable) {
    static Slot _fp;
    return silentResolver<REALobject>(kRow, _fp, "FolderItemOpenBinaryFile", nullptr, Forward{}, f, writable);
}
void streamWrite(REALobject bs, REALstring s) {
    static Slot _fp;
    silentResolver<void>(kRow, _fp, "BinaryStreamWrite", 0, Forward{}, bs, s);
}
REALstring streamRead(REALobject bs, int32_t n) {
    static Slot _fp;
    return silentResolver<REALstring>(kRow, _fp, "BinaryStreamRead", nullptr, Forward{}, bs, n, int32_t(0));
}
void streamSetPosition(REALobject bs, int32_t pos) {
    static Slot _fp;
    silentResolver<void>(kRow, _fp, "BinaryStreamSetPosition", 0, Selector<0>{}, bs, pos);
}
int32_t streamLength(REALobject bs) {
    static Slot _fp;
    return silentResolver<int32_t>(kRow, _fp, "BinaryStreamGetLength", 0, Selector<0>{}, bs);
}
void streamClose(REALobject bs) {
    static Slot _fp;
    silentResolver<void>(kRow, _fp, "BinaryStreamClose", 0, Forward{}, bs);
}
REALmemoryBlockStruct *midB(REALmemoryBlockStruct *mb, int32_t start, int32_t length) {
    static Slot _fp;
    return silentResolver<REALmemoryBlockStruct *>(kRow, _fp, "MemoryBlockMidB3", nullptr, Forward{}, mb, start,
                                                   length);
}
void fromString(REALmemoryBlockStruct *mb, REALstring s) {
    static Slot _fp;
    silentResolver<void>(kRow, _fp, "MemoryBlockFromStringOperator", 0, Forward{}, mb, s);
}
REALstring toString(REALmemoryBlockStruct *mb) {
    static Slot _fp;
    return silentResolver<REALstring>(kRow, _fp, "MemoryBlockToStringOperator", nullptr, Forward{}, mb);
}
int32_t blockSize(REALmemoryBlockStruct *mb) {
    static Slot _fp;
    return silentResolver<int32_t>(kRow, _fp, "memoryBlockGetSize", -50, Forward{}, mb);
}
int32_t installHandler(REALobject o, REALstring event, void (*fn)()) {
    static Slot _fp;
    return silentResolver<int32_t>(kRow, _fp, "RuntimeInstallInstanceEventHandler", 0, Forward{}, o, event, fn);
}

std::string take(REALstring s) {
    std::string t = s ? rb::toStd(s) : "<nil>";
    rb::releaseString(s);
    return t;
}


std::vector<std::string> gEvents;
extern "C" void ownAction(REALobject) { gEvents.push_back("own Action"); }

struct Deck : rb::Window {
    Deck() : Window("HostWrapDeck", rb::WindowKind::Document, "Deck", 400, 300) {
        auto &s = add(rb::ControlKind::Slider, "shuttle", {10, 60, 150, 16});
        s.setMaximum(30);
        add(rb::ControlKind::PushButton, "play", {10, 20, 80, 22}).on("Action", [] { gEvents.push_back("class Action"); });
    }
};

class HostObjects : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RuntimeInit();
        gResolver = rb::resolve;
    }
    void SetUp() override {
        gLog.clear();
        gEvents.clear();
        fw_set_debugstr_hook(capture, nullptr);
        rb::restoreServices();
    }
    void TearDown() override {
        fw_set_debugstr_hook(nullptr, nullptr);
        rb::restoreServices();
        rb::collectClosedWindows();
    }
};

}  // namespace

TEST_F(HostObjects, WindowLeftFollowsTheWindowByPropertyAndBySelector) {
    auto deck = rb::newWindow<Deck>();
    auto *w = reinterpret_cast<REALwindowStruct *>(deck->handle());
    EXPECT_EQ(windowLeft(w), deck->left());
    deck->setLeft(123);  // moved, as the on-screen backend moves it for a person
    EXPECT_EQ(windowLeft(w), 123);
    setWindowLeft(w, 55);
    EXPECT_EQ(deck->left(), 55);
    EXPECT_TRUE(gLog.empty());
    // The fallback, the selector getter, gives the same answer.
    EXPECT_EQ(windowPosBySelector(w), 55);
    deck->show();
    hideWindow(w);
    EXPECT_FALSE(deck->visible());
    deck->close();
}

TEST_F(HostObjects, ControlChangedByTheOperator) {
    auto deck = rb::newWindow<Deck>();
    REALobject slider = deck->control("shuttle")->handle();
    ASSERT_TRUE(rb::op::setSlider("HostWrapDeck", "shuttle", 7));
    EXPECT_EQ(sliderValue(slider), 7);
    // The object's own Action handler wins over the window's.
    rb::String action("Action");
    REALobject play = deck->control("play")->handle();
    EXPECT_EQ(installHandler(play, action.get(), reinterpret_cast<void (*)()>(&ownAction)), 1);
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
    REALfolderItem f = getFolderItem(path.get());
    ASSERT_NE(f, nullptr);
    REALobject bs = createBinaryFile(f, type.get());
    ASSERT_NE(bs, nullptr);
    streamWrite(bs, text.get());
    streamWrite(bs, tail.get());
    streamClose(bs);
    rb::release(bs);

    bs = openBinaryFile(f, 0);
    ASSERT_NE(bs, nullptr);
    EXPECT_EQ(streamLength(bs), 14);
    streamSetPosition(bs, 6);
    EXPECT_EQ(take(streamRead(bs, 4)), "0001");
    EXPECT_EQ(take(streamRead(bs, 100)), "-end");
    streamClose(bs);
    EXPECT_EQ(streamRead(bs, 1), nullptr);  // closed
    rb::release(bs);
    rb::release(obj(f));
    std::filesystem::remove_all(dir);
}

TEST_F(HostObjects, MemoryBlockCutWithMidB) {
    auto newBlock = reinterpret_cast<REALmemoryBlockStruct *(*)(int32_t)>(rb::resolve("newMemoryBlock"));
    REALmemoryBlockStruct *mb = newBlock(4);
    rb::String text("00:01:02:03");
    fromString(mb, text.get());
    EXPECT_EQ(blockSize(mb), 11);
    REALmemoryBlockStruct *mid = midB(mb, 3, 2);
    EXPECT_EQ(take(toString(mid)), "01");
    rb::release(obj(mid));
    mid = midB(mb, 9, 10);  // cut at the end
    EXPECT_EQ(take(toString(mid)), "03");
    rb::release(obj(mid));
    EXPECT_EQ(midB(mb, -1, 2), nullptr);
    EXPECT_EQ(midB(nullptr, 0, 2), nullptr);
    rb::release(obj(mb));
}

TEST_F(HostObjects, InstanceHandlerWinsAndGoesWithItsObject) {
    rb::ClassInfo *cls = rb::defineSubclass("HostWrapTimer", rb::timerClass());
    ASSERT_NE(cls, nullptr);
    rb::setNamedHandler(cls, "Action", [](REALobject) { gEvents.push_back("class Action"); });
    REALobject mine = rb::newObject(cls), other = rb::newObject(cls);
    rb::String action("Action");
    EXPECT_EQ(installHandler(mine, action.get(), reinterpret_cast<void (*)()>(&ownAction)), 1);
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
    EXPECT_EQ(installHandler(nullptr, action.get(), reinterpret_cast<void (*)()>(&ownAction)), 0);
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
    EXPECT_TRUE(gLog.empty());
}
