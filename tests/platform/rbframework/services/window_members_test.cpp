// Windows and controls as plug-ins reach them: properties by name, the
// generic getters and setters by selector, methods by declaration, the
// focus services and per-object handlers, all answering from the model.
#include "host_service.h"

#include <rb/exception.h>
#include <rb/object.h>
#include <rb/string.h>
#include <rb/ui.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace rb;

namespace {

using IntGet = int32_t(REALobject, int32_t);
using IntSet = void(REALobject, int32_t, int32_t);
using BoolGet = RBBoolean(REALobject, int32_t);
using BoolSet = void(REALobject, int32_t, RBBoolean);
using StrGet = REALstring(REALobject, int32_t);
using StrSet = void(REALobject, int32_t, REALstring);
using ObjGet = REALobject(REALobject, int32_t);

std::vector<std::string> gEvents;

struct Deck : Window {
    Deck() : Window("DeckWindow", WindowKind::Document, "Deck", 400, 300) {
        add(ControlKind::PushButton, "play", {10, 20, 80, 22}).setCaption("Play");
        auto &s = add(ControlKind::Slider, "shuttle", {10, 60, 150, 16});
        s.setMaximum(30);
        s.setValue(15);
        add(ControlKind::StaticText, "timecode", {10, 90, 120, 16}).setText("00:00:00:00");
        auto &p = add(ControlKind::PopupMenu, "creator", {10, 120, 120, 20});
        for (const char *r : {"Photoshop", "Preview"}) p.addRow(r);
        add(ControlKind::EditField, "prefix", {10, 150, 120, 22});
        add(ControlKind::EditField, "count", {10, 180, 120, 22});
        add(ControlKind::RadioButton, "rs422", {200, 20, 80, 20}).setCaption("RS-422");
        play = control("play");
        play->on("Action", [] { gEvents.push_back("class Action"); });
    }
    void Resized() override { gEvents.push_back("class Resized"); }
    Control *play = nullptr;
};

REALobject ctl(Window &w, const char *name) { return w.control(name)->handle(); }

std::string take(REALstring s) {
    std::string t = toStd(s);
    releaseString(s);
    return t;
}

class WindowMembers : public ::testing::Test {
protected:
    void SetUp() override {
        gEvents.clear();
        deck = newWindow<Deck>();
        w = deck->handle();
    }
    void TearDown() override {
        clearPending();
        deck->close();
        deck.reset();
        collectClosedWindows();
    }
    std::shared_ptr<Deck> deck;
    REALobject w = nullptr;
};

TEST_F(WindowMembers, PropertiesByNameAnswerAndChangeTheWindow) {
    auto getInt = service<RBBoolean(REALobject, const char *, int32_t *)>("REALGetPropValueInt");
    auto setInt = service<RBBoolean(REALobject, const char *, int32_t)>("REALSetPropValueInt");
    auto getStr = service<RBBoolean(REALobject, const char *, REALstring *)>("REALGetPropValueString");
    auto setStr = service<RBBoolean(REALobject, const char *, REALstring)>("REALSetPropValueString");
    auto getBool = service<RBBoolean(REALobject, const char *, RBBoolean *)>("REALGetPropValueBool");

    int32_t v = -1;
    ASSERT_TRUE(getInt(w, "Left", &v));
    EXPECT_EQ(v, deck->left());
    deck->setLeft(37);  // the operator moves it
    ASSERT_TRUE(getInt(w, "left", &v));
    EXPECT_EQ(v, 37);
    EXPECT_TRUE(setInt(w, "Width", 420));
    EXPECT_EQ(deck->width(), 420);
    EXPECT_TRUE(setInt(w, "Width", 1));  // kept within the window's limits
    EXPECT_EQ(deck->width(), deck->minWidth);
    ASSERT_TRUE(getInt(w, "ControlCount", &v));
    EXPECT_EQ(v, 7);
    EXPECT_FALSE(setInt(w, "ControlCount", 3));

    REALstring t = nullptr;
    ASSERT_TRUE(getStr(w, "Title", &t));
    EXPECT_EQ(take(t), "Deck");
    String title("Deck 2");
    EXPECT_TRUE(setStr(w, "Title", title.get()));
    EXPECT_EQ(deck->title(), "Deck 2");

    RBBoolean b = 9;
    ASSERT_TRUE(getBool(w, "Visible", &b));
    EXPECT_EQ(b, 0);
    EXPECT_FALSE(getInt(w, "NoSuchProperty", &v));
}

TEST_F(WindowMembers, SelectorsReachTheSameMembers) {
    auto pos = service<IntGet>("windowPosGetter");
    auto setPos = service<IntSet>("windowPosSetter");
    deck->setLeft(11);
    deck->setTop(22);
    deck->setSize(333, 244);
    EXPECT_EQ(pos(w, 0), 11);
    EXPECT_EQ(pos(w, 1), 22);
    EXPECT_EQ(pos(w, 2), 333);
    EXPECT_EQ(pos(w, 3), 244);
    EXPECT_EQ(pos(w, 4), 0);  // no such selector
    setPos(w, 1, 99);
    EXPECT_EQ(deck->top(), 99);
    gEvents.clear();
    setPos(w, 3, 260);
    EXPECT_EQ(deck->height(), 260);
    EXPECT_EQ(gEvents, std::vector<std::string>{"class Resized"});

    auto limits = service<IntGet>("windowMinMaxWidthHeightGetter");
    service<IntSet>("windowMinMaxWidthHeightSetter")(w, 2, 500);
    EXPECT_EQ(deck->maxWidth, 500);
    EXPECT_EQ(limits(w, 0), deck->minWidth);

    service<BoolSet>("WindowVisibleSetter")(w, 0, 1);
    EXPECT_TRUE(deck->visible());
    EXPECT_EQ(service<BoolGet>("WindowVisibleGetter")(w, 0), 1);
    String t("Transport");
    service<StrSet>("windowTitleSetter")(w, 0, t.get());
    EXPECT_EQ(take(service<StrGet>("windowTitleGetter")(w, 0)), "Transport");
    EXPECT_EQ(service<IntGet>("windowControlCountGetter")(w, 0), 7);
}

TEST_F(WindowMembers, MethodsByDeclaration) {
    auto load = service<void *(REALobject, const char *)>("REALLoadObjectMethod");
    auto show = reinterpret_cast<void (*)(REALobject)>(load(w, "Show()"));
    auto hide = reinterpret_cast<void (*)(REALobject)>(load(w, "Hide()"));
    auto control =
        reinterpret_cast<REALobject (*)(REALobject, int32_t)>(load(w, "Control(index As Integer) As Control"));
    ASSERT_TRUE(show && hide && control);
    EXPECT_EQ(load(w, "Show"), nullptr);  // the declaration must match
    EXPECT_EQ(reinterpret_cast<void *>(show), rb::resolve("RuntimeShowWindow"));
    show(w);
    EXPECT_TRUE(deck->visible());
    hide(w);
    EXPECT_FALSE(deck->visible());

    REALobject first = control(w, 0);
    EXPECT_EQ(first, ctl(*deck, "play"));
    release(first);
    EXPECT_EQ(control(w, 7), nullptr);
    EXPECT_EQ(control(w, -1), nullptr);
    String name("Shuttle");
    REALobject s = service<REALobject(REALobject, REALstring)>("RuntimeWindowControlByName")(w, name.get());
    EXPECT_EQ(s, ctl(*deck, "shuttle"));
    release(s);

    auto close = reinterpret_cast<void (*)(REALobject)>(load(w, "Close()"));
    ASSERT_NE(close, nullptr);
    close(w);
    EXPECT_TRUE(deck->closed());
}

TEST_F(WindowMembers, ControlsAnswerByKind) {
    auto getInt = service<RBBoolean(REALobject, const char *, int32_t *)>("REALGetPropValueInt");
    auto getStr = service<RBBoolean(REALobject, const char *, REALstring *)>("REALGetPropValueString");
    auto setBool = service<RBBoolean(REALobject, const char *, RBBoolean)>("REALSetPropValueBoolean");
    REALobject play = ctl(*deck, "play"), slider = ctl(*deck, "shuttle");
    EXPECT_TRUE(isA(play, "PushButton"));
    EXPECT_TRUE(isA(play, "RectControl"));
    EXPECT_TRUE(isA(slider, "Slider"));

    int32_t v = 0;
    ASSERT_TRUE(getInt(play, "Width", &v));
    EXPECT_EQ(v, 80);
    REALstring s = nullptr;
    ASSERT_TRUE(getStr(play, "Caption", &s));
    EXPECT_EQ(take(s), "Play");
    EXPECT_FALSE(getStr(slider, "Caption", &s));  // a slider has no caption
    EXPECT_FALSE(getInt(play, "Value", &v));
    EXPECT_TRUE(setBool(play, "Enabled", 0));
    EXPECT_FALSE(deck->play->enabled());

    // Selector getters and setters of controls.
    auto ctlPos = service<IntGet>("ctlPosGetter");
    service<IntSet>("ctlPosSetter")(play, 0, 44);
    EXPECT_EQ(deck->play->bounds().left, 44);
    EXPECT_EQ(ctlPos(play, 1), 20);
    EXPECT_EQ(service<BoolGet>("controlEnabledGetter")(play, 0), 0);
    service<BoolSet>("ControlVisibleSetter")(play, 0, 0);
    EXPECT_FALSE(deck->play->visible());
    String cap("Go");
    service<StrSet>("pushButtonTitleSetter")(play, 0, cap.get());
    EXPECT_EQ(deck->play->caption(), "Go");
    EXPECT_EQ(take(service<StrGet>("stringGetter")(play, 36)), "play");  // Name

    auto scroller = service<IntGet>("scrollerPropGetter");
    EXPECT_EQ(scroller(slider, 0), 0);
    EXPECT_EQ(scroller(slider, 1), 15);
    EXPECT_EQ(scroller(slider, 2), 30);
    service<IntSet>("scrollerPropSetter")(slider, 1, 99);  // kept within the range
    EXPECT_EQ(deck->control("shuttle")->value(), 30);
    EXPECT_EQ(scroller(play, 1), 0);  // a push button has no scroller value

    EXPECT_EQ(take(service<StrGet>("stringGetter")(ctl(*deck, "timecode"), 112)), "00:00:00:00");
    REALobject popup = ctl(*deck, "creator");
    EXPECT_EQ(service<IntGet>("RuntimeComboBoxCountGetter")(popup, 0), 2);
    service<IntSet>("RuntimeComboBoxSelectionSetter")(popup, 0, 1);
    EXPECT_EQ(take(service<StrGet>("RuntimeComboBoxTextGetter")(popup, 0)), "Preview");
    service<IntSet>("RuntimeComboBoxSelectionSetter")(popup, 0, 5);  // no such row: unchanged
    EXPECT_EQ(deck->control("creator")->listIndex(), 1);
    REALobject radio = ctl(*deck, "rs422");
    service<BoolSet>("radioValueSetter")(radio, 0, 1);
    EXPECT_EQ(deck->control("rs422")->value(), 1);
    EXPECT_EQ(take(service<StrGet>("radioTitleGetter")(radio, 0)), "RS-422");

    REALobject win = service<ObjGet>("controlWindowGetter")(play, 0);
    EXPECT_EQ(win, w);
    release(win);
}

TEST_F(WindowMembers, FocusServices) {
    auto get = service<RBBoolean(REALobject)>("REALGetControlFocus");
    auto set = service<void(REALobject, RBBoolean)>("REALSetControlFocus");
    REALobject prefix = ctl(*deck, "prefix"), count = ctl(*deck, "count");
    set(prefix, 1);
    EXPECT_EQ(get(prefix), 1);
    EXPECT_EQ(deck->focus(), deck->control("prefix"));
    set(count, 0);  // it has no focus to give up
    EXPECT_EQ(get(prefix), 1);
    set(prefix, 0);
    EXPECT_EQ(get(prefix), 0);
    EXPECT_EQ(deck->focus(), nullptr);
    EXPECT_EQ(get(nullptr), 0);
    set(nullptr, 1);
    set(w, 1);  // a window is not a control
    EXPECT_EQ(get(w), 0);
}

int gOwnCalls = 0;
REALobject gOwnSelf = nullptr;
extern "C" void ownAction(REALobject self) {
    ++gOwnCalls;
    gOwnSelf = self;
    gEvents.push_back("own Action");
}

TEST_F(WindowMembers, InstanceHandlersComeBeforeTheClassHandlers) {
    auto install = service<int32_t(REALobject, REALstring, void (*)())>("RuntimeInstallInstanceEventHandler");
    String action("action");  // event names are matched without regard to case
    REALobject play = ctl(*deck, "play");
    gOwnCalls = 0;
    EXPECT_EQ(install(play, action.get(), reinterpret_cast<void (*)()>(&ownAction)), 1);
    deck->play->push();
    EXPECT_EQ(gEvents, std::vector<std::string>{"own Action"});
    EXPECT_EQ(gOwnSelf, play);
    // Other controls keep their class handlers.
    bool other = false;
    deck->control("shuttle")->on("ValueChanged", [&] { other = true; });
    deck->control("shuttle")->setValue(3);
    EXPECT_TRUE(other);

    String resized("Resized");
    EXPECT_EQ(install(w, resized.get(), reinterpret_cast<void (*)()>(&ownAction)), 1);
    gEvents.clear();
    deck->setSize(410, 310);
    EXPECT_EQ(gEvents, std::vector<std::string>{"own Action"});

    EXPECT_EQ(install(nullptr, action.get(), reinterpret_cast<void (*)()>(&ownAction)), 0);
    EXPECT_EQ(install(play, nullptr, reinterpret_cast<void (*)()>(&ownAction)), 0);
    EXPECT_EQ(install(play, action.get(), nullptr), 0);
}

TEST_F(WindowMembers, ObjectsOutliveTheirWindowSafely) {
    REALobject play = ctl(*deck, "play");
    retain(w);
    retain(play);
    deck->close();
    deck.reset();
    collectClosedWindows();
    // The window and its controls are gone; their objects answer nothing.
    auto getInt = service<RBBoolean(REALobject, const char *, int32_t *)>("REALGetPropValueInt");
    int32_t v = 5;
    EXPECT_FALSE(getInt(w, "Left", &v));
    EXPECT_FALSE(getInt(play, "Left", &v));
    EXPECT_EQ(v, 5);
    EXPECT_EQ(service<IntGet>("windowPosGetter")(w, 0), 0);
    EXPECT_EQ(service<IntGet>("ctlPosGetter")(play, 0), 0);
    service<IntSet>("ctlPosSetter")(play, 0, 3);
    service<void(REALobject)>("RuntimeShowWindow")(w);
    service<void(REALobject)>("RuntimeCloseWindow")(w);
    EXPECT_EQ(service<REALobject(REALobject, int32_t)>("windowControl")(w, 0), nullptr);
    release(play);
    release(w);
    deck = newWindow<Deck>();  // for TearDown
}

TEST(SelectorServices, NilAndForeignObjectsMiss) {
    EXPECT_EQ(service<IntGet>("windowPosGetter")(nullptr, 0), 0);
    EXPECT_EQ(service<StrGet>("stringGetter")(nullptr, 36), nullptr);
    service<IntSet>("intSetter")(nullptr, 40, 1);
    ObjRef mb = make("MemoryBlock");
    EXPECT_EQ(service<IntGet>("windowPosGetter")(mb.get(), 0), 0);  // not a window
    EXPECT_EQ(service<IntGet>("intGetter")(mb.get(), 28), 0);       // not a timer
    service<IntSet>("ctlPosSetter")(mb.get(), 0, 5);
    EXPECT_EQ(service<ObjGet>("controlWindowGetter")(mb.get(), 0), nullptr);
}

}  // namespace
