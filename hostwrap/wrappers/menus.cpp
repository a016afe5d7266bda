#include "wrappers/menus.h"

HW_ROWS_XMenuItem(HW_DEF, XMenuItem) HW_ROWS_XMenuBar(HW_DEF, XMenuBar) HW_ROWS_XContextualMenu(HW_DEF, XContextualMenu)
