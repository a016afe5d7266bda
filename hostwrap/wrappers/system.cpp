#include "wrappers/system.h"

#include "wrappers/host.h"

using hostwrap::release;
using hostwrap::releaseString;

HW_DEFINE_MEMBERS(XApplication)
HW_DEFINE_MEMBERS(XFolderItem)
HW_DEFINE_MEMBERS(XBinaryStream)
HW_DEFINE_MEMBERS(XVirtualVolume)
HW_DEFINE_MEMBERS(XGraphics)
HW_DEFINE_MEMBERS(XPicture)
HW_DEFINE_MEMBERS(XRGBSurface)
HW_DEFINE_MEMBERS(XThread)
HW_DEFINE_MEMBERS(XSemaphore)
HW_DEFINE_MEMBERS(XCriticalSection)
HW_DEFINE_MEMBERS(XMutex)
HW_DEFINE_MEMBERS(XTimer)
HW_DEFINE_MEMBERS(XSocketCore)
HW_DEFINE_MEMBERS(XTCPSocket)
HW_DEFINE_MEMBERS(XKeyboard)
HW_DEFINE_MEMBERS(XTextEncoding)

XApplication::XApplication() : p_(App_App()) {}
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
