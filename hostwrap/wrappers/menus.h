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
    HW_ROWS_XMenuItem(HW_DECL, XMenuItem) HW_EVENTS_XMenuItem(HW_DECL_EVENT, XMenuItem)

        protected : REALobjectStruct *p_ = nullptr;
};

class XMenuBar : public XMenuItem {
public:
    XMenuBar() = default;
    XMenuBar(REALobjectStruct *o) { p_ = o; }
    HW_ROWS_XMenuBar(HW_DECL, XMenuBar) HW_EVENTS_XMenuBar(HW_DECL_EVENT, XMenuBar)
};

class XContextualMenu : public XControl {
public:
    XContextualMenu() = default;
    XContextualMenu(REALobjectStruct *o) { p_ = o; }
    HW_ROWS_XContextualMenu(HW_DECL, XContextualMenu) HW_EVENTS_XContextualMenu(HW_DECL_EVENT, XContextualMenu)
};
