// The control kinds (rb/control_kinds.h) and the icons of bevel buttons.
#include <rb/control_kinds.h>

namespace rb {

namespace {

using I = ControlKindInfo;

constexpr I kKinds[] = {
    {ControlKind::StaticText, "StaticText", I::ClickNothing, I::ShowsText, true,
     I::MemberCaption | I::MemberText | I::MemberBold | I::MemberTextSize},
    {ControlKind::PushButton, "PushButton", I::ClickAction, I::ShowsCaption | I::ShowsIcon, true, I::MemberCaption},
    {ControlKind::BevelButton, "BevelButton", I::ClickAction, I::ShowsCaption | I::ShowsIcon, true,
     I::MemberCaption | I::MemberBold | I::MemberTextSize},
    {ControlKind::Slider, "Slider", I::ClickNothing, I::ShowsValue | I::ShowsRange, true,
     I::MemberValue | I::MemberMinimum | I::MemberMaximum},
    {ControlKind::PopupMenu, "PopupMenu", I::ClickNothing, I::ShowsRows, true,
     I::MemberListIndex | I::MemberListCount | I::MemberSelectedText | I::MemberTextSize},
    {ControlKind::RadioButton, "RadioButton", I::ClickSelect, I::ShowsCaption | I::ShowsValue, true,
     I::MemberCaption | I::MemberValue},
    {ControlKind::EditField, "EditField", I::ClickFocus, I::ShowsText, true,
     I::MemberText | I::MemberBold | I::MemberTextSize},
    {ControlKind::ProgressBar, "ProgressBar", I::ClickNothing, I::ShowsValue | I::ShowsMaximum, true,
     I::MemberValue | I::MemberMaximum},
    {ControlKind::Canvas, "Canvas", I::ClickNothing, I::ShowsPicture, true, 0},
    {ControlKind::Placard, "Placard", I::ClickNothing, 0, true, 0},
    {ControlKind::Rectangle, "Rectangle", I::ClickNothing, 0, true, 0},
    {ControlKind::Separator, "Separator", I::ClickNothing, 0, true, 0},
    {ControlKind::GroupBox, "GroupBox", I::ClickNothing, I::ShowsCaption | I::ShowsIcon, true, I::MemberCaption},
    {ControlKind::ProgressWheel, "ProgressWheel", I::ClickNothing, 0, false, 0},
};

// One row a kind, in the order of the enumeration.
constexpr bool inOrder() {
    for (size_t i = 0; i < std::size(kKinds); ++i)
        if (size_t(kKinds[i].kind) != i) return false;
    return true;
}
static_assert(inOrder() && std::size(kKinds) == size_t(ControlKind::ProgressWheel) + 1);

}  // namespace

std::span<const ControlKindInfo> kindTable() { return kKinds; }

const ControlKindInfo &kindInfo(ControlKind k) { return kKinds[size_t(k)]; }

const char *kindName(ControlKind k) { return kindInfo(k).name; }

const char *iconName(Icon i) {
    switch (i) {
        case Icon::NoIcon:
            return "";
        case Icon::Play:
            return "play";
        case Icon::Stop:
            return "stop";
        case Icon::FastForward:
            return "ff";
        case Icon::Rewind:
            return "rewind";
    }
    return "";
}

}  // namespace rb
