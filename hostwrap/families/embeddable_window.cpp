#include "accessors.h"

#include "rows_define.inc"
#include "families/embeddable_window.def"
