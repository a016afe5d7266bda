#include "accessors.h"

#include "rows_define.inc"
#include "families/graphics_controls.def"
