// Wrappers over the host's controls: the control base classes and every
// control kind. Each holds one REALobjectStruct* (XEmbeddedWindowControl the
// window it was made from), adopted without a retain; derived classes add no
// field, and a member of a derived class hides the base's of the same name.
#pragma once

#include "wrappers/controls_rows.h"
#include "wrappers/shape.h"

class XControl {
public:
    XControl() = default;
    XControl(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XControl)
    HW_EVENTS_XControl(HW_DECL_EVENT,
                       XControl) unsigned char hastabpanelindex() const;  // whether the object has "TabpanelIndex"

protected:
    REALobjectStruct *p_ = nullptr;
};

class XRectControl : public XControl {
public:
    XRectControl() = default;
    XRectControl(REALobjectStruct *o) { p_ = o; }
    explicit XRectControl(REALstringStruct *name);  // the implicit window of that name
    HW_MEMBERS(XRectControl)
    HW_EVENT_MEMBERS(XRectControl)
    RBBoolean focus() const;
    void focus(unsigned char value) const;
};

class XSlider : public XRectControl {
public:
    XSlider() = default;
    XSlider(REALobjectStruct *o) { p_ = o; }
    HW_MEMBERS(XSlider)
    HW_EVENT_MEMBERS(XSlider)
};

class XScrollBar : public XRectControl {
public:
    XScrollBar() = default;
    XScrollBar(REALobjectStruct *o) { p_ = o; }
    HW_MEMBERS(XScrollBar)
    HW_EVENT_MEMBERS(XScrollBar)
};

class XProgressBar : public XRectControl {
public:
    XProgressBar() = default;
    XProgressBar(REALobjectStruct *o) { p_ = o; }
    HW_MEMBERS(XProgressBar)
    HW_EVENT_MEMBERS(XProgressBar)
};

class XCanvas : public XRectControl {
public:
    XCanvas() = default;
    XCanvas(REALobjectStruct *o) { p_ = o; }
    HW_MEMBERS(XCanvas)
    HW_EVENT_MEMBERS(XCanvas)
    unsigned char erasebackground() const;
    RBBoolean erasebackground(unsigned char value) const;
    unsigned char iscanvas() const;
};

class XEmbeddedWindowControl : public XCanvas {
public:
    XEmbeddedWindowControl(REALwindowStruct *w) { p_ = reinterpret_cast<REALobjectStruct *>(w); }
    HW_MEMBERS(XEmbeddedWindowControl)
};

class XRadioButton : public XRectControl {
public:
    XRadioButton() = default;
    XRadioButton(REALobjectStruct *o) { p_ = o; }
    HW_MEMBERS(XRadioButton)
    HW_EVENT_MEMBERS(XRadioButton)
};

class XPopupMenu : public XRectControl {
public:
    XPopupMenu() = default;
    XPopupMenu(REALobjectStruct *o) { p_ = o; }
    HW_MEMBERS(XPopupMenu)
    HW_EVENT_MEMBERS(XPopupMenu)
};

class XComboBox : public XPopupMenu {
public:
    XComboBox() = default;
    XComboBox(REALobjectStruct *o) { p_ = o; }
    HW_MEMBERS(XComboBox)
    HW_EVENT_MEMBERS(XComboBox)
};

class XPagePanel : public XRectControl {
public:
    XPagePanel() = default;
    XPagePanel(REALobjectStruct *o) { p_ = o; }
    HW_MEMBERS(XPagePanel)
    HW_EVENT_MEMBERS(XPagePanel)
    unsigned char ispanel() const;
    unsigned char istabpanel() const;
};

class XTabPanel : public XPagePanel {
public:
    XTabPanel() = default;
    XTabPanel(REALobjectStruct *o) { p_ = o; }
    HW_MEMBERS(XTabPanel)
    HW_EVENT_MEMBERS(XTabPanel)
};

class XEditField : public XRectControl {
public:
    XEditField() = default;
    XEditField(REALobjectStruct *o) { p_ = o; }
    HW_MEMBERS(XEditField)
    HW_EVENT_MEMBERS(XEditField)
};

class XLittleArrows : public XRectControl {
public:
    XLittleArrows() = default;
    XLittleArrows(REALobjectStruct *o) { p_ = o; }
    HW_EVENT_MEMBERS(XLittleArrows)
};

class XChasingArrows : public XRectControl {
public:
    XChasingArrows() = default;
    XChasingArrows(REALobjectStruct *o) { p_ = o; }
};

class XPopupArrow : public XRectControl {
public:
    XPopupArrow() = default;
    XPopupArrow(REALobjectStruct *o) { p_ = o; }
    unsigned char facing() const;
    RBBoolean facing(unsigned char value) const;
};

class XPlacard : public XRectControl {
public:
    XPlacard() = default;
    XPlacard(REALobjectStruct *o) { p_ = o; }
    unsigned char enabled() const;
    RBBoolean enabled(unsigned char value) const;
    unsigned char value() const;
    RBBoolean value(unsigned char value) const;
};

class XBevelButton : public XRectControl {
public:
    XBevelButton() = default;
    XBevelButton(REALobjectStruct *o) { p_ = o; }
    long bevel() const;
    RBBoolean bevel(long value) const;
    unsigned char bold() const;
    RBBoolean bold(unsigned char value) const;
    long buttontype() const;
    RBBoolean buttontype(long value) const;
    REALstringStruct *caption() const;
    RBBoolean caption(REALstringStruct *value) const;
    long captionalign() const;
    RBBoolean captionalign(long value) const;
    long captiondelta() const;
    RBBoolean captiondelta(long value) const;
    long captionplacement() const;
    RBBoolean captionplacement(long value) const;
    REALstringStruct *icon() const;
    RBBoolean icon(REALstringStruct *value) const;
    long iconalign() const;
    RBBoolean iconalign(long value) const;
    long icondx() const;
    RBBoolean icondx(long value) const;
    long icondy() const;
    RBBoolean icondy(long value) const;
    unsigned char italic() const;
    RBBoolean italic(unsigned char value) const;
    long hasmenu() const;
    RBBoolean hasmenu(long value) const;
    long menuvalue() const;
    RBBoolean menuvalue(long value) const;
    REALstringStruct *textfont() const;
    RBBoolean textfont(REALstringStruct *value) const;
    long textsize() const;
    RBBoolean textsize(long value) const;
    unsigned char underline() const;
    RBBoolean underline(unsigned char value) const;
    unsigned char value() const;
    RBBoolean value(unsigned char value) const;
    // Methods by declaration, each with its own cached entry.
    long addrow(REALstringStruct *text) const;
    long addseparator() const;
    long deleteallrows() const;
    long insertrow(long row, REALstringStruct *text) const;
    REALstringStruct *list(long row) const;
    long removerow(long row) const;
};

class XGroupBox {
public:
    XGroupBox() = default;
    XGroupBox(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XGroupBox)
    HW_EVENT_MEMBERS(XGroupBox)

private:
    REALobjectStruct *p_ = nullptr;
};

class XPushButton {
public:
    XPushButton() = default;
    XPushButton(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XPushButton)
    HW_EVENT_MEMBERS(XPushButton)

private:
    REALobjectStruct *p_ = nullptr;
};

class XCheckBox {
public:
    XCheckBox() = default;
    XCheckBox(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XCheckBox)
    HW_EVENT_MEMBERS(XCheckBox)

private:
    REALobjectStruct *p_ = nullptr;
};

class XStaticText {
public:
    XStaticText() = default;
    XStaticText(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XStaticText)
    HW_EVENT_MEMBERS(XStaticText)

private:
    REALobjectStruct *p_ = nullptr;
};
