// Wrappers over the host's menus: menu items, the menu bar and contextual
// menus. One held REALobjectStruct* each, adopted without a retain.
#pragma once

#include "wrappers/controls.h"
#include "wrappers/menus_rows.h"
#include "wrappers/shape.h"

class XMenuItem {
public:
    XMenuItem() = default;
    XMenuItem(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XMenuItem)
    HW_EVENT_MEMBERS(XMenuItem)

protected:
    REALobjectStruct *p_ = nullptr;
};

class XMenuBar : public XMenuItem {
public:
    XMenuBar() = default;
    XMenuBar(REALobjectStruct *o) { p_ = o; }
    HW_MEMBERS(XMenuBar)
    HW_EVENT_MEMBERS(XMenuBar)
};

class XContextualMenu : public XControl {
public:
    XContextualMenu() = default;
    XContextualMenu(REALobjectStruct *o) { p_ = o; }
    HW_MEMBERS(XContextualMenu)
    HW_EVENT_MEMBERS(XContextualMenu)
};
