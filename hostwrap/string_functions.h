// The host string functions (String_*), declared with every other accessor.
#pragma once

#include "accessors.h"
