#include "wrappers/dialogs.h"

HW_DEFINE_MEMBERS(XMessageDialog)
HW_DEFINE_MEMBERS(XMessageDialogButton)
