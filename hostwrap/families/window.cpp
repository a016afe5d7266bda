#include "accessors.h"

#include "rows_define.inc"
#include "families/window.def"
