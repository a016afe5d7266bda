// The event-handler installers in a host of the tests' own: every installer
// of every class hands the held object, its event name exactly as the host
// expects it, and the caller's function to the host's installer, and gives
// back the host's answer.
#include "wrappers/wrappers.h"

#include "fake_host.h"

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

// Host strings of this host: pointers to texts the test keeps.
std::vector<std::unique_ptr<std::string>> gStrings;
int gReleased = 0;
REALstring buildString(const char *bytes, int length) {
    gStrings.push_back(std::make_unique<std::string>(bytes, size_t(length)));
    return reinterpret_cast<REALstring>(gStrings.back().get());
}
void unlockString(REALstring) { ++gReleased; }

struct Install {
    void *object;
    std::string event;
    REALproc callback;
};
std::vector<Install> gInstalls;
int32_t gAnswer = 1;
int32_t recordInstall(REALobject o, REALstring name, REALproc fn) {
    gInstalls.push_back({o, name ? *reinterpret_cast<std::string *>(name) : "<nil>", fn});
    return gAnswer;
}

template <class C>
concept InstallsClose = requires(C c) {
    c.close_handler(nullptr);
};
template <class C>
concept InstallsError = requires(C c) {
    c.error_handler(nullptr);
};

void callbackA() {}
void callbackB() {}

// A wrapper of class C over `p`, whichever pointer type C is built from.
template <class C> C over(void *p) {
    if constexpr (std::is_constructible_v<C, REALobjectStruct *>) return C(static_cast<REALobjectStruct *>(p));
    else return C(static_cast<REALwindowStruct *>(p));
}

class Installers : public ::testing::Test {
protected:
    void SetUp() override {
        fakehost::install();
        fakehost::offer("REALBuildString", &buildString);
        fakehost::offer("REALUnlockString", &unlockString);
        fakehost::offer("RuntimeInstallInstanceEventHandler", &recordInstall);
        gInstalls.clear();
        gStrings.clear();
        gReleased = 0;
        gAnswer = 1;
    }
    int object = 0;  // stands for a host object; never dereferenced
};

// One row: the installer hands exactly one installation to the host.
template <class C, class M> void expectRow(void *held, M member, const char *event, const char *where) {
    SCOPED_TRACE(where);
    gInstalls.clear();
    gAnswer = 7;
    EXPECT_EQ((over<C>(held).*member)(&callbackA), 7);
    ASSERT_EQ(gInstalls.size(), 1u);
    EXPECT_EQ(gInstalls[0].object, held);
    EXPECT_EQ(gInstalls[0].event, event);
    EXPECT_EQ(gInstalls[0].callback, &callbackA);
}

// The member an event's installer is named by: the name in lower case and
// "_handler", but for the thread's and the indexed menu action's.
std::string memberFor(const std::string &event) {
    if (event == "Run") return "runhandler";
    if (event == "Action(index as integer") return "actionindex_handler";
    std::string m;
    for (char ch : event) m += char(std::tolower(static_cast<unsigned char>(ch)));
    return m + "_handler";
}

}  // namespace

TEST_F(Installers, EveryInstallerPassesItsObjectEventAndFunction) {
    int rows = 0;
#define ROW(C, name, event)                                \
    expectRow<C>(&object, &C::name, event, #C "::" #name); \
    EXPECT_EQ(#name, memberFor(event)) << #C;              \
    ++rows;
#define CLASS(C) HW_EVENTS_##C(ROW, C)
    HW_EVENT_CLASSES(CLASS)
#undef CLASS
#undef ROW
    EXPECT_EQ(rows, 125);
    EXPECT_EQ(gReleased, 0);  // no event name is ever released
}

TEST_F(Installers, OddNamesGoAsTheHostKnowsThem) {
    expectRow<XCanvas>(&object, &XCanvas::lostfocus_handler, "Lostfocus", "canvas");
    expectRow<XSlider>(&object, &XSlider::lostfocus_handler, "LostFocus", "slider");
    expectRow<XMenuItem>(&object, &XMenuItem::actionindex_handler, "Action(index as integer", "menu item");
    expectRow<XThread>(&object, &XThread::runhandler, "Run", "thread");
}

TEST_F(Installers, DerivedClassesInstallTheirBasesEvents) {
    // A tab panel: its own, the page panel's, the rect control's and the control's.
    expectRow<XTabPanel>(&object, &XTabPanel::gotfocus_handler, "GotFocus", "own");
    expectRow<XTabPanel>(&object, &XTabPanel::change_handler, "Change", "page panel");
    expectRow<XTabPanel>(&object, &XTabPanel::mousewheel_handler, "MouseWheel", "rect control");
    expectRow<XTabPanel>(&object, &XTabPanel::open_handler, "Open", "control");
    expectRow<XEditField>(&object, &XEditField::dragover_handler, "DragOver", "edit field");
    expectRow<XComboBox>(&object, &XComboBox::change_handler, "Change", "combo box");
    expectRow<XEmbeddableWindow>(&object, &XEmbeddableWindow::paint_handler, "Paint", "embeddable window");
    expectRow<XContainerControl>(&object, &XContainerControl::resized_handler, "Resized", "container");
    expectRow<XEmbeddedWindowControl>(&object, &XEmbeddedWindowControl::lostfocus_handler, "Lostfocus", "embedded");
    expectRow<XMenuBar>(&object, &XMenuBar::actionindex_handler, "Action(index as integer", "menu bar");
    expectRow<XContextualMenu>(&object, &XContextualMenu::close_handler, "Close", "contextual menu");
    // Classes that stand alone have only their own.
    static_assert(!InstallsClose<XPushButton> && InstallsClose<XRadioButton>);
    static_assert(!InstallsError<XTCPSocket> && InstallsError<XSocketCore>);
}

TEST_F(Installers, EachCallBuildsANewNameAndTheGeneralFormKeepsTheCallers) {
    XPushButton button(reinterpret_cast<REALobjectStruct *>(&object));
    button.action_handler(&callbackA);
    button.action_handler(&callbackB);
    ASSERT_EQ(gInstalls.size(), 2u);
    EXPECT_EQ(gInstalls[1].callback, &callbackB);
    EXPECT_EQ(gStrings.size(), 2u);  // a new name each time, both left with the host

    X any(reinterpret_cast<REALobjectStruct *>(&object));
    REALstring mine = buildString("ValueChanged", 12);
    gAnswer = 1;
    EXPECT_EQ(any.InstallEventHandler(mine, &callbackA), 1);
    EXPECT_EQ(gInstalls.back().event, "ValueChanged");
    EXPECT_EQ(gStrings.size(), 3u);
    EXPECT_EQ(gReleased, 0);
}

TEST_F(Installers, TheHostsRefusalIsTheAnswer) {
    gAnswer = 0;
    XTimer nil;
    EXPECT_EQ(nil.action_handler(&callbackA), 0);
    ASSERT_EQ(gInstalls.size(), 1u);
    EXPECT_EQ(gInstalls[0].object, nullptr);
}
