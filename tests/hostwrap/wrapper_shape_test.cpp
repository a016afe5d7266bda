// What every wrapper class is: one word, no virtual functions, a plain value
// whose copy is its pointer; getters and setters as overloads of one name;
// and XColor's arithmetic.
#include "wrappers/wrappers.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace {

template <class... C> constexpr bool allOneWord() { return ((sizeof(C) == sizeof(void *)) && ...); }
template <class... C> constexpr bool noneVirtual() { return (!std::is_polymorphic_v<C> && ...); }
template <class... C> constexpr bool allPlainValues() {
    return (std::is_trivially_copyable_v<C> && ...) && (std::is_trivially_destructible_v<C> && ...);
}

#define HW_ALL_WRAPPERS                                                                                             \
    X, XMemoryBlock, XMemoryStream, XColor, XCursor, XDictionary, XDragItem, XVariant, XApplication, XFolderItem,   \
        XBinaryStream, XVirtualVolume, XGraphics, XPicture, XRGBSurface, XThread, XSemaphore, XCriticalSection,     \
        XMutex, XTimer, XSocketCore, XTCPSocket, XKeyboard, XTextEncoding, XControl, XRectControl, XWindow,         \
        XContainerControl, XEmbeddableWindow, XEmbeddedWindowControl, XSlider, XScrollBar, XProgressBar, XCanvas,   \
        XContextualMenu, XGroupBox, XPushButton, XCheckBox, XStaticText, XRadioButton, XPopupMenu, XComboBox,       \
        XPagePanel, XTabPanel, XMenuItem, XMenuBar, XEditField, XPopupArrow, XPlacard, XBevelButton, XLittleArrows, \
        XChasingArrows, XMessageDialog, XMessageDialogButton

static_assert(allOneWord<HW_ALL_WRAPPERS>(), "every wrapper is one pointer wide, at any depth of the tree");
static_assert(noneVirtual<HW_ALL_WRAPPERS>(), "no wrapper has virtual functions");
static_assert(allPlainValues<HW_ALL_WRAPPERS>(), "a copy is the pointer, and the destructor does nothing");

// The class tree's bases.
static_assert(std::is_base_of_v<XControl, XTabPanel> && std::is_base_of_v<XPagePanel, XTabPanel>);
static_assert(std::is_base_of_v<XPopupMenu, XComboBox> && std::is_base_of_v<XCanvas, XEmbeddedWindowControl>);
static_assert(std::is_base_of_v<XWindow, XContainerControl> && std::is_base_of_v<XWindow, XEmbeddableWindow>);
static_assert(std::is_base_of_v<XMenuItem, XMenuBar> && std::is_base_of_v<XCriticalSection, XMutex>);
static_assert(std::is_base_of_v<XControl, XContextualMenu>);
static_assert(!std::is_base_of_v<XSocketCore, XTCPSocket> && !std::is_base_of_v<XRectControl, XPushButton>);
static_assert(!std::is_default_constructible_v<XContainerControl> &&
              !std::is_default_constructible_v<XEmbeddableWindow> &&
              !std::is_default_constructible_v<XEmbeddedWindowControl>);

// Getter and setter share a name; 16-bit reads are signed where declared short.
static_assert(std::is_same_v<decltype(std::declval<XWindow>().left()), long>);
static_assert(std::is_same_v<decltype(std::declval<XWindow>().left(1L)), void>);
static_assert(std::is_same_v<decltype(std::declval<XMemoryBlock>().ushort(0L)), short>);
static_assert(std::is_same_v<decltype(std::declval<XMemoryBlock>().sshort(0L)), short>);
static_assert(std::is_same_v<decltype(std::declval<XEditField>().backcolor()), unsigned long>);
static_assert(std::is_same_v<decltype(std::declval<XTimer>().enabled()), long>);
static_assert(std::is_same_v<decltype(std::declval<XComboBox>().text()), REALstringStruct *>);
// Members that use no held object are static.
static_assert(std::is_same_v<decltype(&X::ticks), long (*)()>);
static_assert(std::is_same_v<decltype(&XContextualMenu::iscmmclick), unsigned char (*)()>);

TEST(XColor, SixteenBitComponentsScaleBy257) {
    EXPECT_EQ(static_cast<unsigned long>(XColor(RGBColor{65535, 32768, 0})), 0x00FF7F00ul);
    EXPECT_EQ(static_cast<unsigned long>(XColor(RGBColor{257, 256, 65534})), 0x000100FEul);
    const RGBColor c = XColor(0x00FF7F00ul);
    EXPECT_EQ(c.red, 65535);
    EXPECT_EQ(c.green, 32639);
    EXPECT_EQ(c.blue, 0);
    const RGBColor black = XColor();
    EXPECT_EQ(black.red | black.green | black.blue, 0);
    // Every 8-bit component survives the round trip.
    for (unsigned v = 0; v < 256; ++v) {
        const unsigned long rgb = v << 16 | (255 - v) << 8 | (v ^ 0x5A);
        EXPECT_EQ(static_cast<unsigned long>(XColor(static_cast<RGBColor>(XColor(rgb)))), rgb);
    }
}

TEST(Wrappers, DefaultConstructedHoldNil) {
    EXPECT_FALSE(static_cast<unsigned char>(X()));
    EXPECT_FALSE(static_cast<unsigned char>(XMemoryBlock()));
    EXPECT_FALSE(static_cast<unsigned char>(XCursor(nullptr)));
    EXPECT_FALSE(static_cast<unsigned char>(XApplication(nullptr)));
    EXPECT_EQ(static_cast<REALwindowStruct *>(XWindow()), nullptr);
    EXPECT_EQ(static_cast<REALfolderItemStruct *>(XFolderItem()), nullptr);
    EXPECT_EQ(static_cast<REALmemoryBlockStruct *>(XMemoryStream()), nullptr);
    auto *o = reinterpret_cast<REALobjectStruct *>(0x1000);
    EXPECT_TRUE(static_cast<unsigned char>(X(o)));
    EXPECT_EQ(static_cast<REALobjectStruct *>(X(o)), o);
}

}  // namespace
