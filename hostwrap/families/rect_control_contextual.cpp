#include "accessors.h"

#include "rows_define.inc"
#include "families/rect_control_contextual.def"
