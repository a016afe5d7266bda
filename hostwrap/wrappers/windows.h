// Wrappers over the host's windows and the windows that embed in other
// windows. They hold a REALwindowStruct*, adopted without a retain.
#pragma once

#include "wrappers/shape.h"
#include "wrappers/windows_rows.h"

class XWindow {
public:
    XWindow() = default;
    XWindow(REALwindowStruct *w) : p_(w) {}
    explicit XWindow(REALstringStruct *name);  // the implicit window of that name
    explicit XWindow(int index);               // the window at that index
    operator REALwindowStruct *() const { return p_; }
    HW_MEMBERS(XWindow)
    HW_EVENTS_XWindow(HW_DECL_EVENT,
                      XWindow) unsigned char iswindow() const;  // whether the object has the method "Hide()"

protected:
    REALwindowStruct *p_ = nullptr;
};

// A container control: every member of its own reaches the host directly.
class XContainerControl : public XWindow {
public:
    XContainerControl(REALwindowStruct *w) { p_ = w; }
    unsigned char acceptfocus() const;
    RBBoolean acceptfocus(unsigned char value) const;
    long panelindex() const;
    RBBoolean panelindex(long value) const;
    REALobjectStruct *parent() const;
    REALobjectStruct *window() const;
    long embedwithin(REALwindowStruct *window, int left, int top, int width, int height) const;
    long embedwithin(REALobjectStruct *control) const;
    long embedwithinpanel(REALobjectStruct *panel, int page, int left, int top, int width, int height) const;
};

class XEmbeddableWindow : public XWindow {
public:
    XEmbeddableWindow(REALwindowStruct *w) { p_ = w; }
    HW_MEMBERS(XEmbeddableWindow)
    HW_EVENT_MEMBERS(XEmbeddableWindow)
    REALobjectStruct *parent() const;
    REALobjectStruct *window() const;
    REALobjectStruct *embeddedwindowcontrol() const;
    // Each returns 1 once the host method has been called.
    long embedwithinwindow(REALwindowStruct *window, int left, int top, int width, int height) const;
    long embedwithincontrol(REALobjectStruct *control) const;
    long embedwithinpanel(REALobjectStruct *panel, int page, int left, int top, int width, int height) const;
};
