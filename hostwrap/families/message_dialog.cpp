#include "accessors.h"

#include "rows_define.inc"
#include "families/message_dialog.def"
