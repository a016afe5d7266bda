#include "wrappers/controls.h"

#include "wrappers/direct.h"

namespace direct = hostwrap::direct;

HW_DEFINE_MEMBERS(XControl)
HW_DEFINE_MEMBERS(XRectControl)
HW_DEFINE_MEMBERS(XSlider)
HW_DEFINE_MEMBERS(XScrollBar)
HW_DEFINE_MEMBERS(XProgressBar)
HW_DEFINE_MEMBERS(XCanvas)
HW_DEFINE_MEMBERS(XEmbeddedWindowControl)
HW_DEFINE_MEMBERS(XRadioButton)
HW_DEFINE_MEMBERS(XPopupMenu)
HW_DEFINE_MEMBERS(XComboBox)
HW_DEFINE_MEMBERS(XPagePanel)
HW_DEFINE_MEMBERS(XTabPanel)
HW_DEFINE_MEMBERS(XEditField)
HW_DEFINE_MEMBERS(XGroupBox)
HW_DEFINE_MEMBERS(XPushButton)
HW_DEFINE_MEMBERS(XCheckBox)
HW_DEFINE_MEMBERS(XStaticText)

// The probes ask the host on every call.
unsigned char XControl::hastabpanelindex() const {
    uint8_t unused = 0;
    return REALGetPropValueUInt8(p_, "TabpanelIndex", &unused);
}

unsigned char XCanvas::iscanvas() const {
    return direct::hasMethod(p_,
                             "Scroll(dx As Integer, dy As Integer, x As Integer, y As Integer, width As Integer, "
                             "height As Integer, moveControls As Boolean)");
}

unsigned char XPagePanel::istabpanel() const { return direct::hasMethod(p_, "Caption(Index As Integer) As String"); }

unsigned char XPagePanel::ispanel() const {
    int32_t unused = 0;
    return REALGetPropValueInt32(p_, "PanelCount", &unused);
}

XRectControl::XRectControl(REALstringStruct *name) { p_ = Window__GetImplicitWindow(name); }
RBBoolean XRectControl::focus() const { return REALGetControlFocus(p_); }
void XRectControl::focus(unsigned char v) const { REALSetControlFocus(p_, v); }

// Properties read by name; a property the host lacks reads as 0.
unsigned char XCanvas::erasebackground() const { return direct::uint8(p_, "EraseBackground"); }
RBBoolean XCanvas::erasebackground(unsigned char v) const { return direct::setUInt8(p_, "EraseBackground", v); }
unsigned char XPopupArrow::facing() const { return direct::uint8(p_, "Facing"); }
RBBoolean XPopupArrow::facing(unsigned char v) const { return direct::setUInt8(p_, "Facing", v); }
unsigned char XPlacard::enabled() const { return direct::uint8(p_, "Enabled"); }
RBBoolean XPlacard::enabled(unsigned char v) const { return direct::setUInt8(p_, "Enabled", v); }
unsigned char XPlacard::value() const { return direct::uint8(p_, "Value"); }
RBBoolean XPlacard::value(unsigned char v) const { return direct::setUInt8(p_, "Value", v); }
long XBevelButton::bevel() const { return direct::int32(p_, "Bevel"); }
RBBoolean XBevelButton::bevel(long v) const { return direct::setInt32(p_, "Bevel", int32_t(v)); }
unsigned char XBevelButton::bold() const { return direct::uint8(p_, "Bold"); }
RBBoolean XBevelButton::bold(unsigned char v) const { return direct::setUInt8(p_, "Bold", v); }
long XBevelButton::buttontype() const { return direct::int32(p_, "ButtonType"); }
RBBoolean XBevelButton::buttontype(long v) const { return direct::setInt32(p_, "ButtonType", int32_t(v)); }
REALstringStruct *XBevelButton::caption() const { return direct::string(p_, "Caption"); }
RBBoolean XBevelButton::caption(REALstringStruct *v) const { return direct::setString(p_, "Caption", v); }
long XBevelButton::captionalign() const { return direct::int32(p_, "CaptionAlign"); }
RBBoolean XBevelButton::captionalign(long v) const { return direct::setInt32(p_, "CaptionAlign", int32_t(v)); }
long XBevelButton::captiondelta() const { return direct::int32(p_, "CaptionDelta"); }
RBBoolean XBevelButton::captiondelta(long v) const { return direct::setInt32(p_, "CaptionDelta", int32_t(v)); }
long XBevelButton::captionplacement() const { return direct::int32(p_, "CaptionPlacement"); }
RBBoolean XBevelButton::captionplacement(long v) const { return direct::setInt32(p_, "CaptionPlacement", int32_t(v)); }
REALstringStruct *XBevelButton::icon() const { return direct::string(p_, "Icon"); }
RBBoolean XBevelButton::icon(REALstringStruct *v) const { return direct::setString(p_, "Icon", v); }
long XBevelButton::iconalign() const { return direct::int32(p_, "IconAlign"); }
RBBoolean XBevelButton::iconalign(long v) const { return direct::setInt32(p_, "IconAlign", int32_t(v)); }
long XBevelButton::icondx() const { return direct::int32(p_, "IconDx"); }
RBBoolean XBevelButton::icondx(long v) const { return direct::setInt32(p_, "IconDx", int32_t(v)); }
long XBevelButton::icondy() const { return direct::int32(p_, "IconDy"); }
RBBoolean XBevelButton::icondy(long v) const { return direct::setInt32(p_, "IconDy", int32_t(v)); }
unsigned char XBevelButton::italic() const { return uint8_t(direct::int32(p_, "Italic")); }
RBBoolean XBevelButton::italic(unsigned char v) const { return direct::setUInt8(p_, "Italic", v); }
long XBevelButton::hasmenu() const { return direct::int32(p_, "HasMenu"); }
RBBoolean XBevelButton::hasmenu(long v) const { return direct::setInt32(p_, "HasMenu", int32_t(v)); }
long XBevelButton::menuvalue() const { return direct::int32(p_, "MenuValue"); }
RBBoolean XBevelButton::menuvalue(long v) const { return direct::setInt32(p_, "MenuValue", int32_t(v)); }
REALstringStruct *XBevelButton::textfont() const { return direct::string(p_, "TextFont"); }
RBBoolean XBevelButton::textfont(REALstringStruct *v) const { return direct::setString(p_, "TextFont", v); }
long XBevelButton::textsize() const { return direct::int32(p_, "TextSize"); }
RBBoolean XBevelButton::textsize(long v) const { return direct::setInt32(p_, "TextSize", int32_t(v)); }
unsigned char XBevelButton::underline() const { return direct::uint8(p_, "UnderLine"); }
RBBoolean XBevelButton::underline(unsigned char v) const { return direct::setUInt8(p_, "UnderLine", v); }
unsigned char XBevelButton::value() const { return direct::uint8(p_, "Value"); }
RBBoolean XBevelButton::value(unsigned char v) const { return direct::setUInt8(p_, "Value", v); }

// Bevel button menu rows: methods by declaration, each member with its own entry.
long XBevelButton::addrow(REALstringStruct *text) const {
    static direct::Entry entry{nullptr};
    void *fn = direct::method(entry, p_, "AddRow(Text as String)");
    return fn ? reinterpret_cast<int32_t (*)(REALobject, REALstring)>(fn)(p_, text) : 0;
}

long XBevelButton::addseparator() const {
    static direct::Entry entry{nullptr};
    void *fn = direct::method(entry, p_, "AddSeparator()");
    return fn ? reinterpret_cast<int32_t (*)(REALobject)>(fn)(p_) : 0;
}

long XBevelButton::deleteallrows() const {
    static direct::Entry entry{nullptr};
    void *fn = direct::method(entry, p_, "DeleteAllRows()");
    return fn ? reinterpret_cast<int32_t (*)(REALobject)>(fn)(p_) : 0;
}

long XBevelButton::insertrow(long row, REALstringStruct *text) const {
    static direct::Entry entry{nullptr};
    void *fn = direct::method(entry, p_, "InsertRow(row as Integer, text as String)");
    return fn ? reinterpret_cast<int32_t (*)(REALobject, int32_t, REALstring)>(fn)(p_, int32_t(row), text) : 0;
}

REALstringStruct *XBevelButton::list(long row) const {
    static direct::Entry entry{nullptr};
    void *fn = direct::method(entry, p_, "List(row as Integer) as String");
    return fn ? reinterpret_cast<REALstring (*)(REALobject, int32_t)>(fn)(p_, int32_t(row)) : nullptr;
}

long XBevelButton::removerow(long row) const {
    static direct::Entry entry{nullptr};
    void *fn = direct::method(entry, p_, "RemoveRow(row as Integer)");
    return fn ? reinterpret_cast<int32_t (*)(REALobject, int32_t)>(fn)(p_, int32_t(row)) : 0;
}
