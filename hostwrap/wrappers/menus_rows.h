// The forwarding members of the menus wrappers, one row each (see shape.h).
#pragma once
// One row per line, as the tables read.
// clang-format off

#define HW_ROWS_XMenuItem(M, C) \
    M##_FWD(C, unsigned char, bold, _MenuItem_BoldGetter) \
    M##_FWD(C, void, bold, _MenuItem_BoldSetter, unsigned char) \
    M##_FWD(C, unsigned char, italic, _MenuItem_ItalicGetter) \
    M##_FWD(C, void, italic, _MenuItem_ItalicSetter, unsigned char) \
    M##_FWD(C, unsigned char, underline, _MenuItem_UnderlineGetter) \
    M##_FWD(C, void, underline, _MenuItem_UnderlineSetter, unsigned char) \
    M##_FWD(C, unsigned char, enabled, MenuItem_EnabledGetter) \
    M##_FWD(C, void, enabled, MenuItem_EnabledSetter, unsigned char) \
    M##_FWD(C, unsigned char, visible, MenuItem_VisibleGetter) \
    M##_FWD(C, void, visible, MenuItem_VisibleSetter, unsigned char) \
    M##_FWD(C, unsigned char, checked, MenuItem_CheckedGetter) \
    M##_FWD(C, void, checked, MenuItem_CheckedSetter, unsigned char) \
    M##_FWD(C, unsigned char, autoenable, MenuItem_AutoEnableGetter) \
    M##_FWD(C, void, autoenable, MenuItem_AutoEnableSetter, unsigned char) \
    M##_FWD(C, int, index, MenuItem_IndexGetter) \
    M##_FWD(C, void, index, MenuItem_IndexSetter, int) \
    M##_FWD(C, REALstringStruct*, text, MenuItem_TextGetter) \
    M##_FWD(C, void, text, MenuItem_TextSetter, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, name, MenuItem_NameGetter) \
    M##_FWD(C, void, name, MenuItem_NameSetter, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, disabledballoonhelp, MenuItem_DisabledBalloonHelpGetter) \
    M##_FWD(C, void, disabledballoonhelp, MenuItem_DisabledBalloonHelpSetter, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, balloonhelp, MenuItem_BalloonHelpGetter) \
    M##_FWD(C, void, balloonhelp, MenuItem_BalloonHelpSetter, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, commandkey, MenuItem_CommandKeyGetter) \
    M##_FWD(C, void, commandkey, MenuItem_CommandKeySetter, REALstringStruct*) \
    M##_FWD(C, REALobjectStruct*, tag, MenuItem_TagGetter) \
    M##_FWD(C, void, tag, MenuItem_TagSetter, REALobjectStruct*) \
    M##_FWD(C, void, append, MenuItem_Append, REALobjectStruct*) \
    M##_FWD(C, REALobjectStruct*, child, MenuItem_Child, REALstringStruct*) \
    M##_FWD(C, void, close, MenuItem_Close) \
    M##_FWD(C, long, count, MenuItem_Count) \
    M##_FWD(C, void, enable, MenuItem_Enable) \
    M##_FWD(C, void, insert, MenuItem_Insert, int, REALobjectStruct*) \
    M##_FWD(C, REALobjectStruct*, item, MenuItem_Item, int) \
    M##_FWD(C, REALobjectStruct*, defaultconstructor, MenuItem_DefaultConstructor) \
    M##_FWD(C, REALobjectStruct*, popup, MenuItem_Popup) \
    M##_FWD(C, REALobjectStruct*, popup, MenuItem_Popup, int, int) \
    M##_FWD(C, void, remove, MenuItem_Remove, int) \
    M##_FWD(C, void, remove, MenuItem_Remove, REALobjectStruct*) \
    M##_FWD(C, REALobjectStruct*, __Lookup, _MenuItem_Lookup, REALstringStruct*) \
    M##_FWD(C, REALobjectStruct*, __Lookup, _MenuItem_Lookup, REALstringStruct*, int) \
    M##_FWD(C, void, __Init, MenuItem__Init) \
    M##_FWD(C, void, __Exit, MenuItem__Exit)

#define HW_ROWS_XMenuBar(M, C) \
    M##_FWD(C, void, _installclone, _Menubar_InstallClone, REALobjectStruct*) \
    M##_FWD(C, void, __Init, _Menubar__Init)

#define HW_ROWS_XContextualMenu(M, C) \
    M##_STATIC(C, unsigned char, iscmmclick, ContextualMenu_IsCMMClick) \
    M##_FWD(C, unsigned char, usecmm, ContextualMenu_GetUseCMM) \
    M##_FWD(C, void, usecmm, ContextualMenu_SetUseCMM, unsigned char) \
    M##_FWD(C, void, addrow, ContextualMenu_AddRow, REALstringStruct*) \
    M##_FWD(C, void, addseparator, ContextualMenu_AddSeparator) \
    M##_FWD(C, void, deleteallrows, ContextualMenu_DeleteAllRows) \
    M##_FWD(C, void, open, ContextualMenu_Open) \
    M##_FWD(C, void, __Exit, ContextualMenu__Exit) \
    M##_FWD(C, void, createpane, ContextualMenu_CreatePane)
// clang-format on
