// Every accessor of the wrapper library, declared from the family tables.
#pragma once

#include "rows.h"

#include <rb/plugin.h>

#include <cstdint>

#define HW_ROW_MACROS "rows_declare.inc"
#include "families/families.inc"
#undef HW_ROW_MACROS
