#include "accessors.h"

#include "rows_define.inc"
#include "families/edit_field.def"
