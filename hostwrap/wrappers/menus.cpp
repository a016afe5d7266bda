#include "wrappers/menus.h"

HW_DEFINE_MEMBERS(XMenuItem)
HW_DEFINE_MEMBERS(XMenuBar)
HW_DEFINE_MEMBERS(XContextualMenu)
