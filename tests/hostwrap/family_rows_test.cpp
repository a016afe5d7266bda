// The rows of the family tables that differ from their order's template,
// each checked on its own in a host of the tests' own. Each test runs in a
// child process so that every accessor starts with an empty slot.
#include "accessors.h"
#include "fake_host.h"
#include "isolated.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using fakehost::count;
using fakehost::offer;

namespace {

REALobject object(uintptr_t n) { return reinterpret_cast<REALobject>(n); }

std::vector<int64_t> gCall;  // the last call's arguments
int gCalls = 0;

extern "C" int32_t one(REALobject) { return ++gCalls, 1; }
extern "C" int32_t two(REALobject) { return ++gCalls, 2; }
extern "C" int32_t sel(REALobject, int32_t k) { return ++gCalls, 100 + k; }
extern "C" void sel2(REALobject, int32_t k, int32_t v) { ++gCalls, gCall = {k, v}; }
extern "C" int32_t word(REALmemoryBlock, int32_t) { return 0x1FFFF; }
extern "C" int32_t never(REALobject) { std::abort(); }
extern "C" void proc(REALobject) { ++gCalls; }
extern "C" REALstring text(REALobject, int32_t k) { return reinterpret_cast<REALstring>(uintptr_t(0x7000 + k)); }

class FamilyRows : public ::testing::Test {
protected:
    void SetUp() override {
        fakehost::install();
        gCall.clear();
        gCalls = 0;
    }
};

}  // namespace

TEST_F(FamilyRows, TabPanelIsATabPanelAsksEveryCallAndNeverCalls) {
    inChild([] {
        offer("tabPanelCaptionSetter", &never);
        EXPECT_EQ(TabPanel_IsATabPanel(object(1)), 1);
        EXPECT_EQ(TabPanel_IsATabPanel(nullptr), 1);  // the object is not used
        fakehost::services.clear();
        EXPECT_EQ(TabPanel_IsATabPanel(object(1)), 0);  // no cache
        EXPECT_EQ(fakehost::asked.size(), 3u);
    });
}

TEST_F(FamilyRows, RowsSharingAResolverNameKeepTheirOwnSlots) {
    inChild([] {
        offer("checkBoxValueGetter", &one);
        EXPECT_EQ(CheckBox_GetState(object(1)), 1);
        offer("checkBoxValueGetter", &two);
        EXPECT_EQ(CheckBox_GetValue(object(1)), 2);
        EXPECT_EQ(CheckBox_GetState(object(1)), 1);
        offer("editScrollBarGetter", &one);
        EXPECT_EQ(EditField_GetScrollBar(object(1)), 1);
        offer("editScrollBarGetter", &two);
        EXPECT_EQ(EditField_GetScrollBarVertical(object(1)), 2);
        EXPECT_EQ(EditField_GetScrollBar(object(1)), 1);
    });
}

TEST_F(FamilyRows, PopupAndComboTextShareANameNotASlot) {
    inChild([] {
        offer("RuntimeComboBoxTextGetter", &text);
        REALstring popup = PopupMenu_GetText(object(1));
        fakehost::services.clear();
        EXPECT_EQ(ComboBox_GetText(object(1)), nullptr);  // its own slot, still empty
        EXPECT_EQ(PopupMenu_GetText(object(1)), popup);   // kept
    });
}

TEST_F(FamilyRows, FacingIsTheLowByteOfTheIntegerGetter) {
    inChild([] {
        offer(
            "intGetter", +[](REALobject, int32_t k) -> int32_t { return k == 132 ? 0x101 : -1; });
        EXPECT_EQ(TabPanel_FacingGetter(object(1)), 1);
    });
}

TEST_F(FamilyRows, EntryTracesOnEveryCallHitOrMiss) {
    inChild([] {
        Scrollbar_CreatePane(object(1));
        Scrollbar__Exit(object(1));
        ProgressBar_CreatePane(object(1));
        EXPECT_EQ(fakehost::log,
                  (std::vector<std::string>{"in Scrollbar_CreatePane", "_fp Address->(0)", "in Scrollbar__Exit",
                                            "_fp Address->(0)", "in ProgressBar_CreatePane", "_fp Address->(0)"}));
        offer("ScrollBarCreatePane", &proc);
        fakehost::log.clear();
        Scrollbar_CreatePane(object(1));
        EXPECT_EQ(gCalls, 1);
        ASSERT_EQ(fakehost::log.size(), 2u);
        EXPECT_EQ(fakehost::log[0], "in Scrollbar_CreatePane");
    });
}

TEST_F(FamilyRows, StaticTextTextIsTheCaptionWithItsSlot) {
    inChild([] {
        offer("stringGetter", &text);
        EXPECT_EQ(StaticText_GetCaption(object(1)), reinterpret_cast<REALstring>(uintptr_t(0x7000 + 112)));
        fakehost::services.clear();
        EXPECT_EQ(StaticText_GetText(object(1)), reinterpret_cast<REALstring>(uintptr_t(0x7000 + 112)));
        offer(
            "staticCaptionSetter", +[](REALobject, int32_t k, REALstring s) {
                gCall = {k, int64_t(reinterpret_cast<uintptr_t>(s))};
            });
        StaticText_SetText(object(1), reinterpret_cast<REALstring>(uintptr_t(0x55)));
        EXPECT_EQ(gCall, (std::vector<int64_t>{112, 0x55}));
    });
}

TEST_F(FamilyRows, MemoryBlockMissesAndWidths) {
    inChild([] {
        auto block = reinterpret_cast<REALmemoryBlock>(uintptr_t(0x10));
        EXPECT_EQ(MemoryBlock_GetSize(block), -50);
        EXPECT_EQ(MemoryBlock_Compare(block, block), -50);
        offer("memoryGetShort", &word);
        offer("memoryGetUShort", &word);
        EXPECT_EQ(MemoryBlock_GetShort(block, 0), -1);
        EXPECT_EQ(MemoryBlock_GetUShort(block, 0), 65535);
        static float seen = 0;
        offer(
            "memorySetSingle", +[](REALmemoryBlock, int32_t, float v) { seen = v; });
        MemoryBlock_SetSingleValue(block, 4, 2.5f);
        EXPECT_EQ(seen, 2.5f);
        offer(
            "memoryGetSingle", +[](REALmemoryBlock, int32_t) { return 1.25; });
        EXPECT_EQ(MemoryBlock_GetSingleValue(block, 4), 1.25);
    });
}

TEST_F(FamilyRows, VariantGettersFallBackOnTheirConversions) {
    inChild([] {
        int32_t (*toInt)(REALobject) = [](REALobject) -> int32_t { return 9; };
        uint32_t (*toColor)(REALobject) = [](REALobject) -> uint32_t { return 0xFF00FF; };
        fakehost::methods["IntegerValue() As Integer"] = reinterpret_cast<void *>(toInt);
        fakehost::methods["ColorValue() As Color"] = reinterpret_cast<void *>(toColor);
        EXPECT_EQ(Variant_GetInteger(object(1)), 9);
        EXPECT_EQ(fakehost::log, std::vector<std::string>{"DYNAMIC ACCESS FAILURE: Variant_GetInteger"});
        fakehost::log.clear();
        EXPECT_EQ(Variant_GetColor(object(1)), 0xFF00FFu);
        EXPECT_TRUE(fakehost::log.empty());  // the colour logs nothing
        fakehost::setProperty<int32_t>("IntegerValue", 4);
        EXPECT_EQ(Variant_GetInteger(object(1)), 4);
        // The colour setter answers whether the host took it.
        EXPECT_EQ(Variant_SetColor(object(1), 5), 0);
        fakehost::setProperty<int32_t>("ColorValue", 0);
        EXPECT_EQ(Variant_SetColor(object(1), 5), 1);
        EXPECT_TRUE(fakehost::log.empty() || fakehost::log.size() == 1);
    });
}

TEST_F(FamilyRows, NewVariantsGoThroughTheHostsVariantMakers) {
    inChild([] {
        offer(
            "Int32ToVariant", +[](int32_t v) { return object(uintptr_t(0x100 + v)); });
        offer(
            "BooleanToVariant", +[](RBBoolean v) { return object(uintptr_t(0x200 + v)); });
        EXPECT_EQ(Variant_IntToNewVariant(7), object(0x107));
        EXPECT_EQ(Variant_BooleanToNewVariant(1), object(0x201));
        EXPECT_EQ(Variant_StringToNewVariant(nullptr), nullptr);  // no maker: nil
    });
}

TEST_F(FamilyRows, CursorsAreProperties) {
    inChild([] {
        EXPECT_EQ(MouseCursor_IBeam(object(1)), nullptr);
        EXPECT_EQ(fakehost::log, std::vector<std::string>{"RESOLVER AND DYNAMIC ACCESS FAILURE: MouseCursor_IBeam"});
        EXPECT_TRUE(fakehost::asked.empty());  // no resolver
    });
}

TEST_F(FamilyRows, SocketRows) {
    inChild([] {
        EXPECT_EQ(SocketCore_GetPort(object(1)), -1);
        static std::vector<int64_t> args;
        offer(
            "socketLastErrorCode", +[](REALobject o, int32_t k) -> int32_t {
                args = {int64_t(reinterpret_cast<uintptr_t>(o)), k};
                return 3;
            });
        EXPECT_EQ(SocketCore_LastErrorCode(object(8)), 3);
        EXPECT_EQ(args, (std::vector<int64_t>{8, 0}));  // the object and 0
        EXPECT_EQ(TCPSocket_ReadError(object(9)), 3);   // the object alone reaches the same function
        EXPECT_EQ(args[0], 9);
    });
}

TEST_F(FamilyRows, QuitTracesTheFunctionItFound) {
    inChild([] {
        Quit(0);
        EXPECT_TRUE(fakehost::log.empty());  // nothing found, nothing said
        static int32_t code = -1;
        offer(
            "RB_ApplicationQuit", +[](int32_t c) { code = c; });
        Quit(3);
        EXPECT_EQ(code, 3);
        ASSERT_EQ(fakehost::log.size(), 1u);
        EXPECT_EQ(fakehost::log[0].rfind("_quit Refcount->(", 0), 0u);
    });
}

TEST_F(FamilyRows, DoEventsPassesTheApplicationOrNilAndMinusOne) {
    inChild([] {
        static std::vector<int64_t> args;
        offer(
            "RuntimeDoEvents", +[](REALobject app, int32_t n) {
                args = {int64_t(reinterpret_cast<uintptr_t>(app)), n};
            });
        DoEvents();
        EXPECT_EQ(args, (std::vector<int64_t>{0, -1}));
        EXPECT_EQ(count("doEvents"), 1);
        offer(
            "getAppObject", +[]() { return object(0x44); });
        DoEvents();
        EXPECT_EQ(args, (std::vector<int64_t>{0x44, -1}));
    });
}

TEST_F(FamilyRows, RuntimeMissResultsAndSwap) {
    inChild([] {
        EXPECT_EQ(Runtime_Ticks(), -1);
        EXPECT_EQ(Font_FontCount(), -1);
        EXPECT_EQ(Runtime_StartParamScript(0), -1);
        fakehost::log.clear();
        REALobject self = object(1), me = object(2);
        Runtime_SwapSelfAndMe(&self, &me);
        Runtime_SwapSelfAndMe(&self, &me);
        EXPECT_EQ(count("RESOLVER ACCESS FAILURE: Runtime_SwapSelfAndMe"), 2);
    });
}

TEST_F(FamilyRows, FolderItemNilRowsAndTheVolume) {
    inChild([] {
        offer("fileCountGetter", &never);
        EXPECT_EQ(FolderItem_Count(nullptr), 0);
        EXPECT_EQ(FolderItem_Exists(nullptr), 0);
        EXPECT_EQ(FolderItem_Parent(nullptr), nullptr);
        EXPECT_EQ(FolderItem_Child(nullptr, nullptr), nullptr);
        EXPECT_EQ(FolderItem_Item(nullptr, 1), nullptr);
        EXPECT_TRUE(fakehost::asked.empty());
        // The volume: the address line on every call, the property silently.
        auto item = reinterpret_cast<REALfolderItem>(uintptr_t(0x20));
        fakehost::setProperty<REALobject>("VirtualVolume", object(0x30));
        EXPECT_EQ(FolderItem_VirtualVolume(item), object(0x30));
        EXPECT_EQ(FolderItem_VirtualVolume(item), object(0x30));
        EXPECT_EQ(fakehost::log,
                  (std::vector<std::string>{"_VirtualVolume Address->(0)", "_VirtualVolume Address->(0)"}));
    });
}

TEST_F(FamilyRows, BinaryStreamReadPassesAnExtraZero) {
    inChild([] {
        static std::vector<int64_t> args;
        offer(
            "BinaryStreamRead", +[](REALobject, int32_t n, int32_t z) -> REALstring {
                args = {n, z};
                return nullptr;
            });
        BinaryStream_Read(object(1), 10);
        EXPECT_EQ(args, (std::vector<int64_t>{10, 0}));
    });
}

TEST_F(FamilyRows, EmbedWithinReturnsOneAfterTheCall) {
    inChild([] {
        EXPECT_EQ(
            EmbeddableWindow_EmbedWithinWindow(object(1), reinterpret_cast<REALwindow>(uintptr_t(2)), 0, 0, 10, 10), 0);
        offer(
            "_EmbedWithinWindow", +[](REALobject, REALwindow, int32_t, int32_t, int32_t, int32_t) { ++gCalls; });
        EXPECT_EQ(
            EmbeddableWindow_EmbedWithinWindow(object(1), reinterpret_cast<REALwindow>(uintptr_t(2)), 0, 0, 10, 10), 1);
        EXPECT_EQ(gCalls, 1);
    });
}

TEST_F(FamilyRows, WindowLeftWithThePropertyTheGetterOrNeither) {
    inChild([] {
        auto w = reinterpret_cast<REALwindow>(uintptr_t(0x40));
        fakehost::setProperty<int32_t>("Left", 12);
        offer("windowPosGetter", &sel);
        EXPECT_EQ(Window_GetLeft(w), 12);
        EXPECT_EQ(gCalls, 0);
        fakehost::properties.clear();
        EXPECT_EQ(Window_GetLeft(w), 100);  // selector 0
        EXPECT_EQ(Window_GetLeft(w), 100);
        EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: Window_GetLeft"), 2);
    });
    inChild([] {
        auto w = reinterpret_cast<REALwindow>(uintptr_t(0x40));
        EXPECT_EQ(Window_GetLeft(w), 0);
        Window_SetLeft(w, 3);
        EXPECT_EQ(count("RESOLVER AND DYNAMIC ACCESS FAILURE: Window_GetLeft"), 1);
        EXPECT_EQ(count("RESOLVER AND DYNAMIC ACCESS FAILURE: Window_SetLeft"), 1);
    });
}

TEST_F(FamilyRows, WindowHideReusesTheFirstWindowsMethod) {
    inChild([] {
        fakehost::methods["Hide()"] = reinterpret_cast<void *>(&proc);
        Window_Hide(reinterpret_cast<REALwindow>(uintptr_t(0x40)));
        fakehost::methods.clear();  // another window's class would not have it
        Window_Hide(reinterpret_cast<REALwindow>(uintptr_t(0x50)));
        EXPECT_EQ(gCalls, 2);
        EXPECT_TRUE(fakehost::log.empty());
    });
}

TEST_F(FamilyRows, CompositeAndGrowIconTraceOnlyWithoutTheProperty) {
    inChild([] {
        auto w = reinterpret_cast<REALwindow>(uintptr_t(0x40));
        fakehost::setProperty<uint8_t>("Composite", 0);
        fakehost::setProperty<uint8_t>("GrowIcon", 0);
        Window_SetComposite(w, 1);
        Window_SetGrowIcon(w, 1);
        EXPECT_TRUE(fakehost::log.empty());
        fakehost::properties.clear();
        Window_SetComposite(w, 1);
        EXPECT_EQ(count("in Window_SetComposite"), 1);
    });
}

TEST_F(FamilyRows, ControlRowsOfTheRectControlAndMenus) {
    inChild([] {
        // "ControlVisibleSetter" with its capital C.
        offer("ControlVisibleSetter", &sel2);
        RectControl_SetVisible(object(1), 1);
        EXPECT_EQ(gCall, (std::vector<int64_t>{0, 1}));
        RectControl_AddMenuHandler(object(1), nullptr, nullptr);
        EXPECT_EQ(count("RESOLVER AND DYNAMIC ACCESS FAILURE: RectControl_AddMenuHandler"), 1);
        MenuItem_Remove(object(1), 2);
        MenuItem_Remove(object(1), object(3));
        EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: MenuItem_Remove by Index"), 1);
        EXPECT_EQ(count("RESOLVER AND DYNAMIC ACCESS FAILURE: MenuItem_Remove by Item"), 1);
        EXPECT_EQ(MenuItem_IndexGetter(object(1)), -1);
        fakehost::log.clear();
        EXPECT_EQ(graphics_Handle(reinterpret_cast<REALgraphics>(uintptr_t(4)), 1), 0);
        EXPECT_TRUE(fakehost::log.empty());
        EXPECT_EQ(DragItem_TextAvailable(object(1)), 0);
        EXPECT_EQ(fakehost::log, std::vector<std::string>{"DYNAMIC ACCESS FAILURE: DragItem_TextAvailable"});
    });
}

TEST_F(FamilyRows, SecondPropertiesAndObjectSelectors) {
    inChild([] {
        EXPECT_EQ(MenuItem_CommandKeyGetter(object(1)), nullptr);
        EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: MenuItem_CommandKeyGetter"), 2);  // each property
        offer(
            "objGetter", +[](REALobject, int32_t k) { return object(uintptr_t(k)); });
        EXPECT_EQ(DragItem_Destination(object(1)), object(84));  // "objGetter" with 84
        EXPECT_EQ(DragItem_GetMouseCursor(object(1)), object(24));
    });
}
