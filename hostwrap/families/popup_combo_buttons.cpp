#include "accessors.h"

#include "rows_define.inc"
#include "families/popup_combo_buttons.def"
