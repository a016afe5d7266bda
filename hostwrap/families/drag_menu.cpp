#include "accessors.h"

#include "rows_define.inc"
#include "families/drag_menu.def"
