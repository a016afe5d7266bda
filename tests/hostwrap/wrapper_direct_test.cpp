// Wrapper members in a host of the tests' own: properties read and written
// by name, methods called by declaration with one cached entry per member,
// the type probes, XCursor's system object, and a sample of forwarding rows.
#include "wrappers/wrappers.h"

#include "fake_host.h"
#include "isolated.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

REALobject objectAt(uintptr_t address) { return reinterpret_cast<REALobject>(address); }
REALwindow windowAt(uintptr_t address) { return reinterpret_cast<REALwindow>(address); }
REALstring stringAt(uintptr_t address) { return reinterpret_cast<REALstring>(address); }

std::vector<std::string> gCalls;
std::vector<REALobject> gReleased;
void unlockObject(REALobject o) { gReleased.push_back(o); }

class Direct : public ::testing::Test {
protected:
    void SetUp() override {
        fakehost::install();
        fakehost::offer("REALUnlockObject", &unlockObject);
        gCalls.clear();
        gReleased.clear();
    }
};

// A property the host lacks reads as 0, whatever the last read left behind.
TEST_F(Direct, PropertyGettersReadZeroWhenTheHostLacksTheProperty) {
    XBevelButton bevel(objectAt(0x100));
    XPlacard placard(objectAt(0x100));
    XPopupArrow arrow(objectAt(0x100));
    XCanvas canvas(objectAt(0x100));
    fakehost::setProperty<int32_t>("Bevel", 77);
    fakehost::setProperty<uint8_t>("Value", 9);
    fakehost::setProperty<uint8_t>("Facing", 3);
    fakehost::setProperty<uint8_t>("EraseBackground", 1);
    fakehost::setProperty<REALstring>("Caption", stringAt(0x500));
    EXPECT_EQ(bevel.bevel(), 77);
    EXPECT_EQ(placard.value(), 9);
    EXPECT_EQ(arrow.facing(), 3);
    EXPECT_EQ(canvas.erasebackground(), 1);
    EXPECT_EQ(bevel.caption(), stringAt(0x500));
    fakehost::properties.clear();
    EXPECT_EQ(bevel.bevel(), 0);
    EXPECT_EQ(placard.value(), 0);
    EXPECT_EQ(placard.enabled(), 0);
    EXPECT_EQ(arrow.facing(), 0);
    EXPECT_EQ(canvas.erasebackground(), 0);
    EXPECT_EQ(bevel.caption(), nullptr);
    EXPECT_EQ(bevel.textsize(), 0);
    XContainerControl container(windowAt(0x200));
    XEmbeddableWindow embeddable(windowAt(0x200));
    EXPECT_EQ(container.panelindex(), 0);
    EXPECT_EQ(container.parent(), nullptr);
    EXPECT_EQ(embeddable.embeddedwindowcontrol(), nullptr);
}

TEST_F(Direct, PropertiesByTheirOwnNamesAndWidths) {
    XBevelButton b(objectAt(0x100));
    fakehost::setProperty<int32_t>("Italic", 0x1FF);  // read as 32 bits, the low 8 returned
    EXPECT_EQ(b.italic(), 0xFF);
    fakehost::setProperty<uint8_t>("Bold", 1);
    EXPECT_EQ(b.bold(), 1);
    EXPECT_EQ(b.underline(1), 0);  // not there: the service's answer
    fakehost::setProperty<uint8_t>("UnderLine", 0);
    EXPECT_EQ(b.underline(1), 1);
    EXPECT_EQ(fakehost::properties["UnderLine"].written, 1u);
    EXPECT_EQ(b.menuvalue(5), 0);

    XContainerControl c(windowAt(0x200));
    fakehost::setProperty<int32_t>("TabPanelIndex", 4);
    fakehost::setProperty<REALobject>("Window", objectAt(0x300));
    EXPECT_EQ(c.panelindex(), 4);
    EXPECT_EQ(c.window(), objectAt(0x300));
    EXPECT_EQ(c.panelindex(6), 1);
    EXPECT_EQ(fakehost::properties["TabPanelIndex"].written, 6u);
    fakehost::setProperty<REALobject>("_Control", objectAt(0x400));
    EXPECT_EQ(XEmbeddableWindow(windowAt(0x200)).embeddedwindowcontrol(), objectAt(0x400));
}

int32_t addRow(REALobject self, REALstring text) {
    gCalls.push_back("AddRow " + std::to_string(uintptr_t(self)) + " " + std::to_string(uintptr_t(text)));
    return 7;
}
REALstring listRow(REALobject, int32_t row) { return stringAt(0x1000 + uintptr_t(row)); }
int32_t embedFails(REALobject, REALobject) { return 0; }
int32_t embedInWindow(REALobject, REALwindow w, int32_t l, int32_t t, int32_t wd, int32_t h) {
    return int32_t(uintptr_t(w)) + l + t + wd + h;
}

TEST_F(Direct, MethodsByDeclarationKeepTheirEntryOnceFound) {
    inChild([] {
        fakehost::install();
        XBevelButton a(objectAt(0x100)), b(objectAt(0x101));
        EXPECT_EQ(a.addrow(stringAt(0x9)), 0);  // not there yet: 0, and asked again next time
        fakehost::methods["AddRow(Text as String)"] = reinterpret_cast<void *>(&addRow);
        EXPECT_EQ(a.addrow(stringAt(0x9)), 7);
        fakehost::methods.clear();
        EXPECT_EQ(b.addrow(stringAt(0xA)), 7);  // the other button uses the entry found on the first
        ASSERT_EQ(gCalls.size(), 2u);
        EXPECT_EQ(gCalls[1], "AddRow 257 10");
        fakehost::methods["List(row as Integer) as String"] = reinterpret_cast<void *>(&listRow);
        EXPECT_EQ(a.list(3), stringAt(0x1003));
        EXPECT_EQ(a.removerow(1), 0);

        fakehost::methods["EmbedWithin(control as RectControl)"] = reinterpret_cast<void *>(&embedFails);
        fakehost::methods["EmbedWithin(control as control)"] = reinterpret_cast<void *>(&embedFails);
        EXPECT_EQ(XEmbeddableWindow(windowAt(0x200)).embedwithincontrol(objectAt(0x300)), 1);
        EXPECT_EQ(XContainerControl(windowAt(0x200)).embedwithin(objectAt(0x300)), 0);
        EXPECT_EQ(XEmbeddableWindow(windowAt(0x200)).embedwithinpanel(objectAt(0x300), 1, 2, 3, 4, 5), 0);
        fakehost::methods
            ["EmbedWithin(window as Window, left as Integer, top as Integer, width as Integer, "
             "height as Integer)"] = reinterpret_cast<void *>(&embedInWindow);
        EXPECT_EQ(XContainerControl(windowAt(0x200)).embedwithin(windowAt(0x10), 1, 2, 3, 4), 0x10 + 10);
        EXPECT_EQ(XEmbeddableWindow(windowAt(0x200)).embedwithinwindow(windowAt(0x10), 1, 2, 3, 4), 1);
    });
}

void hide(REALobject) {}

TEST_F(Direct, TypeProbesAskTheHostEveryTime) {
    XWindow w(windowAt(0x200));
    XControl control(objectAt(0x100));
    XPagePanel panel(objectAt(0x100));
    XCanvas canvas(objectAt(0x100));
    EXPECT_EQ(w.iswindow(), 0);
    EXPECT_EQ(panel.istabpanel(), 0);
    EXPECT_EQ(canvas.iscanvas(), 0);
    fakehost::methods["Hide()"] = reinterpret_cast<void *>(&hide);
    fakehost::methods["Caption(Index As Integer) As String"] = reinterpret_cast<void *>(&hide);
    fakehost::methods
        ["Scroll(dx As Integer, dy As Integer, x As Integer, y As Integer, width As Integer, "
         "height As Integer, moveControls As Boolean)"] = reinterpret_cast<void *>(&hide);
    EXPECT_EQ(w.iswindow(), 1);
    EXPECT_EQ(panel.istabpanel(), 1);
    EXPECT_EQ(canvas.iscanvas(), 1);
    fakehost::methods.clear();
    EXPECT_EQ(w.iswindow(), 0);

    EXPECT_EQ(panel.ispanel(), 0);
    fakehost::setProperty<int32_t>("PanelCount", 0);  // found, whatever its value
    EXPECT_EQ(panel.ispanel(), 1);
    fakehost::setProperty<uint8_t>("TabPanelIndex", 1);
    EXPECT_EQ(control.hastabpanelindex(), 0);  // the probe spells it "TabpanelIndex"
    fakehost::setProperty<uint8_t>("TabpanelIndex", 0);
    EXPECT_EQ(control.hastabpanelindex(), 1);
}

REALobject systemObject() { return objectAt(0x700); }

TEST_F(Direct, CursorHoldsTheCursorsAndReleasesTheSystemObject) {
    fakehost::offer("getSystemObject", &systemObject);
    fakehost::setProperty<REALobject>("Cursors", objectAt(0x800));
    XCursor c;
    EXPECT_EQ(static_cast<REALobjectStruct *>(c), objectAt(0x800));
    ASSERT_EQ(gReleased.size(), 1u);
    EXPECT_EQ(gReleased[0], objectAt(0x700));
}

// Forwarding rows: the held object first, then the arguments; static members
// pass no object; 16-bit reads declared short are sign-extended.
int32_t ushortAt(REALmemoryBlock, int32_t) { return 0xFFFF; }
int32_t shortAt(REALmemoryBlock, int32_t) { return 0xFFFF; }
int32_t dictionaryCount(REALobject self, int32_t selector) { return int32_t(uintptr_t(self)) + selector; }
int32_t ticks() { return 1234; }
void periodSetter(REALobject self, int32_t selector, int32_t value) {
    gCalls.push_back(std::to_string(uintptr_t(self)) + " " + std::to_string(selector) + " " + std::to_string(value));
}

TEST_F(Direct, ForwardingMembersPassTheHeldObjectFirst) {
    inChild([] {
        fakehost::install();
        fakehost::offer("memoryGetUShort", &ushortAt);
        fakehost::offer("memoryGetShort", &shortAt);
        fakehost::offer("dictionaryCount", &dictionaryCount);
        fakehost::offer("RuntimeTicks", &ticks);
        fakehost::offer("timerPeriodSetter", &periodSetter);
        XMemoryBlock m(reinterpret_cast<REALmemoryBlock>(0x100));
        EXPECT_EQ(m.ushort(0), -1);
        EXPECT_EQ(m.sshort(0), -1);
        EXPECT_EQ(XDictionary(objectAt(0x100)).count(), 0x100);
        EXPECT_EQ(X::ticks(), 1234);
        XTimer(objectAt(0x42)).period(250);
        ASSERT_EQ(gCalls.size(), 1u);
        EXPECT_EQ(gCalls[0], "66 32 250");

        fakehost::setProperty<int32_t>("Left", 12);
        XWindow w(windowAt(0x200));
        EXPECT_EQ(w.left(), 12);
        w.left(30);
        EXPECT_EQ(fakehost::properties["Left"].written, 30u);
        XContainerControl c(windowAt(0x200));
        EXPECT_EQ(c.left(), 12);  // the base class members reach the same window
    });
}

}  // namespace
