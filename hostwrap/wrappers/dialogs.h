// Wrappers over the host's message dialogs and their buttons. One held
// REALobjectStruct* each, adopted without a retain.
#pragma once

#include "wrappers/dialogs_rows.h"
#include "wrappers/shape.h"

class XMessageDialog {
public:
    XMessageDialog() = default;
    XMessageDialog(REALobjectStruct *o) : p_(o) {}
    HW_ROWS_XMessageDialog(HW_DECL, XMessageDialog)

        private : REALobjectStruct *p_ = nullptr;
};

class XMessageDialogButton {
public:
    XMessageDialogButton() = default;
    XMessageDialogButton(REALobjectStruct *o) : p_(o) {}
    HW_ROWS_XMessageDialogButton(HW_DECL, XMessageDialogButton)

        private : REALobjectStruct *p_ = nullptr;
};
