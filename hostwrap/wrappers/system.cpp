#include "wrappers/system.h"

#include "wrappers/host.h"

using hostwrap::release;
using hostwrap::releaseString;

HW_ROWS_XApplication(HW_DEF, XApplication) HW_ROWS_XFolderItem(HW_DEF, XFolderItem)
    HW_ROWS_XBinaryStream(HW_DEF, XBinaryStream) HW_ROWS_XVirtualVolume(HW_DEF, XVirtualVolume)
        HW_ROWS_XGraphics(HW_DEF, XGraphics) HW_ROWS_XPicture(HW_DEF, XPicture) HW_ROWS_XRGBSurface(HW_DEF, XRGBSurface)
            HW_ROWS_XThread(HW_DEF, XThread) HW_ROWS_XSemaphore(HW_DEF, XSemaphore)
                HW_ROWS_XCriticalSection(HW_DEF, XCriticalSection) HW_ROWS_XMutex(HW_DEF, XMutex)
                    HW_ROWS_XTimer(HW_DEF, XTimer) HW_ROWS_XSocketCore(HW_DEF, XSocketCore)
                        HW_ROWS_XTCPSocket(HW_DEF, XTCPSocket) HW_ROWS_XKeyboard(HW_DEF, XKeyboard)
                            HW_ROWS_XTextEncoding(HW_DEF, XTextEncoding)

                                XApplication::XApplication()
    : p_(App_App()) {}
XKeyboard::XKeyboard() : p_(Keyboard_Keyboard()) {}

XSemaphore::XSemaphore(REALobjectStruct *o, long count) {
    Semaphore_Constructor(o, int32_t(count));
    p_ = o;
}

XMutex::XMutex(REALobjectStruct *o, REALstringStruct *name) {
    Mutex_Constructor(o, name);
    p_ = o;
}

// Folder items.
REALstringStruct *XFolderItem::path() const { return REALpathFromFolderItem(p_); }

REALobjectStruct *XFolderItem::createbinarystream(REALstringStruct *type) const {
    REALobjectStruct *stream = FolderItem_CreateBinaryFile(p_, type);
    releaseString(type);
    return stream;
}

REALobjectStruct *XFolderItem::createresourcefork(REALstringStruct *type) const {
    REALobjectStruct *stream = FolderItem_CreateResourceFork(p_, type);
    releaseString(type);
    return stream;
}

void XFolderItem::copyfileto(XFolderItem destination) const { FolderItem_CopyFileTo(p_, destination.p_); }

namespace {
REALfolderItem asFolderItem(REALobject o) { return reinterpret_cast<REALfolderItem>(o); }
}  // namespace

XFolderItem XFolderItem::item(long index) {
    REALfolderItem result = asFolderItem(FolderItem_Item(p_, int32_t(index)));
    release(p_);
    p_ = result;
    return *this;
}

XFolderItem XFolderItem::parent() {
    REALfolderItem result = asFolderItem(FolderItem_Parent(p_));
    release(p_);
    p_ = result;
    return *this;
}

XFolderItem XFolderItem::child(REALstringStruct *name) {
    REALfolderItem result = asFolderItem(FolderItem_Child(p_, name));
    releaseString(name);
    release(p_);
    p_ = result;
    return *this;
}

XFolderItem XFolderItem::getfolderitem(REALstringStruct *path) {
    REALfolderItem result = FolderItem_GetFolderItem(path);
    releaseString(path);
    release(p_);
    p_ = result;
    return *this;
}

XFolderItem XFolderItem::getopen(REALstringStruct *type) {
    release(p_);
    p_ = FolderItem_GetOpenFolderItem(type);
    releaseString(type);
    return *this;
}

void XBinaryStream::write(REALstringStruct *s) const {
    BinaryStream_Write(p_, s);
    releaseString(s);
}
