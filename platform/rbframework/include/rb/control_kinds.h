// What each kind of control is, in one row a kind: its class name, what a
// click does, the state a dump shows and the members plug-ins reach on it.
// The window model, the scripted operator's dump and the framework classes
// of controls all read this table.
#pragma once

#include <rb/ui.h>

#include <span>

namespace rb {

struct ControlKindInfo {
    ControlKind kind;
    // The framework class name ("PushButton"), also the kind's name in dumps.
    const char *name;

    // What a click does (Control::push).
    enum Click { ClickNothing, ClickAction, ClickSelect, ClickFocus } click;

    // The state a dump shows after the geometry, in this order.
    enum Shows : unsigned {
        ShowsCaption = 1,
        ShowsIcon = 2,
        ShowsText = 4,
        ShowsValue = 8,
        ShowsRange = 16,    // "range=min..max"
        ShowsMaximum = 32,  // "max=n"
        ShowsPicture = 64,  // a canvas's backdrop size
        ShowsRows = 128,    // "index=i rows=..."
    };
    unsigned shows;

    // Whether plug-ins see a framework class of this kind; a kind without
    // one is a plain "RectControl" to them.
    bool hostClass;
    // The kind's own properties for plug-ins, defined in this order.
    enum Members : unsigned {
        MemberCaption = 1,
        MemberText = 2,
        MemberValue = 4,
        MemberMinimum = 8,
        MemberMaximum = 16,
        MemberListIndex = 32,
        MemberListCount = 64,
        MemberSelectedText = 128,  // "Text" of a popup menu: its selected row, read-only
        MemberBold = 256,
        MemberTextSize = 512,
    };
    unsigned members;
};

// The row of a kind.
const ControlKindInfo &kindInfo(ControlKind k);
// Every row, in the order of ControlKind.
std::span<const ControlKindInfo> kindTable();

}  // namespace rb
