#include "accessors.h"

#include "rows_define.inc"
#include "families/picture_surface_cursor.def"
