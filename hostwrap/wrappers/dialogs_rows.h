// The forwarding members of the dialogs wrappers, one row each (see shape.h).
#pragma once
// One row per line, as the tables read.
// clang-format off

#define HW_ROWS_XMessageDialog(M, C) \
    M##_FWD(C, REALobjectStruct*, actionbutton, MessageDialog_GetActionButton) \
    M##_FWD(C, REALobjectStruct*, alternateactionbutton, MessageDialog_GetAlternateActionButton) \
    M##_FWD(C, REALobjectStruct*, cancelbutton, MessageDialog_GetCancelButton) \
    M##_FWD(C, REALstringStruct*, explanation, MessageDialog_GetExplanation) \
    M##_FWD(C, void, explanation, MessageDialog_SetExplanation, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, message, MessageDialog_GetMessage) \
    M##_FWD(C, void, message, MessageDialog_SetMessage, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, title, MessageDialog_GetTitle) \
    M##_FWD(C, void, title, MessageDialog_SetTitle, REALstringStruct*) \
    M##_FWD(C, int, icon, MessageDialog_GetIcon) \
    M##_FWD(C, void, icon, MessageDialog_SetIcon, int) \
    M##_FWD(C, void, __Init, MessageDialog__Init) \
    M##_FWD(C, void, __Exit, MessageDialog__Exit) \
    M##_FWD(C, REALobjectStruct*, showmodal, MessageDialog_ShowModal) \
    M##_FWD(C, REALobjectStruct*, showmodalwithin, MessageDialog_ShowModalWithin, REALwindowStruct*)

#define HW_ROWS_XMessageDialogButton(M, C) \
    M##_FWD(C, unsigned char, cancel, MessageDialogButton_GetCancel) \
    M##_FWD(C, void, cancel, MessageDialogButton_SetCancel, unsigned char) \
    M##_FWD(C, unsigned char, deflt, MessageDialogButton_GetDefault) \
    M##_FWD(C, void, deflt, MessageDialogButton_SetDefault, unsigned char) \
    M##_FWD(C, unsigned char, visible, MessageDialogButton_GetVisible) \
    M##_FWD(C, void, visible, MessageDialogButton_SetVisible, unsigned char) \
    M##_FWD(C, REALstringStruct*, caption, MessageDialogButton_GetCaption) \
    M##_FWD(C, void, caption, MessageDialogButton_SetCaption, REALstringStruct*)
// clang-format on
