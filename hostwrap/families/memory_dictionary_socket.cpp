#include "accessors.h"

#include "rows_define.inc"
#include "families/memory_dictionary_socket.def"
