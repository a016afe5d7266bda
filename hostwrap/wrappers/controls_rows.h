// The forwarding members of the controls wrappers, one row each (see shape.h).
#pragma once
// One row per line, as the tables read.
// clang-format off

#define HW_ROWS_XControl(M, C) \
    M##_FWD(C, long, handle, Control_Handle) \
    M##_FWD(C, long, index, Control_GetIndex) \
    M##_FWD(C, void, index, Control_SetIndex, long) \
    M##_FWD(C, long, mouseX, Control_MouseX) \
    M##_FWD(C, long, mouseY, Control_MouseY) \
    M##_FWD(C, REALstringStruct*, name, Control_GetName) \
    M##_FWD(C, void, name, Control_SetName, REALstringStruct*) \
    M##_FWD(C, long, tabpanelindex, Control_GetTabPanelIndex) \
    M##_FWD(C, void, tabpanelindex, Control_SetTabPanelIndex, long) \
    M##_FWD(C, REALobjectStruct*, window, Control_GetWindow) \
    M##_FWD(C, void, close, Control_Close) \
    M##_FWD(C, void, __Init, Control__Initializer) \
    M##_FWD(C, void, __Exit, Control__Finalizer) \
    M##_FWD(C, void, nilcreatepane, Control_NilCreatePane)

#define HW_ROWS_XRectControl(M, C) \
    M##_FWD(C, REALobjectStruct*, constructor, RectControl_DefaultConstructor) \
    M##_FWD(C, void, addmenuhandler, RectControl_AddMenuHandler, REALstringStruct*, REALproc) \
    M##_FWD(C, unsigned char, active, RectControl_GetActive) \
    M##_FWD(C, unsigned char, autodeactivate, RectControl_GetAutoDeactivate) \
    M##_FWD(C, void, autodeactivate, RectControl_SetAutoDeactivate, unsigned char) \
    M##_FWD(C, REALstringStruct*, balloonhelp, RectControl_GetBalloonHelp) \
    M##_FWD(C, void, balloonhelp, RectControl_SetBalloonHelp, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, disabledballoonhelp, RectControl_GetDisabledBalloonHelp) \
    M##_FWD(C, void, disabledballoonhelp, RectControl_SetDisabledBalloonHelp, REALstringStruct*) \
    M##_FWD(C, unsigned char, enabled, RectControl_GetEnabled) \
    M##_FWD(C, void, enabled, RectControl_SetEnabled, unsigned char) \
    M##_FWD(C, unsigned char, visible, RectControl_GetVisible) \
    M##_FWD(C, void, visible, RectControl_SetVisible, unsigned char) \
    M##_FWD(C, long, height, RectControl_GetHeight) \
    M##_FWD(C, void, height, RectControl_SetHeight, long) \
    M##_FWD(C, REALstringStruct*, helptag, RectControl_GetHelpTag) \
    M##_FWD(C, void, helptag, RectControl_SetHelpTag, REALstringStruct*) \
    M##_FWD(C, void, initialparent, RectControl_SetInitialParent, REALstringStruct*) \
    M##_FWD(C, long, left, RectControl_GetLeft) \
    M##_FWD(C, void, left, RectControl_SetLeft, long) \
    M##_FWD(C, long, top, RectControl_GetTop) \
    M##_FWD(C, void, top, RectControl_SetTop, long) \
    M##_FWD(C, long, width, RectControl_GetWidth) \
    M##_FWD(C, void, width, RectControl_SetWidth, long) \
    M##_FWD(C, unsigned char, lockleft, RectControl_GetLockLeft) \
    M##_FWD(C, void, lockleft, RectControl_SetLockLeft, unsigned char) \
    M##_FWD(C, unsigned char, locktop, RectControl_GetLockTop) \
    M##_FWD(C, void, locktop, RectControl_SetLockTop, unsigned char) \
    M##_FWD(C, unsigned char, lockright, RectControl_GetLockRight) \
    M##_FWD(C, void, lockright, RectControl_SetLockRight, unsigned char) \
    M##_FWD(C, unsigned char, lockbottom, RectControl_GetLockBottom) \
    M##_FWD(C, void, lockbottom, RectControl_SetLockBottom, unsigned char) \
    M##_FWD(C, REALobjectStruct*, mousecursor, RectControl_GetMouseCursor) \
    M##_FWD(C, void, mousecursor, RectControl_SetMouseCursor, REALobjectStruct*) \
    M##_FWD(C, REALobjectStruct*, parent, RectControl_GetParent) \
    M##_FWD(C, void, parent, RectControl_SetParent, REALobjectStruct*) \
    M##_FWD(C, void, acceptfiledrop, RectControl_AcceptFileDrop, REALstringStruct*) \
    M##_FWD(C, void, acceptdatadrop, RectControl_AcceptMacDataDrop, REALstringStruct*) \
    M##_FWD(C, void, acceptpicturedrop, RectControl_AcceptPictureDrop) \
    M##_FWD(C, void, accepttextdrop, RectControl_AcceptTextDrop) \
    M##_FWD(C, void, drawinto, RectControl_DrawInto, REALgraphicsStruct*, long, long) \
    M##_FWD(C, REALobjectStruct*, newdragitem, RectControl_NewDragItem, long, long, long, long) \
    M##_FWD(C, void, refresh, RectControl_Refresh, unsigned char) \
    M##_FWD(C, void, refresh, RectControl_RefreshRect, long, long, long, long, unsigned char) \
    M##_FWD(C, void, setfocus, RectControl_SetFocus)

#define HW_ROWS_XSlider(M, C) \
    M##_FWD(C, long, linestep, Slider_GetLineStep) \
    M##_FWD(C, void, linestep, Slider_SetLineStep, long) \
    M##_FWD(C, unsigned char, livescroll, Slider_GetLiveScroll) \
    M##_FWD(C, void, livescroll, Slider_SetLiveScroll, unsigned char) \
    M##_FWD(C, long, maximum, Slider_GetMaximum) \
    M##_FWD(C, void, maximum, Slider_SetMaximum, long) \
    M##_FWD(C, long, minimum, Slider_GetMinimum) \
    M##_FWD(C, void, minimum, Slider_SetMinimum, long) \
    M##_FWD(C, long, pagestep, Slider_GetPageStep) \
    M##_FWD(C, void, pagestep, Slider_SetPageStep, long) \
    M##_FWD(C, long, value, Slider_GetValue) \
    M##_FWD(C, void, value, Slider_SetValue, long) \
    M##_FWD(C, void, createpane, Slider_CreatePane) \
    M##_FWD(C, void, __Exit, Slider__Exit)

#define HW_ROWS_XScrollBar(M, C) \
    M##_FWD(C, long, linestep, Scrollbar_GetLineStep) \
    M##_FWD(C, void, linestep, Scrollbar_SetLineStep, long) \
    M##_FWD(C, unsigned char, livescroll, Scrollbar_GetLiveScroll) \
    M##_FWD(C, void, livescroll, Scrollbar_SetLiveScroll, unsigned char) \
    M##_FWD(C, long, maximum, Scrollbar_GetMaximum) \
    M##_FWD(C, void, maximum, Scrollbar_SetMaximum, long) \
    M##_FWD(C, long, minimum, Scrollbar_GetMinimum) \
    M##_FWD(C, void, minimum, Scrollbar_SetMinimum, long) \
    M##_FWD(C, long, pagestep, Scrollbar_GetPageStep) \
    M##_FWD(C, void, pagestep, Scrollbar_SetPageStep, long) \
    M##_FWD(C, long, value, Scrollbar_GetValue) \
    M##_FWD(C, void, value, Scrollbar_SetValue, long) \
    M##_FWD(C, void, createpane, Scrollbar_CreatePane) \
    M##_FWD(C, void, __Exit, Slider__Exit)

#define HW_ROWS_XProgressBar(M, C) \
    M##_FWD(C, long, maximum, ProgressBar_GetMaximum) \
    M##_FWD(C, void, maximum, ProgressBar_SetMaximum, long) \
    M##_FWD(C, long, value, ProgressBar_GetValue) \
    M##_FWD(C, void, value, ProgressBar_SetValue, long) \
    M##_FWD(C, void, createpane, ProgressBar_CreatePane)

#define HW_ROWS_XCanvas(M, C) \
    M##_FWD(C, unsigned char, acceptfocus, Canvas_GetAcceptFocus) \
    M##_FWD(C, void, acceptfocus, Canvas_SetAcceptFocus, unsigned char) \
    M##_FWD(C, unsigned char, accepttabs, Canvas_GetAcceptTabs) \
    M##_FWD(C, void, accepttabs, Canvas_SetAcceptTabs, unsigned char) \
    M##_FWD(C, REALpictureStruct*, backdrop, Canvas_GetBackDrop) \
    M##_FWD(C, void, backdrop, Canvas_SetBackDrop, REALpictureStruct*) \
    M##_FWD(C, REALobjectStruct*, graphics, Canvas_GetGraphics) \
    M##_FWD(C, unsigned char, usefocusring, Canvas_GetUseFocusRing) \
    M##_FWD(C, void, usefocusring, Canvas_SetUseFocusRing, unsigned char) \
    M##_FWD(C, void, scroll, Canvas_Scroll, int, int, int, int, int, int, unsigned char) \
    M##_FWD(C, void, __Exit, Canvas__Exit) \
    M##_FWD(C, void, createpane, Canvas_CreatePane)

#define HW_ROWS_XEmbeddedWindowControl(M, C) \
    M##_FWD(C, void, __Init, EmbeddedWindowControl__Init) \
    M##_FWD(C, void, __Exit, EmbeddedWindowControl__Exit) \
    M##_FWD(C, void, close, EmbeddedWindowControl_Close) \
    M##_FWD(C, void, dropobject, EmbeddedWindowControl_DropObject, REALobjectStruct*) \
    M##_FWD(C, void, enablemenuitems, EmbeddedWindowControl_EnableMenuItems) \
    M##_FWD(C, void, gotfocus, EmbeddedWindowControl_GotFocus) \
    M##_FWD(C, void, lostfocus, EmbeddedWindowControl_LostFocus) \
    M##_FWD(C, unsigned char, keydown, EmbeddedWindowControl_KeyDown, REALstringStruct*) \
    M##_FWD(C, unsigned char, mousedown, EmbeddedWindowControl_MouseDown, int, int) \
    M##_FWD(C, void, mousedrag, EmbeddedWindowControl_MouseDrag, int, int) \
    M##_FWD(C, void, mouseenter, EmbeddedWindowControl_MouseEnter) \
    M##_FWD(C, void, mouseexit, EmbeddedWindowControl_MouseExit) \
    M##_FWD(C, void, mousemove, EmbeddedWindowControl_MouseMove, int, int) \
    M##_FWD(C, void, mouseup, EmbeddedWindowControl_MouseUp, int, int) \
    M##_FWD(C, unsigned char, mousewheel, EmbeddedWindowControl_MouseWheel, int, int, int) \
    M##_FWD(C, void, open, EmbeddedWindowControl_Open) \
    M##_FWD(C, void, paint, EmbeddedWindowControl_Paint, REALgraphicsStruct*)

#define HW_ROWS_XGroupBox(M, C) \
    M##_FWD(C, unsigned char, bold, GroupBox_GetBold) \
    M##_FWD(C, void, bold, GroupBox_SetBold, unsigned char) \
    M##_FWD(C, unsigned char, italic, GroupBox_GetItalic) \
    M##_FWD(C, void, italic, GroupBox_SetItalic, unsigned char) \
    M##_FWD(C, unsigned char, underline, GroupBox_GetUnderLine) \
    M##_FWD(C, void, underline, GroupBox_SetUnderLine, unsigned char) \
    M##_FWD(C, REALstringStruct*, caption, GroupBox_GetCaption) \
    M##_FWD(C, void, caption, GroupBox_SetCaption, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, textfont, GroupBox_GetTextFont) \
    M##_FWD(C, void, textfont, GroupBox_SetTextFont, REALstringStruct*) \
    M##_FWD(C, int, textsize, GroupBox_GetTextSize) \
    M##_FWD(C, void, textsize, GroupBox_SetTextSize, int) \
    M##_FWD(C, void, __Exit, GroupBox__Exit) \
    M##_FWD(C, void, createpane, GroupBox_CreatePane)

#define HW_ROWS_XPushButton(M, C) \
    M##_FWD(C, unsigned char, bold, PushButton_GetBold) \
    M##_FWD(C, void, bold, PushButton_SetBold, unsigned char) \
    M##_FWD(C, unsigned char, cancel, PushButton_GetCancel) \
    M##_FWD(C, void, cancel, PushButton_SetCancel, unsigned char) \
    M##_FWD(C, unsigned char, deflt, PushButton_GetDefault) \
    M##_FWD(C, void, deflt, PushButton_SetDefault, unsigned char) \
    M##_FWD(C, unsigned char, italic, PushButton_GetItalic) \
    M##_FWD(C, void, italic, PushButton_SetItalic, unsigned char) \
    M##_FWD(C, unsigned char, underline, PushButton_GetUnderLine) \
    M##_FWD(C, void, underline, PushButton_SetUnderLine, unsigned char) \
    M##_FWD(C, REALstringStruct*, caption, PushButton_GetCaption) \
    M##_FWD(C, void, caption, PushButton_SetCaption, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, textfont, PushButton_GetTextFont) \
    M##_FWD(C, void, textfont, PushButton_SetTextFont, REALstringStruct*) \
    M##_FWD(C, int, textsize, PushButton_GetTextSize) \
    M##_FWD(C, void, textsize, PushButton_SetTextSize, int) \
    M##_FWD(C, void, addaction, PushButton_AddActionNotificationReceiver, REALobjectStruct*) \
    M##_FWD(C, void, removeaction, PushButton_RemoveActionNotificationReceiver, REALobjectStruct*) \
    M##_FWD(C, void, push, PushButton_Push) \
    M##_FWD(C, void, __Exit, PushButton__Exit) \
    M##_FWD(C, void, createpane, PushButton_CreatePane)

#define HW_ROWS_XCheckBox(M, C) \
    M##_FWD(C, unsigned char, bold, CheckBox_GetBold) \
    M##_FWD(C, void, bold, CheckBox_SetBold, unsigned char) \
    M##_FWD(C, unsigned char, italic, CheckBox_GetItalic) \
    M##_FWD(C, void, italic, CheckBox_SetItalic, unsigned char) \
    M##_FWD(C, unsigned char, state, CheckBox_GetState) \
    M##_FWD(C, void, state, CheckBox_SetState, unsigned char) \
    M##_FWD(C, unsigned char, underline, CheckBox_GetUnderLine) \
    M##_FWD(C, void, underline, CheckBox_SetUnderLine, unsigned char) \
    M##_FWD(C, unsigned char, value, CheckBox_GetValue) \
    M##_FWD(C, void, value, CheckBox_SetValue, unsigned char) \
    M##_FWD(C, int, textsize, CheckBox_GetTextSize) \
    M##_FWD(C, void, textsize, CheckBox_SetTextSize, int) \
    M##_FWD(C, REALstringStruct*, caption, CheckBox_GetCaption) \
    M##_FWD(C, void, caption, CheckBox_SetCaption, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, datafield, CheckBox_GetDataField) \
    M##_FWD(C, void, datafield, CheckBox_SetDataField, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, datasource, CheckBox_GetDataSource) \
    M##_FWD(C, void, datasource, CheckBox_SetDataSource, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, textfont, CheckBox_GetTextFont) \
    M##_FWD(C, void, textfont, CheckBox_SetTextFont, REALstringStruct*) \
    M##_FWD(C, void, adddata, CheckBox_AddDataNotificationReceiver, REALobjectStruct*) \
    M##_FWD(C, void, removedata, CheckBox_RemoveDataNotificationReceiver, REALobjectStruct*) \
    M##_FWD(C, unsigned char, getboolean, CheckBox_GetBoolean) \
    M##_FWD(C, void, setboolean, CheckBox_SetBoolean, unsigned char) \
    M##_FWD(C, unsigned char, getboundpart, CheckBox_GetBoundPart, REALstringStruct*) \
    M##_FWD(C, void, __Exit, CheckBox__Exit) \
    M##_FWD(C, void, createpane, CheckBox_CreatePane)

#define HW_ROWS_XStaticText(M, C) \
    M##_FWD(C, unsigned char, bold, StaticText_GetBold) \
    M##_FWD(C, void, bold, StaticText_SetBold, unsigned char) \
    M##_FWD(C, unsigned char, italic, StaticText_GetItalic) \
    M##_FWD(C, void, italic, StaticText_SetItalic, unsigned char) \
    M##_FWD(C, unsigned char, multiline, StaticText_GetMultiLine) \
    M##_FWD(C, void, multiline, StaticText_SetMultiLine, unsigned char) \
    M##_FWD(C, unsigned char, underline, StaticText_GetUnderLine) \
    M##_FWD(C, void, underline, StaticText_SetUnderLine, unsigned char) \
    M##_FWD(C, unsigned char, textalign, StaticText_GetTextAlign) \
    M##_FWD(C, void, textalign, StaticText_SetTextAlign, unsigned char) \
    M##_FWD(C, int, textcolor, StaticText_GetTextColor) \
    M##_FWD(C, void, textcolor, StaticText_SetTextColor, int) \
    M##_FWD(C, int, textsize, StaticText_GetTextSize) \
    M##_FWD(C, void, textsize, StaticText_SetTextSize, int) \
    M##_FWD(C, REALstringStruct*, caption, StaticText_GetCaption) \
    M##_FWD(C, void, caption, StaticText_SetCaption, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, text, StaticText_GetText) \
    M##_FWD(C, void, text, StaticText_SetText, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, datafield, StaticText_GetDataField) \
    M##_FWD(C, void, datafield, StaticText_SetDataField, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, datasource, StaticText_GetDataSource) \
    M##_FWD(C, void, datasource, StaticText_SetDataSource, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, textfont, StaticText_GetTextFont) \
    M##_FWD(C, void, textfont, StaticText_SetTextFont, REALstringStruct*) \
    M##_FWD(C, void, __Exit, StaticText__Exit) \
    M##_FWD(C, void, createpane, StaticText_CreatePane)

#define HW_ROWS_XRadioButton(M, C) \
    M##_FWD(C, unsigned char, bold, RadioButton_GetBold) \
    M##_FWD(C, void, bold, RadioButton_SetBold, unsigned char) \
    M##_FWD(C, unsigned char, italic, RadioButton_GetItalic) \
    M##_FWD(C, void, italic, RadioButton_SetItalic, unsigned char) \
    M##_FWD(C, unsigned char, underline, RadioButton_GetUnderLine) \
    M##_FWD(C, void, underline, RadioButton_SetUnderLine, unsigned char) \
    M##_FWD(C, unsigned char, value, RadioButton_GetValue) \
    M##_FWD(C, void, value, RadioButton_SetValue, unsigned char) \
    M##_FWD(C, int, textsize, RadioButton_GetTextSize) \
    M##_FWD(C, void, textsize, RadioButton_SetTextSize, int) \
    M##_FWD(C, REALstringStruct*, caption, RadioButton_GetCaption) \
    M##_FWD(C, void, caption, RadioButton_SetCaption, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, textfont, RadioButton_GetTextFont) \
    M##_FWD(C, void, textfont, RadioButton_SetTextFont, REALstringStruct*) \
    M##_FWD(C, unsigned char, boundpart, RadioButton_GetBoundPart, REALstringStruct*) \
    M##_FWD(C, void, __Exit, RadioButton__Exit) \
    M##_FWD(C, void, createpane, RadioButton_CreatePane)

#define HW_ROWS_XPopupMenu(M, C) \
    M##_FWD(C, unsigned char, bold, PopupMenu_GetBold) \
    M##_FWD(C, void, bold, PopupMenu_SetBold, unsigned char) \
    M##_FWD(C, unsigned char, italic, PopupMenu_GetItalic) \
    M##_FWD(C, void, italic, PopupMenu_SetItalic, unsigned char) \
    M##_FWD(C, unsigned char, underline, PopupMenu_GetUnderLine) \
    M##_FWD(C, void, underline, PopupMenu_SetUnderLine, unsigned char) \
    M##_FWD(C, long, listcount, PopupMenu_GetListCount) \
    M##_FWD(C, int, listindex, PopupMenu_GetListIndex) \
    M##_FWD(C, void, listindex, PopupMenu_SetListIndex, int) \
    M##_FWD(C, int, textsize, PopupMenu_GetTextSize) \
    M##_FWD(C, void, textsize, PopupMenu_SetTextSize, int) \
    M##_FWD(C, REALstringStruct*, datafield, PopupMenu_GetDataField) \
    M##_FWD(C, void, datafield, PopupMenu_SetDataField, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, datasource, PopupMenu_GetDataSource) \
    M##_FWD(C, void, datasource, PopupMenu_SetDataSource, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, initialvalue, PopupMenu_GetInitialValue) \
    M##_FWD(C, void, initialvalue, PopupMenu_SetInitialValue, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, text, PopupMenu_GetText) \
    M##_FWD(C, REALstringStruct*, textfont, PopupMenu_GetTextFont) \
    M##_FWD(C, void, textfont, PopupMenu_SetTextFont, REALstringStruct*) \
    M##_FWD(C, void, adddata, PopupMenu_AddDataNotificationReceiver, REALobjectStruct*) \
    M##_FWD(C, void, removedata, PopupMenu_RemoveDataNotificationReceiver, REALobjectStruct*) \
    M##_FWD(C, void, addrow, PopupMenu_AddRow, REALstringStruct*) \
    M##_FWD(C, void, addseparator, PopupMenu_AddSeparator) \
    M##_FWD(C, void, bindlist, PopupMenu_BindList, REALobjectStruct*) \
    M##_FWD(C, unsigned char, dataavailable, PopupMenu_DataAvailable) \
    M##_FWD(C, void, deleteallrows, PopupMenu_DeleteAllRows) \
    M##_FWD(C, long, boundpart, PopupMenu_GetBoundPart, REALstringStruct*) \
    M##_FWD(C, long, getrow, PopupMenu_GetRow, int) \
    M##_FWD(C, void, insertrow, PopupMenu_InsertRow, int, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, getstring, PopupMenu_GetString) \
    M##_FWD(C, void, removerow, PopupMenu_RemoveRow, int) \
    M##_FWD(C, REALobjectStruct*, rowtag, PopupMenu_GetRowtag, int) \
    M##_FWD(C, void, rowtag, PopupMenu_SetRowtag, int, REALobjectStruct*) \
    M##_FWD(C, void, __Exit, PopupMenu__Exit) \
    M##_FWD(C, void, createpane, PopupMenu_CreatePane)

#define HW_ROWS_XComboBox(M, C) \
    M##_FWD(C, REALstringStruct*, text, ComboBox_GetText) \
    M##_FWD(C, void, text, ComboBox_SetText, REALstringStruct*)

#define HW_ROWS_XPagePanel(M, C) \
    M##_FWD(C, unsigned char, enabled, PagePanel_GetEnabled) \
    M##_FWD(C, void, enabled, PagePanel_SetEnabled, unsigned char) \
    M##_FWD(C, int, panelcount, PagePanel_GetPanelCount) \
    M##_FWD(C, void, panelcount, PagePanel_SetPanelCount, int) \
    M##_FWD(C, int, value, PagePanel_GetValue) \
    M##_FWD(C, void, value, PagePanel_SetValue, int) \
    M##_FWD(C, void, createpane, PagePanel_CreatePane)

#define HW_ROWS_XTabPanel(M, C) \
    M##_FWD(C, unsigned char, bold, TabPanel_BoldGetter) \
    M##_FWD(C, void, bold, TabPanel_BoldSetter, unsigned char) \
    M##_FWD(C, unsigned char, italic, TabPanel_ItalicGetter) \
    M##_FWD(C, void, italic, TabPanel_ItalicSetter, unsigned char) \
    M##_FWD(C, unsigned char, underline, TabPanel_UnderlineGetter) \
    M##_FWD(C, void, underline, TabPanel_UnderlineSetter, unsigned char) \
    M##_FWD(C, unsigned char, smalltabs, TabPanel_SmallTabsGetter) \
    M##_FWD(C, void, smalltabs, TabPanel_SmallTabsSetter, unsigned char) \
    M##_FWD(C, unsigned char, facing, TabPanel_FacingGetter) \
    M##_FWD(C, void, facing, TabPanel_FacingSetter, unsigned char) \
    M##_FWD(C, int, textsize, TabPanel_TextSizeGetter) \
    M##_FWD(C, void, textsize, TabPanel_TextSizeSetter, int) \
    M##_FWD(C, REALstringStruct*, textfont, TabPanel_TextFontGetter) \
    M##_FWD(C, void, textfont, TabPanel_TextFontSetter, REALstringStruct*) \
    M##_FWD(C, void, tabdefinition, TabPanel_TabDefinition, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, caption, TabPanel_CaptionGetter, int) \
    M##_FWD(C, void, caption, TabPanel_CaptionSetter, int, REALstringStruct*) \
    M##_FWD(C, void, __Exit, TabPanel__Exit)

#define HW_ROWS_XEditField(M, C) \
    M##_FWD(C, unsigned char, accepttabs, EditField_GetAcceptTabs) \
    M##_FWD(C, void, accepttabs, EditField_SetAcceptTabs, unsigned char) \
    M##_FWD(C, unsigned char, bold, EditField_GetBold) \
    M##_FWD(C, void, bold, EditField_SetBold, unsigned char) \
    M##_FWD(C, unsigned char, border, EditField_GetBorder) \
    M##_FWD(C, void, border, EditField_SetBorder, unsigned char) \
    M##_FWD(C, unsigned char, italic, EditField_GetItalic) \
    M##_FWD(C, void, italic, EditField_SetItalic, unsigned char) \
    M##_FWD(C, unsigned char, liveupdate, EditField_GetLiveUpdate) \
    M##_FWD(C, void, liveupdate, EditField_SetLiveUpdate, unsigned char) \
    M##_FWD(C, unsigned char, multiline, EditField_GetMultiLine) \
    M##_FWD(C, void, multiline, EditField_SetMultiLine, unsigned char) \
    M##_FWD(C, unsigned char, password, EditField_GetPassword) \
    M##_FWD(C, void, password, EditField_SetPassword, unsigned char) \
    M##_FWD(C, unsigned char, readonly, EditField_GetReadOnly) \
    M##_FWD(C, void, readonly, EditField_SetReadOnly, unsigned char) \
    M##_FWD(C, unsigned char, scrollbar, EditField_GetScrollBar) \
    M##_FWD(C, void, scrollbar, EditField_SetScrollBar, unsigned char) \
    M##_FWD(C, unsigned char, scrollbarhorizontal, EditField_GetScrollBarHorizontal) \
    M##_FWD(C, void, scrollbarhorizontal, EditField_SetScrollBarHorizontal, unsigned char) \
    M##_FWD(C, unsigned char, scrollbarvertical, EditField_GetScrollBarVertical) \
    M##_FWD(C, void, scrollbarvertical, EditField_SetScrollBarVertical, unsigned char) \
    M##_FWD(C, unsigned char, selbold, EditField_GetSelBold) \
    M##_FWD(C, void, selbold, EditField_SetSelBold, unsigned char) \
    M##_FWD(C, unsigned char, selcondense, EditField_GetSelCondense) \
    M##_FWD(C, void, selcondense, EditField_SetSelCondense, unsigned char) \
    M##_FWD(C, unsigned char, selextend, EditField_GetSelExtend) \
    M##_FWD(C, void, selextend, EditField_SetSelExtend, unsigned char) \
    M##_FWD(C, unsigned char, selitalic, EditField_GetSelItalic) \
    M##_FWD(C, void, selitalic, EditField_SetSelItalic, unsigned char) \
    M##_FWD(C, unsigned char, seloutline, EditField_GetSelOutline) \
    M##_FWD(C, void, seloutline, EditField_SetSelOutline, unsigned char) \
    M##_FWD(C, unsigned char, selplain, EditField_GetSelPlain) \
    M##_FWD(C, void, selplain, EditField_SetSelPlain, unsigned char) \
    M##_FWD(C, unsigned char, selshadow, EditField_GetSelShadow) \
    M##_FWD(C, void, selshadow, EditField_SetSelShadow, unsigned char) \
    M##_FWD(C, unsigned char, selunderline, EditField_GetSelUnderline) \
    M##_FWD(C, void, selunderline, EditField_SetSelUnderline, unsigned char) \
    M##_FWD(C, unsigned char, styled, EditField_GetStyled) \
    M##_FWD(C, void, styled, EditField_SetStyled, unsigned char) \
    M##_FWD(C, unsigned char, underline, EditField_GetUnderline) \
    M##_FWD(C, void, underline, EditField_SetUnderline, unsigned char) \
    M##_FWD(C, unsigned char, usefocusring, EditField_GetUseFocusRing) \
    M##_FWD(C, void, usefocusring, EditField_SetUseFocusRing, unsigned char) \
    M##_FWD(C, int, alignment, EditField_GetAlignment) \
    M##_FWD(C, void, alignment, EditField_SetAlignment, int) \
    M##_FWD(C, int, limittext, EditField_GetLimitText) \
    M##_FWD(C, void, limittext, EditField_SetLimitText, int) \
    M##_FWD(C, int, selalignment, EditField_GetSelAlignment) \
    M##_FWD(C, void, selalignment, EditField_SetSelAlignment, int) \
    M##_FWD(C, int, sellength, EditField_GetSelLength) \
    M##_FWD(C, void, sellength, EditField_SetSelLength, int) \
    M##_FWD(C, int, seltextsize, EditField_GetSelTextSize) \
    M##_FWD(C, void, seltextsize, EditField_SetSelTextSize, int) \
    M##_FWD(C, int, textsize, EditField_GetTextSize) \
    M##_FWD(C, void, textsize, EditField_SetTextSize, int) \
    M##_FWD(C, int, scrollposition, EditField_GetScrollPosition) \
    M##_FWD(C, void, scrollposition, EditField_SetScrollPosition, int) \
    M##_FWD(C, int, scrollpositionx, EditField_GetScrollPositionX) \
    M##_FWD(C, void, scrollpositionx, EditField_SetScrollPositionX, int) \
    M##_FWD(C, unsigned long, backcolor, EditField_GetBackColor) \
    M##_FWD(C, void, backcolor, EditField_SetBackColor, unsigned long) \
    M##_FWD(C, unsigned long, seltextcolor, EditField_GetSelTextColor) \
    M##_FWD(C, void, seltextcolor, EditField_SetSelTextColor, unsigned long) \
    M##_FWD(C, unsigned long, textcolor, EditField_GetTextColor) \
    M##_FWD(C, void, textcolor, EditField_SetTextColor, unsigned long) \
    M##_FWD(C, REALstringStruct*, datafield, EditField_GetDataField) \
    M##_FWD(C, void, datafield, EditField_SetDataField, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, datasource, EditField_GetDataSource) \
    M##_FWD(C, void, datasource, EditField_SetDataSource, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, format, EditField_GetFormat) \
    M##_FWD(C, void, format, EditField_SetFormat, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, seltext, EditField_GetSelText) \
    M##_FWD(C, void, seltext, EditField_SetSelText, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, seltextfont, EditField_GetSelTextFont) \
    M##_FWD(C, void, seltextfont, EditField_SetSelTextFont, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, textfont, EditField_GetTextFont) \
    M##_FWD(C, void, textfont, EditField_SetTextFont, REALstringStruct*) \
    M##_FWD(C, REALobjectStruct*, styledtext, EditField_GetStyledText) \
    M##_FWD(C, void, styledtext, EditField_SetStyledText, REALobjectStruct*) \
    M##_FWD(C, REALstringStruct*, formattedtext, EditField_FormattedText) \
    M##_FWD(C, REALstringStruct*, textstyledata, EditField_TextStyleData) \
    M##_FWD(C, long, charposatlinenum, EditField_CharPosAtLineNum, int) \
    M##_FWD(C, long, linenumatcharpos, EditField_LineNumAtCharPos, int) \
    M##_FWD(C, long, charposatxy, EditField_CharPosAtXY, int, int) \
    M##_FWD(C, long, insertposatxy, EditField_InsertPosAtXY, int, int) \
    M##_FWD(C, void, copy, EditField_Copy) \
    M##_FWD(C, void, paste, EditField_Paste) \
    M##_FWD(C, void, selectall, EditField_SelectAll) \
    M##_FWD(C, void, setstring, EditField_SetString, REALstringStruct*) \
    M##_FWD(C, void, settextandstyle, EditField_SetTextAndStyle, REALstringStruct*, REALstringStruct*) \
    M##_FWD(C, void, styledtextprinter, EditField_StyledTextPrinter, REALgraphicsStruct*, int, int) \
    M##_FWD(C, void, toggleselectionbold, EditField_ToggleSelectionBold) \
    M##_FWD(C, void, toggleselectioncondense, EditField_ToggleSelectionCondense) \
    M##_FWD(C, void, toggleselectionextend, EditField_ToggleSelectionExtend) \
    M##_FWD(C, void, toggleselectionitalic, EditField_ToggleSelectionItalic) \
    M##_FWD(C, void, toggleselectionoutline, EditField_ToggleSelectionOutline) \
    M##_FWD(C, void, toggleselectionshadow, EditField_ToggleSelectionShadow) \
    M##_FWD(C, void, toggleselectionunderline, EditField_ToggleSelectionUnderline) \
    M##_FWD(C, void, __Exit, EditField__Exit) \
    M##_FWD(C, void, createpane, EditField__CreatePane)
// clang-format on
