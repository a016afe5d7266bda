#include "wrappers/dialogs.h"

HW_ROWS_XMessageDialog(HW_DEF, XMessageDialog) HW_ROWS_XMessageDialogButton(HW_DEF, XMessageDialogButton)
