// Wrappers over the host's system objects: the application, folder items
// and binary streams, virtual volumes, graphics, pictures and RGB surfaces,
// threads and their synchronisation, timers, sockets, the keyboard and text
// encodings. One held pointer each, adopted without a retain.
#pragma once

#include "wrappers/shape.h"
#include "wrappers/system_rows.h"

class XApplication {
public:
    XApplication();  // the application object
    XApplication(REALobjectStruct *o) : p_(o) {}
    operator unsigned char() const { return p_ != nullptr; }
    operator REALobjectStruct *() const { return p_; }
    HW_MEMBERS(XApplication)

private:
    REALobjectStruct *p_ = nullptr;
};

class XFolderItem {
public:
    XFolderItem() = default;
    XFolderItem(REALfolderItemStruct *o) : p_(o) {}
    operator REALfolderItemStruct *() const { return p_; }
    HW_MEMBERS(XFolderItem)
    REALstringStruct *path() const;
    // These take the caller's file type string and release it after the call.
    REALobjectStruct *createbinarystream(REALstringStruct *type) const;
    REALobjectStruct *createresourcefork(REALstringStruct *type) const;
    void copyfileto(XFolderItem destination) const;
    // These hold the resulting folder item and release the one held before
    // (child, getfolderitem and getopen also release their string).
    XFolderItem item(long index);
    XFolderItem parent();
    XFolderItem child(REALstringStruct *name);
    XFolderItem getfolderitem(REALstringStruct *path);
    XFolderItem getopen(REALstringStruct *type);

private:
    REALfolderItemStruct *p_ = nullptr;
};

class XBinaryStream {
public:
    XBinaryStream() = default;
    XBinaryStream(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XBinaryStream)
    void write(REALstringStruct *s) const;  // releases s after the call

private:
    REALobjectStruct *p_ = nullptr;
};

class XVirtualVolume {
public:
    XVirtualVolume() = default;
    XVirtualVolume(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XVirtualVolume)

private:
    REALobjectStruct *p_ = nullptr;
};

class XGraphics {
public:
    XGraphics() = default;
    XGraphics(REALgraphicsStruct *o) : p_(o) {}
    operator REALgraphicsStruct *() const { return p_; }
    HW_MEMBERS(XGraphics)

private:
    REALgraphicsStruct *p_ = nullptr;
};

class XPicture {
public:
    XPicture() = default;
    XPicture(REALpictureStruct *o) : p_(o) {}
    operator REALpictureStruct *() const { return p_; }
    HW_MEMBERS(XPicture)

private:
    REALpictureStruct *p_ = nullptr;
};

class XRGBSurface {
public:
    XRGBSurface() = default;
    XRGBSurface(REALobjectStruct *o) : p_(o) {}
    operator REALobjectStruct *() const { return p_; }
    HW_MEMBERS(XRGBSurface)

private:
    REALobjectStruct *p_ = nullptr;
};

class XThread {
public:
    XThread() = default;
    XThread(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XThread)
    HW_EVENT_MEMBERS(XThread)

private:
    REALobjectStruct *p_ = nullptr;
};

class XSemaphore {
public:
    XSemaphore(REALobjectStruct *o, long count);  // constructs the host semaphore, then holds it
    XSemaphore() = default;
    XSemaphore(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XSemaphore)

private:
    REALobjectStruct *p_ = nullptr;
};

class XCriticalSection {
public:
    XCriticalSection() = default;
    XCriticalSection(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XCriticalSection)

protected:
    REALobjectStruct *p_ = nullptr;
};

class XMutex : public XCriticalSection {
public:
    XMutex(REALobjectStruct *o, REALstringStruct *name);  // constructs the host mutex, then holds it
    XMutex() = default;
    XMutex(REALobjectStruct *o) { p_ = o; }
    HW_MEMBERS(XMutex)
};

class XTimer {
public:
    XTimer() = default;
    XTimer(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XTimer)
    HW_EVENT_MEMBERS(XTimer)

private:
    REALobjectStruct *p_ = nullptr;
};

class XSocketCore {
public:
    XSocketCore() = default;
    XSocketCore(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XSocketCore)
    HW_EVENT_MEMBERS(XSocketCore)

private:
    REALobjectStruct *p_ = nullptr;
};

class XTCPSocket {
public:
    XTCPSocket() = default;
    XTCPSocket(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XTCPSocket)
    HW_EVENT_MEMBERS(XTCPSocket)

private:
    REALobjectStruct *p_ = nullptr;
};

class XKeyboard {
public:
    XKeyboard();  // the keyboard object
    XKeyboard(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XKeyboard)

private:
    REALobjectStruct *p_ = nullptr;
};

class XTextEncoding {
public:
    XTextEncoding() = default;
    XTextEncoding(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XTextEncoding)

private:
    REALobjectStruct *p_ = nullptr;
};
