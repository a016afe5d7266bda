// Wrappers over the host's message dialogs and their buttons. One held
// REALobjectStruct* each, adopted without a retain.
#pragma once

#include "wrappers/dialogs_rows.h"
#include "wrappers/shape.h"

class XMessageDialog {
public:
    XMessageDialog() = default;
    XMessageDialog(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XMessageDialog)

private:
    REALobjectStruct *p_ = nullptr;
};

class XMessageDialogButton {
public:
    XMessageDialogButton() = default;
    XMessageDialogButton(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XMessageDialogButton)

private:
    REALobjectStruct *p_ = nullptr;
};
