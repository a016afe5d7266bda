// The forwarding members of the system wrappers, one row each (see shape.h).
#pragma once
// One row per line, as the tables read.
// clang-format off

#define HW_ROWS_XApplication(M, C) \
    M##_FWD(C, void, doevents, App_DoEvents, int) \
    M##_FWD(C, void, yieldtonextthread, App_YieldToNextThread) \
    M##_FWD(C, REALobjectStruct*, menubar, App_GetMenuBar) \
    M##_FWD(C, void, menubar, App_SetMenuBar, REALobjectStruct*) \
    M##_FWD(C, REALobjectStruct*, mousecursor, App_GetMouseCursor) \
    M##_FWD(C, void, mousecursor, App_SetMouseCursor, REALobjectStruct*)

#define HW_ROWS_XFolderItem(M, C) \
    M##_FWD(C, long, count, FolderItem_Count) \
    M##_FWD(C, unsigned char, directory, FolderItem_Directory) \
    M##_FWD(C, unsigned char, exists, FolderItem_Exists) \
    M##_FWD(C, void, createfolder, FolderItem_CreateAsFolder) \
    M##_FWD(C, void, destroy, FolderItem_Delete) \
    M##_FWD(C, REALstringStruct*, name, FolderItem_Name) \
    M##_FWD(C, long, lasterror, FolderItem_LastError) \
    M##_FWD(C, REALstringStruct*, filetype, FolderItem_FileType) \
    M##_FWD(C, REALobjectStruct*, openasbinarystream, FolderItem_OpenBinaryFile, unsigned char) \
    M##_FWD(C, REALobjectStruct*, createvirtualvolume, FolderItem_CreateVirtualVolume) \
    M##_FWD(C, REALobjectStruct*, openasvirtualvolume, FolderItem_OpenAsVirtualVolume) \
    M##_FWD(C, void, saveasjpeg, FolderItem_SaveAsJPEG, REALpictureStruct*)

#define HW_ROWS_XBinaryStream(M, C) \
    M##_FWD(C, long, length, BinaryStream_GetLength) \
    M##_FWD(C, void, length, BinaryStream_SetLength, long) \
    M##_FWD(C, long, position, BinaryStream_GetPosition) \
    M##_FWD(C, void, position, BinaryStream_SetPosition, long) \
    M##_FWD(C, REALstringStruct*, read, BinaryStream_Read, long) \
    M##_FWD(C, void, close, BinaryStream_Close)

#define HW_ROWS_XVirtualVolume(M, C) \
    M##_FWD(C, REALobjectStruct*, root, VirtualVolume_Root)

#define HW_ROWS_XGraphics(M, C) \
    M##_FWD(C, unsigned char, useoldrenderer, graphics_UseOldRendererGetter) \
    M##_FWD(C, void, useoldrenderer, graphics_UseOldRendererSetter, unsigned char) \
    M##_FWD(C, unsigned char, bold, graphics_BoldGetter) \
    M##_FWD(C, void, bold, graphics_BoldSetter, unsigned char) \
    M##_FWD(C, unsigned char, underline, graphics_UnderlineGetter) \
    M##_FWD(C, void, underline, graphics_UnderlineSetter, unsigned char) \
    M##_FWD(C, unsigned char, italic, graphics_ItalicGetter) \
    M##_FWD(C, void, italic, graphics_ItalicSetter, unsigned char) \
    M##_FWD(C, unsigned long, forecolor, graphics_ForeColorGetter) \
    M##_FWD(C, void, forecolor, graphics_ForeColorSetter, unsigned long) \
    M##_FWD(C, long, height, graphics_HeightGetter) \
    M##_FWD(C, long, width, graphics_WidthGetter) \
    M##_FWD(C, unsigned long, pixel, graphics_PixelGetter, int, int) \
    M##_FWD(C, void, pixel, graphics_PixelSetter, int, int, unsigned long) \
    M##_FWD(C, REALstringStruct*, textfont, graphics_TextFontGetter) \
    M##_FWD(C, void, textfont, graphics_TextFontSetter, REALstringStruct*) \
    M##_FWD(C, int, textsize, graphics_TextSizeGetter) \
    M##_FWD(C, void, textsize, graphics_TextSizeSetter, int) \
    M##_FWD(C, int, penwidth, graphics_PenWidthGetter) \
    M##_FWD(C, void, penwidth, graphics_PenWidthSetter, int) \
    M##_FWD(C, int, penheight, graphics_PenHeightGetter) \
    M##_FWD(C, void, penheight, graphics_PenHeightSetter, int) \
    M##_FWD(C, long, copies, graphics_Copies) \
    M##_FWD(C, long, firstpage, graphics_FirstPage) \
    M##_FWD(C, long, lastpage, graphics_LastPage) \
    M##_FWD(C, void, nextpage, graphics_NextPage) \
    M##_FWD(C, long, handle, graphics_Handle, int) \
    M##_FWD(C, void, drawpicture, graphics_DrawPicture, REALpictureStruct*, int, int, int, int, int, int, int, int) \
    M##_FWD(C, void, drawrect, graphics_DrawRect, int, int, int, int) \
    M##_FWD(C, void, fillrect, graphics_FillRect, int, int, int, int) \
    M##_FWD(C, void, clearrect, graphics_ClearRect, int, int, int, int) \
    M##_FWD(C, void, drawoval, graphics_DrawOval, int, int, int, int) \
    M##_FWD(C, void, filloval, graphics_FillOval, int, int, int, int) \
    M##_FWD(C, void, drawline, graphics_DrawLine, int, int, int, int) \
    M##_FWD(C, void, drawstring, graphics_DrawString, REALstringStruct*, int, int, int, unsigned char)

#define HW_ROWS_XPicture(M, C) \
    M##_FWD(C, long, width, Picture_GetWidth) \
    M##_FWD(C, long, height, Picture_GetHeight) \
    M##_FWD(C, long, depth, Picture_GetDepth) \
    M##_FWD(C, REALobjectStruct*, graphics, Picture_GetGraphics) \
    M##_FWD(C, REALstringStruct*, mask, Picture_GetMask) \
    M##_FWD(C, REALobjectStruct*, rgbsurface, Picture_GetRGBSurface) \
    M##_FWD(C, int, hres, Picture_GetHorizontalResolution) \
    M##_FWD(C, void, hres, Picture_SetHorizontalResolution, int) \
    M##_FWD(C, int, vres, Picture_GetVerticalResolution) \
    M##_FWD(C, void, vres, Picture_SetVerticalResolution, int) \
    M##_FWD(C, int, transparent, Picture_GetTransparent) \
    M##_FWD(C, void, transparent, Picture_SetTransparent, int) \
    M##_FWD(C, long, imagecount, Picture_GetImageCount) \
    M##_FWD(C, REALobjectStruct*, obj2d, Picture_GetObj2D) \
    M##_FWD(C, void, obj2d, Picture_SetObj2D, REALobjectStruct*) \
    M##_FWD(C, REALobjectStruct*, indexedimage, Picture_GetIndexedImage, long)

#define HW_ROWS_XRGBSurface(M, C) \
    M##_FWD(C, void, floodfill, RGBSurface_FloodFill, int, int, unsigned long) \
    M##_FWD(C, unsigned long, pixel, RGBSurface_PixelGetter, int, int) \
    M##_FWD(C, void, pixel, RGBSurface_PixelSetter, int, int, unsigned long) \
    M##_FWD(C, void, transform, RGBSurface_Transform, REALintArrayStruct*) \
    M##_FWD(C, void, transform, RGBSurface_Transform, REALintArrayStruct*, REALintArrayStruct*, REALintArrayStruct*)

#define HW_ROWS_XThread(M, C) \
    M##_FWD(C, void, __Init, Thread__Init) \
    M##_FWD(C, long, priority, Thread_GetPriority) \
    M##_FWD(C, void, priority, Thread_SetPriority, long) \
    M##_FWD(C, long, stacksize, Thread_GetStackSize) \
    M##_FWD(C, void, stacksize, Thread_SetStackSize, long) \
    M##_FWD(C, long, id, Thread_GetID) \
    M##_FWD(C, long, state, Thread_GetState) \
    M##_FWD(C, void, resume, Thread_Resume) \
    M##_FWD(C, void, run, Thread_Run) \
    M##_FWD(C, void, sleep, Thread_Sleep, long, unsigned char) \
    M##_FWD(C, void, suspend, Thread_Suspend)

#define HW_ROWS_XSemaphore(M, C) \
    M##_FWD(C, void, __Init, Semaphore__Init) \
    M##_FWD(C, void, __Exit, Semaphore__Exit) \
    M##_FWD(C, void, release, Semaphore_Release) \
    M##_FWD(C, void, signal, Semaphore_Signal) \
    M##_FWD(C, unsigned char, trysignal, Semaphore_TrySignal)

#define HW_ROWS_XCriticalSection(M, C) \
    M##_FWD(C, void, __Init, CriticalSection__Init) \
    M##_FWD(C, void, __Exit, CriticalSection__Exit) \
    M##_FWD(C, void, enter, CriticalSection_Enter) \
    M##_FWD(C, void, leave, CriticalSection_Leave) \
    M##_FWD(C, unsigned char, tryenter, CriticalSection_TryEnter)

#define HW_ROWS_XMutex(M, C) \
    M##_FWD(C, void, __Init, Mutex__Init) \
    M##_FWD(C, void, __Exit, Mutex__Exit) \
    M##_FWD(C, void, enter, Mutex_Enter) \
    M##_FWD(C, void, leave, Mutex_Leave) \
    M##_FWD(C, unsigned char, tryenter, Mutex_TryEnter)

#define HW_ROWS_XTimer(M, C) \
    M##_FWD(C, void, __Init, Timer__Init) \
    M##_FWD(C, void, __Exit, Timer__Exit) \
    M##_FWD(C, long, period, Timer_GetPeriod) \
    M##_FWD(C, void, period, Timer_SetPeriod, long) \
    M##_FWD(C, long, mode, Timer_GetMode) \
    M##_FWD(C, void, mode, Timer_SetMode, long) \
    M##_FWD(C, long, enabled, Timer_GetEnabled) \
    M##_FWD(C, void, enabled, Timer_SetEnabled, long) \
    M##_FWD(C, void, reset, Timer_Reset)

#define HW_ROWS_XSocketCore(M, C) \
    M##_FWD(C, long, handle, SocketCore_Handle) \
    M##_FWD(C, unsigned char, isconnected, SocketCore_IsConnected) \
    M##_FWD(C, long, lasterrorcode, SocketCore_LastErrorCode) \
    M##_FWD(C, REALstringStruct*, localaddress, SocketCore_LocalAddress) \
    M##_FWD(C, REALobjectStruct*, networkinterface, SocketCore_GetNetworkInterface) \
    M##_FWD(C, void, networkinterface, SocketCore_SetNetworkInterface, REALobjectStruct*) \
    M##_FWD(C, int, port, SocketCore_GetPort) \
    M##_FWD(C, void, port, SocketCore_SetPort, int) \
    M##_FWD(C, void, close, SocketCore_Close) \
    M##_FWD(C, void, connect, SocketCore_Connect) \
    M##_FWD(C, void, poll, SocketCore_Poll) \
    M##_FWD(C, void, purge, SocketCore_Purge)

#define HW_ROWS_XTCPSocket(M, C) \
    M##_FWD(C, void, __Init, TCPSocket__Init) \
    M##_FWD(C, void, __Exit, TCPSocket__Exit) \
    M##_FWD(C, REALstringStruct*, address, TCPSocket_GetAddress) \
    M##_FWD(C, void, address, TCPSocket_SetAddress, REALstringStruct*) \
    M##_FWD(C, long, bytesavailable, TCPSocket_BytesAvailable) \
    M##_FWD(C, long, byteslefttosend, TCPSocket_BytesLeftToSend) \
    M##_FWD(C, long, pppstatus, TCPSocket_PPPStatus) \
    M##_FWD(C, REALstringStruct*, remoteaddress, TCPSocket_RemoteAddress) \
    M##_FWD(C, void, disconnect, TCPSocket_Disconnect) \
    M##_FWD(C, unsigned char, eof, TCPSocket_EOF) \
    M##_FWD(C, void, flush, TCPSocket_Flush) \
    M##_FWD(C, void, listen, TCPSocket_Listen) \
    M##_FWD(C, REALstringStruct*, lookahead, TCPSocket_Lookahead, REALobjectStruct*) \
    M##_FWD(C, void, pppconnect, TCPSocket_PPPConnect) \
    M##_FWD(C, void, pppdisconnect, TCPSocket_PPPDisconnect) \
    M##_FWD(C, REALstringStruct*, read, TCPSocket_Read, int, REALobjectStruct*) \
    M##_FWD(C, REALstringStruct*, readall, TCPSocket_ReadAll, REALobjectStruct*) \
    M##_FWD(C, unsigned char, readerror, TCPSocket_ReadError) \
    M##_FWD(C, void, write, TCPSocket_Write, REALstringStruct*) \
    M##_FWD(C, unsigned char, writeerror, TCPSocket_WriteError)

#define HW_ROWS_XKeyboard(M, C) \
    M##_FWD(C, unsigned char, asynccommandkey, Keyboard_AsyncCommandKey) \
    M##_FWD(C, unsigned char, asyncshiftkey, Keyboard_AsyncShiftKey) \
    M##_FWD(C, unsigned char, asyncoptionkey, Keyboard_AsyncOptionKey) \
    M##_FWD(C, unsigned char, asynccontrolkey, Keyboard_AsyncControlKey) \
    M##_FWD(C, unsigned char, commandkey, Keyboard_CommandKey) \
    M##_FWD(C, unsigned char, shiftkey, Keyboard_ShiftKey) \
    M##_FWD(C, unsigned char, optionkey, Keyboard_OptionKey) \
    M##_FWD(C, unsigned char, controlkey, Keyboard_ControlKey) \
    M##_FWD(C, REALstringStruct*, keyname, Keyboard_KeyName, long) \
    M##_FWD(C, unsigned char, keydown, Keyboard_KeyDown, long)

#define HW_ROWS_XTextEncoding(M, C) \
    M##_FWD(C, REALstringStruct*, chr, TextEncoding_Chr, long) \
    M##_FWD(C, unsigned char, equals, TextEncoding_Equals, REALobjectStruct*) \
    M##_FWD(C, REALstringStruct*, base, Encodings_Base) \
    M##_FWD(C, long, code, Encodings_Code) \
    M##_FWD(C, REALstringStruct*, format, Encodings_Format) \
    M##_FWD(C, REALstringStruct*, variant, Encodings_Variant) \
    M##_FWD(C, REALstringStruct*, internetname, Encodings_InternetName)
// clang-format on
