// The forwarding members of the windows wrappers, one row each (see shape.h).
#pragma once
// One row per line, as the tables read.
// clang-format off

#define HW_ROWS_XWindow(M, C) \
    M##_FWD(C, long, left, Window_GetLeft) \
    M##_FWD(C, void, left, Window_SetLeft, long) \
    M##_FWD(C, long, top, Window_GetTop) \
    M##_FWD(C, void, top, Window_SetTop, long) \
    M##_FWD(C, long, width, Window_GetWidth) \
    M##_FWD(C, void, width, Window_SetWidth, long) \
    M##_FWD(C, long, height, Window_GetHeight) \
    M##_FWD(C, void, height, Window_SetHeight, long) \
    M##_FWD(C, long, minwidth, Window_GetMinWidth) \
    M##_FWD(C, void, minwidth, Window_SetMinWidth, long) \
    M##_FWD(C, long, minheight, Window_GetMinHeight) \
    M##_FWD(C, void, minheight, Window_SetMinHeight, long) \
    M##_FWD(C, long, maxwidth, Window_GetMaxWidth) \
    M##_FWD(C, void, maxwidth, Window_SetMaxWidth, long) \
    M##_FWD(C, long, maxheight, Window_GetMaxHeight) \
    M##_FWD(C, void, maxheight, Window_SetMaxHeight, long) \
    M##_FWD(C, unsigned char, closebox, Window_GetCloseBox) \
    M##_FWD(C, void, closebox, Window_SetCloseBox, unsigned char) \
    M##_FWD(C, unsigned char, composite, Window_GetComposite) \
    M##_FWD(C, void, composite, Window_SetComposite, unsigned char) \
    M##_FWD(C, unsigned char, fullscreen, Window_GetFullscreen) \
    M##_FWD(C, void, fullscreen, Window_SetFullscreen, unsigned char) \
    M##_FWD(C, unsigned char, growicon, Window_GetGrowIcon) \
    M##_FWD(C, void, growicon, Window_SetGrowIcon, unsigned char) \
    M##_FWD(C, unsigned char, hasbackcolor, Window_GetHasBackColor) \
    M##_FWD(C, void, hasbackcolor, Window_SetHasBackColor, unsigned char) \
    M##_FWD(C, unsigned char, liveresize, Window_GetLiveResize) \
    M##_FWD(C, void, liveresize, Window_SetLiveResize, unsigned char) \
    M##_FWD(C, unsigned char, menubarvisible, Window_GetMenubarVisible) \
    M##_FWD(C, void, menubarvisible, Window_SetMenubarVisible, unsigned char) \
    M##_FWD(C, unsigned char, visible, Window_GetVisible) \
    M##_FWD(C, void, visible, Window_SetVisible, unsigned char) \
    M##_FWD(C, unsigned char, zoomicon, Window_GetZoomIcon) \
    M##_FWD(C, void, zoomicon, Window_SetZoomIcon, unsigned char) \
    M##_FWD(C, long, frame, Window_GetFrame) \
    M##_FWD(C, void, frame, Window_SetFrame, long) \
    M##_FWD(C, long, macprocid, Window_GetMacProcId) \
    M##_FWD(C, void, macprocid, Window_SetMacProcId, long) \
    M##_FWD(C, long, placement, Window_GetPlacement) \
    M##_FWD(C, void, placement, Window_SetPlacement, long) \
    M##_FWD(C, unsigned long, backcolor, Window_GetBackColor) \
    M##_FWD(C, void, backcolor, Window_SetBackColor, unsigned long) \
    M##_FWD(C, REALpictureStruct*, backdrop, Window_GetBackDrop) \
    M##_FWD(C, void, backdrop, Window_SetBackDrop, REALpictureStruct*) \
    M##_FWD(C, REALstringStruct*, floaterprocess, Window_GetFloaterProcess) \
    M##_FWD(C, void, floaterprocess, Window_SetFloaterProcess, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, title, Window_GetTitle) \
    M##_FWD(C, void, title, Window_SetTitle, REALstringStruct*) \
    M##_FWD(C, REALobjectStruct*, menubar, Window_GetMenuBar) \
    M##_FWD(C, void, menubar, Window_SetMenuBar, REALobjectStruct*) \
    M##_FWD(C, REALobjectStruct*, mousecursor, Window_GetMouseCursor) \
    M##_FWD(C, void, mousecursor, Window_SetMouseCursor, REALobjectStruct*) \
    M##_FWD(C, long, controlcount, Window_ControlCount) \
    M##_FWD(C, REALobjectStruct*, dockitem, Window_DockItem) \
    M##_FWD(C, REALobjectStruct*, graphics, Window_Graphics) \
    M##_FWD(C, long, handle, Window_Handle) \
    M##_FWD(C, long, hwnd, Window_HWND) \
    M##_FWD(C, long, macwindowptr, Window_MacWindowPtr) \
    M##_FWD(C, long, mouseX, Window_MouseX) \
    M##_FWD(C, long, mouseY, Window_MouseY) \
    M##_FWD(C, void, acceptfiledrop, Window_AcceptFileDrop, REALstringStruct*) \
    M##_FWD(C, void, acceptmacdatadrop, Window_AcceptMacDataDrop, REALstringStruct*) \
    M##_FWD(C, void, acceptpicturedrop, Window_AcceptPictureDrop) \
    M##_FWD(C, void, accepttextdrop, Window_AcceptTextDrop) \
    M##_FWD(C, void, close, Window_Close) \
    M##_FWD(C, REALobjectStruct*, control, Window_Control, int) \
    M##_FWD(C, REALobjectStruct*, control, Window_ControlByName, REALstringStruct*) \
    M##_FWD(C, REALobjectStruct*, control, Window_ControlByNameIndex, REALstringStruct*, int) \
    M##_FWD(C, void, drawinto, Window_DrawInto, REALgraphicsStruct*, long, long, unsigned char) \
    M##_FWD(C, REALobjectStruct*, newdragitem, Window_NewDragItem, long, long, long, long) \
    M##_FWD(C, void, embedwindow, Window_EmbedWindow, REALobjectStruct*, int, int, int, int) \
    M##_FWD(C, void, refresh, Window_Refresh, unsigned char) \
    M##_FWD(C, void, refresh, Window_RefreshRect, long, long, long, long, unsigned char) \
    M##_FWD(C, void, setfocus, Window_SetFocus) \
    M##_FWD(C, void, hide, Window_Hide) \
    M##_FWD(C, void, show, Window_Show) \
    M##_FWD(C, void, showmodal, Window_ShowModal) \
    M##_FWD(C, void, showmodalwithin, Window_ShowModalWithin, REALwindowStruct*) \
    M##_FWD(C, void, showwithin, Window_ShowWithin, REALwindowStruct*, int) \
    M##_FWD(C, void, updatenow, Window_UpdateNow) \
    M##_FWD(C, void *, convert, Window_Convert) \
    M##_FWD(C, REALobjectStruct*, defaultconstructor, Window_DefaultConstructor) \
    M##_FWD(C, void, addcontrol, Window_AddControl, REALstringStruct*, REALobjectStruct*) \
    M##_FWD(C, void, addmenuhandler, Window_AddMenuHandler, REALstringStruct*, REALproc) \
    M##_FWD(C, void, drawbackground, Window_DrawBackground, REALgraphicsStruct*, long, long, long, long, long, long) \
    M##_FWD(C, void, __Init, Window__Init) \
    M##_FWD(C, void, __Exit, Window__Exit) \
    M##_FWD(C, REALobjectStruct*, __New, Window__New, REALclassRefStruct*)

#define HW_ROWS_XEmbeddableWindow(M, C) \
    M##_FWD(C, long, panelindex, EmbeddableWindow_GetPanelIndex) \
    M##_FWD(C, void, panelindex, EmbeddableWindow_SetPanelIndex, long) \
    M##_FWD(C, unsigned char, acceptfocus, EmbeddableWindow_GetAcceptFocus) \
    M##_FWD(C, void, acceptfocus, EmbeddableWindow_SetAcceptFocus, unsigned char) \
    M##_FWD(C, unsigned char, accepttabs, EmbeddableWindow_GetAcceptTabs) \
    M##_FWD(C, void, accepttabs, EmbeddableWindow_SetAcceptTabs, unsigned char) \
    M##_FWD(C, unsigned char, autodeactivate, EmbeddableWindow_GetAutoDeactivate) \
    M##_FWD(C, void, autodeactivate, EmbeddableWindow_SetAutoDeactivate, unsigned char) \
    M##_FWD(C, REALstringStruct*, disabledballoonhelp, EmbeddableWindow_GetDisabledBalloonHelp) \
    M##_FWD(C, void, disabledballoonhelp, EmbeddableWindow_SetDisabledBalloonHelp, REALstringStruct*) \
    M##_FWD(C, unsigned char, enabled, EmbeddableWindow_GetEnabled) \
    M##_FWD(C, void, enabled, EmbeddableWindow_SetEnabled, unsigned char) \
    M##_FWD(C, REALstringStruct*, helptag, EmbeddableWindow_GetHelpTag) \
    M##_FWD(C, void, helptag, EmbeddableWindow_SetHelpTag, REALstringStruct*) \
    M##_FWD(C, unsigned char, lockbottom, EmbeddableWindow_GetLockBottom) \
    M##_FWD(C, void, lockbottom, EmbeddableWindow_SetLockBottom, unsigned char) \
    M##_FWD(C, unsigned char, lockleft, EmbeddableWindow_GetLockLeft) \
    M##_FWD(C, void, lockleft, EmbeddableWindow_SetLockLeft, unsigned char) \
    M##_FWD(C, unsigned char, lockright, EmbeddableWindow_GetLockRight) \
    M##_FWD(C, void, lockright, EmbeddableWindow_SetLockRight, unsigned char) \
    M##_FWD(C, unsigned char, locktop, EmbeddableWindow_GetLockTop) \
    M##_FWD(C, void, locktop, EmbeddableWindow_SetLockTop, unsigned char) \
    M##_FWD(C, unsigned char, usefocusring, EmbeddableWindow_GetUseFocus) \
    M##_FWD(C, void, usefocusring, EmbeddableWindow_SetUseFocus, unsigned char) \
    M##_FWD(C, void, showaswindow, EmbeddableWindow_ShowAsWindow)
// clang-format on
