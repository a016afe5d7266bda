// The forwarding members of the data wrappers, one row each (see shape.h).
#pragma once
// One row per line, as the tables read.
// clang-format off

#define HW_ROWS_X(M, C) \
    M##_STATIC(C, long, ticks, Runtime_Ticks) \
    M##_STATIC(C, void, run, Runtime_Run) \
    M##_STATIC(C, void, debugbreak, Runtime_Break) \
    M##_STATIC(C, long, fontcount, Font_FontCount) \
    M##_STATIC(C, REALstringStruct*, font, Font_FontName, int) \
    M##_STATIC(C, void, swabselfandme, Runtime_SwapSelfAndMe, REALobjectStruct**, REALobjectStruct**) \
    M##_STATIC(C, REALobjectStruct*, arrowcursor, Cursor_GetArrowCursor) \
    M##_STATIC(C, REALobjectStruct*, ibeamcursor, Cursor_GetIBeamCursor) \
    M##_STATIC(C, REALobjectStruct*, watchcursor, Cursor_GetWatchCursor) \
    M##_FWD(C, long, InstallEventHandler, Runtime_InstallInstanceEventHandler, REALstringStruct*, REALproc) \
    M##_FWD(C, void, SetProperties, Runtime_MassPropertySetter, REALstringStruct*) \
    M##_STATIC(C, unsigned long, framecolor, RB_FrameColor) \
    M##_STATIC(C, unsigned long, fillcolor, RB_FillColor) \
    M##_STATIC(C, unsigned long, darkbevelcolor, RB_DarkBevelColor) \
    M##_STATIC(C, unsigned long, darktingecolor, RB_DarkTingeColor) \
    M##_STATIC(C, unsigned long, highlightcolor, RB_HighlightColor) \
    M##_STATIC(C, unsigned long, lightbevelcolor, RB_LightBevelColor) \
    M##_STATIC(C, unsigned long, lighttingecolor, RB_LightTingeColor) \
    M##_STATIC(C, unsigned long, textcolor, RB_TextColor)

#define HW_ROWS_XMemoryBlock(M, C) \
    M##_FWD(C, void, _Init, MemoryBlock_Init) \
    M##_FWD(C, void, _Exit, MemoryBlock_Exit) \
    M##_FWD(C, unsigned char, littleendian, MemoryBlock_GetLittleEndian) \
    M##_FWD(C, void, littleendian, MemoryBlock_SetLittleEndian, unsigned char) \
    M##_FWD(C, unsigned char, booleanvalue, MemoryBlock_GetBooleanValue, long) \
    M##_FWD(C, void, booleanvalue, MemoryBlock_SetBooleanValue, long, unsigned char) \
    M##_FWD(C, unsigned char, byte, MemoryBlock_GetByte, long) \
    M##_FWD(C, void, byte, MemoryBlock_SetByte, long, unsigned char) \
    M##_FWD(C, unsigned long, colorvalue, MemoryBlock_GetColorValue, long, long) \
    M##_FWD(C, void, colorvalue, MemoryBlock_SetColorValue, long, long, unsigned long) \
    M##_FWD(C, REALstringStruct*, cstring, MemoryBlock_GetCString, long) \
    M##_FWD(C, REALstringStruct*, pstring, MemoryBlock_GetPString, long) \
    M##_FWD(C, REALstringStruct*, string, MemoryBlock_GetStringValue, long, long) \
    M##_FWD(C, REALstringStruct*, wstring, MemoryBlock_GetWString, long) \
    M##_FWD(C, double, doublevalue, MemoryBlock_GetDoubleValue, long) \
    M##_FWD(C, void, doublevalue, MemoryBlock_SetDoubleValue, long, double) \
    M##_FWD(C, long, longval, MemoryBlock_GetLong, long) \
    M##_FWD(C, void, longval, MemoryBlock_SetLong, long, long) \
    M##_FWD(C, short, sshort, MemoryBlock_GetShort, long) \
    M##_FWD(C, void, sshort, MemoryBlock_SetShort, long, short) \
    M##_FWD(C, short, ushort, MemoryBlock_GetUShort, long) \
    M##_FWD(C, void, ushort, MemoryBlock_SetUShort, long, short) \
    M##_FWD(C, float, single, MemoryBlock_GetSingleValue, long) \
    M##_FWD(C, void, single, MemoryBlock_SetSingleValue, long, float) \
    M##_FWD(C, long, size, MemoryBlock_GetSize) \
    M##_FWD(C, void, size, MemoryBlock_SetSize, long)

#define HW_ROWS_XCursor(M, C) \
    M##_FWD(C, REALobjectStruct*, arrowall, MouseCursor_ArrowAllDirections) \
    M##_FWD(C, REALobjectStruct*, arroweastwest, MouseCursor_ArrowEastWest) \
    M##_FWD(C, REALobjectStruct*, arrownortheastsouthwest, MouseCursor_ArrowNortheastSouthwest) \
    M##_FWD(C, REALobjectStruct*, arrownorthsouth, MouseCursor_ArrowNorthSouth) \
    M##_FWD(C, REALobjectStruct*, arrownorthwestsoutheast, MouseCursor_ArrowNorthwestSoutheast) \
    M##_FWD(C, REALobjectStruct*, finger, MouseCursor_FingerPointer) \
    M##_FWD(C, REALobjectStruct*, handclosed, MouseCursor_HandClosed) \
    M##_FWD(C, REALobjectStruct*, handopen, MouseCursor_HandOpen) \
    M##_FWD(C, REALobjectStruct*, ibeam, MouseCursor_IBeam) \
    M##_FWD(C, REALobjectStruct*, splittereastwest, MouseCursor_SplitterEastWest) \
    M##_FWD(C, REALobjectStruct*, splitternorthsouth, MouseCursor_SplitterNorthSouth) \
    M##_FWD(C, REALobjectStruct*, standard, MouseCursor_StandardPointer) \
    M##_FWD(C, REALobjectStruct*, wait, MouseCursor_Wait)

#define HW_ROWS_XDictionary(M, C) \
    M##_FWD(C, long, bincount, Dictionary_GetBins) \
    M##_FWD(C, void, bincount, Dictionary_SetBins, long) \
    M##_FWD(C, long, count, Dictionary_Count) \
    M##_FWD(C, void, clear, Dictionary_Clear) \
    M##_FWD(C, unsigned char, haskey, Dictionary_HasKey, REALobjectStruct*) \
    M##_FWD(C, REALobjectStruct*, key, Dictionary_Key, long) \
    M##_FWD(C, void, remove, Dictionary_Remove, REALobjectStruct*) \
    M##_FWD(C, REALobjectStruct*, value, Dictionary_ValueGetter, REALobjectStruct*) \
    M##_FWD(C, void, value, Dictionary_ValueSetter, REALobjectStruct*, REALobjectStruct*)

#define HW_ROWS_XDragItem(M, C) \
    M##_FWD(C, long, dropleft, DragItem_DropLeft) \
    M##_FWD(C, long, droptop, DragItem_DropTop) \
    M##_FWD(C, long, dropheight, DragItem_DropHeight) \
    M##_FWD(C, long, dropwidth, DragItem_DropWidth) \
    M##_FWD(C, long, handle, DragItem_Handle) \
    M##_FWD(C, REALobjectStruct*, destination, DragItem_Destination) \
    M##_FWD(C, REALobjectStruct*, mousecursor, DragItem_GetMouseCursor) \
    M##_FWD(C, void, mousecursor, DragItem_SetMouseCursor, REALobjectStruct*) \
    M##_FWD(C, REALpictureStruct*, picture, DragItem_GetPicture) \
    M##_FWD(C, void, picture, DragItem_SetPicture, REALpictureStruct*) \
    M##_FWD(C, unsigned char, pictureavailable, DragItem_PictureAvailable) \
    M##_FWD(C, REALstringStruct*, text, DragItem_GetText) \
    M##_FWD(C, void, text, DragItem_SetText, REALstringStruct*) \
    M##_FWD(C, unsigned char, textavailable, DragItem_TextAvailable) \
    M##_FWD(C, REALfolderItemStruct*, folderitem, DragItem_GetFolderItem) \
    M##_FWD(C, void, folderitem, DragItem_SetFolderItem, REALfolderItemStruct*) \
    M##_FWD(C, unsigned char, folderitemavailable, DragItem_FolderItemAvailable) \
    M##_FWD(C, void, additem, DragItem_AddItem, long, long, long, long) \
    M##_FWD(C, void, drag, DragItem_Drag) \
    M##_FWD(C, unsigned char, nextitem, DragItem_NextItem) \
    M##_FWD(C, REALstringStruct*, rawdata, DragItem_GetRawData, REALstringStruct*) \
    M##_FWD(C, void, rawdata, DragItem_SetRawData, REALstringStruct*, REALstringStruct*) \
    M##_FWD(C, unsigned char, rawdataavailable, DragItem_RawDataAvailable, REALstringStruct*) \
    M##_FWD(C, REALstringStruct*, privaterawdata, DragItem_GetPrivateRawData, REALstringStruct*) \
    M##_FWD(C, void, privaterawdata, DragItem_SetPrivateRawData, REALstringStruct*, REALstringStruct*) \
    M##_FWD(C, void, __Init, DragItem_Init) \
    M##_FWD(C, void, __Exit, DragItem_Exit)

#define HW_ROWS_XVariant(M, C) \
    M##_FWD(C, long, hash, Variant_VariantHash) \
    M##_FWD(C, long, vartype, Variant_VariantVarType) \
    M##_FWD(C, unsigned char, isnull, Variant_VariantIsNull) \
    M##_FWD(C, unsigned char, isnumeric, Variant_VariantIsNumeric)
// clang-format on
