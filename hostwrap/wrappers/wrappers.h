// Every wrapper class of the library.
#pragma once

#include "wrappers/controls.h"
#include "wrappers/data.h"
#include "wrappers/dialogs.h"
#include "wrappers/menus.h"
#include "wrappers/system.h"
#include "wrappers/windows.h"
