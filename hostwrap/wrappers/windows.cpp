#include "wrappers/windows.h"

#include "wrappers/direct.h"

namespace direct = hostwrap::direct;

HW_DEFINE_MEMBERS(XWindow)
HW_DEFINE_MEMBERS(XEmbeddableWindow)

XWindow::XWindow(REALstringStruct *name) : p_(reinterpret_cast<REALwindow>(Window__GetImplicitWindow(name))) {}
XWindow::XWindow(int index) : p_(reinterpret_cast<REALwindow>(Window__GetWindow(index))) {}

unsigned char XWindow::iswindow() const { return direct::hasMethod(p_, "Hide()"); }

namespace {

constexpr const char *kEmbedInWindow =
    "EmbedWithin(window as Window, left as Integer, top as Integer, width as Integer, height as Integer)";
constexpr const char *kEmbedInPanel =
    "EmbedWithinPanel(panel as PagePanel, page as Integer, left as Integer, top as Integer, width as Integer, "
    "height as Integer)";

using InWindow = int32_t (*)(REALobject, REALwindow, int32_t, int32_t, int32_t, int32_t);
using InControl = int32_t (*)(REALobject, REALobject);
using InPanel = int32_t (*)(REALobject, REALobject, int32_t, int32_t, int32_t, int32_t, int32_t);

}  // namespace

// Container controls: properties and methods by name.
unsigned char XContainerControl::acceptfocus() const { return direct::uint8(p_, "AcceptFocus"); }
RBBoolean XContainerControl::acceptfocus(unsigned char v) const { return direct::setUInt8(p_, "AcceptFocus", v); }
long XContainerControl::panelindex() const { return direct::int32(p_, "TabPanelIndex"); }
RBBoolean XContainerControl::panelindex(long v) const { return direct::setInt32(p_, "TabPanelIndex", int32_t(v)); }
REALobjectStruct *XContainerControl::parent() const { return direct::object(p_, "Parent"); }
REALobjectStruct *XContainerControl::window() const { return direct::object(p_, "Window"); }

long XContainerControl::embedwithin(REALwindowStruct *w, int left, int top, int width, int height) const {
    static direct::Entry entry{nullptr};
    void *fn = direct::method(entry, p_, kEmbedInWindow);
    return fn ? reinterpret_cast<InWindow>(fn)(hostwrap::asObject(p_), w, left, top, width, height) : 0;
}

long XContainerControl::embedwithin(REALobjectStruct *control) const {
    static direct::Entry entry{nullptr};
    void *fn = direct::method(entry, p_, "EmbedWithin(control as control)");
    return fn ? reinterpret_cast<InControl>(fn)(hostwrap::asObject(p_), control) : 0;
}

long XContainerControl::embedwithinpanel(REALobjectStruct *panel, int page, int left, int top, int width,
                                         int height) const {
    static direct::Entry entry{nullptr};
    void *fn = direct::method(entry, p_, kEmbedInPanel);
    return fn ? reinterpret_cast<InPanel>(fn)(hostwrap::asObject(p_), panel, page, left, top, width, height) : 0;
}

// Embeddable windows: the host methods' own results are not passed on.
REALobjectStruct *XEmbeddableWindow::parent() const { return direct::object(p_, "Parent"); }
REALobjectStruct *XEmbeddableWindow::window() const { return direct::object(p_, "Window"); }
REALobjectStruct *XEmbeddableWindow::embeddedwindowcontrol() const { return direct::object(p_, "_Control"); }

long XEmbeddableWindow::embedwithinwindow(REALwindowStruct *w, int left, int top, int width, int height) const {
    static direct::Entry entry{nullptr};
    void *fn = direct::method(entry, p_, kEmbedInWindow);
    if (!fn) return 0;
    reinterpret_cast<InWindow>(fn)(hostwrap::asObject(p_), w, left, top, width, height);
    return 1;
}

long XEmbeddableWindow::embedwithincontrol(REALobjectStruct *control) const {
    static direct::Entry entry{nullptr};
    void *fn = direct::method(entry, p_, "EmbedWithin(control as RectControl)");
    if (!fn) return 0;
    reinterpret_cast<InControl>(fn)(hostwrap::asObject(p_), control);
    return 1;
}

long XEmbeddableWindow::embedwithinpanel(REALobjectStruct *panel, int page, int left, int top, int width,
                                         int height) const {
    static direct::Entry entry{nullptr};
    void *fn = direct::method(entry, p_, kEmbedInPanel);
    if (!fn) return 0;
    reinterpret_cast<InPanel>(fn)(hostwrap::asObject(p_), panel, page, left, top, width, height);
    return 1;
}
