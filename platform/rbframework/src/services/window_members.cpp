// What plug-ins reach on windows and controls: the properties, methods and
// services of the framework classes "Window", "Control", "RectControl" and
// one class per control kind ("PushButton", "Slider", ...). Every member
// answers from the window model itself, so a plug-in sees and changes the
// same state the application and the operator do.
#include "plugins/selectors.h"
#include "windows/ui_host.h"

#include <rb/control_kinds.h>
#include <rb/exception.h>
#include <rb/host.h>
#include <rb/object.h>
#include <rb/string.h>
#include <rb/ui.h>

#include <array>

namespace rb {

namespace {

Value toValue(const std::optional<PropValue> &p) {
    if (!p) return {};
    if (auto *i = std::get_if<int32_t>(&*p)) return int64_t(*i);
    if (auto *b = std::get_if<bool>(&*p)) return *b;
    return String(std::get<std::string>(*p));
}

std::optional<PropValue> fromValue(const Value &v) {
    if (auto *i = std::get_if<int64_t>(&v)) return PropValue(int32_t(*i));
    if (auto *b = std::get_if<bool>(&v)) return PropValue(*b);
    if (auto *d = std::get_if<double>(&v)) return PropValue(int32_t(*d));
    if (auto *s = std::get_if<String>(&v)) return PropValue(s->str());
    return std::nullopt;
}

int32_t intOf(const Value &v) {
    auto p = fromValue(v);
    if (!p) return 0;
    if (auto *i = std::get_if<int32_t>(&*p)) return *i;
    if (auto *b = std::get_if<bool>(&*p)) return *b;
    return 0;
}

// Runs a model call that may raise; the exception waits for the plug-in's caller.
template <class F> void guarded(F &&f) {
    try {
        f();
    } catch (const Exception &e) {
        setPending(e.object());
    }
}

// ---- windows ------------------------------------------------------------------

void modelWindowProperty(ClassInfo *c, const char *name) {
    std::string n = name;
    addHostProperty(
        c, n, propertyType(n),
        [n](REALobject o) -> Value {
            Window *w = uihost::windowOf(o);
            return w ? toValue(getProperty(*w, n)) : Value{};
        },
        [n](REALobject o, const Value &v) {
            Window *w = uihost::windowOf(o);
            auto p = fromValue(v);
            if (w && p) setProperty(*w, n, *p);
        });
}

void limitProperty(ClassInfo *c, const char *name, int Window::*field) {
    addHostProperty(
        c, name, "integer",
        [field](REALobject o) -> Value {
            Window *w = uihost::windowOf(o);
            return w ? Value(int64_t(w->*field)) : Value{};
        },
        [field](REALobject o, const Value &v) {
            if (Window *w = uihost::windowOf(o)) w->*field = intOf(v);
        });
}

extern "C" void svcHideWindow(REALobject o) {
    if (Window *w = uihost::windowOf(o)) w->setVisible(false);
}
extern "C" void svcShowWindow(REALobject o) {
    if (Window *w = uihost::windowOf(o)) w->show();
}
extern "C" void svcCloseWindow(REALobject o) {
    if (Window *w = uihost::windowOf(o)) guarded([w] { w->close(); });
}

// A control's object with a reference for the caller, or nil.
REALobject controlResult(Control *c) {
    if (!c) return nullptr;
    REALobject obj = c->handle();
    retain(obj);
    return obj;
}

// "windowControl" / "Control(index As Integer) As Control": the control at
// a 0-based position in creation order, or nil.
extern "C" REALobject svcWindowControl(REALobject o, int32_t index) {
    Window *w = uihost::windowOf(o);
    if (!w || index < 0 || size_t(index) >= w->controls().size()) return nullptr;
    return controlResult(w->controls()[size_t(index)].get());
}

// "RuntimeWindowControlByName"(window, name): the control of that name, or nil.
extern "C" REALobject svcWindowControlByName(REALobject o, REALstring name) {
    Window *w = uihost::windowOf(o);
    return w ? controlResult(w->control(toStd(name))) : nullptr;
}

// ---- controls --------------------------------------------------------------------

struct ControlObjectFields {
    Control *control = nullptr;  // cleared when the control goes first
};

ClassInfo *controlClass();

void modelControlProperty(ClassInfo *c, const char *name) {
    std::string n = name;
    addHostProperty(
        c, n, propertyType(n),
        [n](REALobject o) -> Value {
            Control *ctl = uihost::controlOf(o);
            return ctl ? toValue(getProperty(*ctl, n)) : Value{};
        },
        [n](REALobject o, const Value &v) {
            Control *ctl = uihost::controlOf(o);
            auto p = fromValue(v);
            if (ctl && p) setProperty(*ctl, n, *p);
        });
}

template <class G, class S> void controlProperty(ClassInfo *c, const char *name, const char *type, G get, S set) {
    addHostProperty(
        c, name, type,
        [get](REALobject o) -> Value {
            Control *ctl = uihost::controlOf(o);
            return ctl ? get(*ctl) : Value{};
        },
        [set](REALobject o, const Value &v) {
            if (Control *ctl = uihost::controlOf(o)) set(*ctl, v);
        });
}

template <class G> void controlReadOnly(ClassInfo *c, const char *name, const char *type, G get) {
    addHostProperty(c, name, type, [get](REALobject o) -> Value {
        Control *ctl = uihost::controlOf(o);
        return ctl ? get(*ctl) : Value{};
    });
}

void boldProperty(ClassInfo *c) {
    controlProperty(
        c, "Bold", "Boolean", [](Control &ctl) { return Value(ctl.bold); },
        [](Control &ctl, const Value &v) {
            ctl.bold = intOf(v) != 0;
            backend().controlChanged(ctl);
        });
}

void textSizeProperty(ClassInfo *c) {
    controlProperty(
        c, "TextSize", "integer", [](Control &ctl) { return Value(int64_t(ctl.textSize)); },
        [](Control &ctl, const Value &v) {
            ctl.textSize = intOf(v);
            backend().controlChanged(ctl);
        });
}

// The kind's own properties, as its row lists them.
void defineKindMembers(ClassInfo *c, const ControlKindInfo &k) {
    using I = ControlKindInfo;
    for (auto [member, name] : {std::pair{I::MemberCaption, "Caption"},
                                {I::MemberText, "Text"},
                                {I::MemberValue, "Value"},
                                {I::MemberMinimum, "Minimum"},
                                {I::MemberMaximum, "Maximum"},
                                {I::MemberListIndex, "ListIndex"}})
        if (k.members & member) modelControlProperty(c, name);
    if (k.members & I::MemberListCount)
        controlReadOnly(c, "ListCount", "integer", [](Control &ctl) { return Value(int64_t(ctl.rows().size())); });
    // The text of the selected row ("" when none is selected).
    if (k.members & I::MemberSelectedText)
        controlReadOnly(c, "Text", "String", [](Control &ctl) {
            int i = ctl.listIndex();
            return Value(String(i >= 0 && size_t(i) < ctl.rows().size() ? ctl.rows()[size_t(i)] : ""));
        });
    if (k.members & I::MemberBold) boldProperty(c);
    if (k.members & I::MemberTextSize) textSizeProperty(c);
}

struct ControlClasses {
    ClassInfo *control = nullptr, *rect = nullptr;
    std::array<ClassInfo *, size_t(ControlKind::ProgressWheel) + 1> kind{};  // a class per kind
};

const ControlClasses &controlClasses() {
    static const ControlClasses cc = [] {
        ControlClasses r;
        r.control = defineClass<ControlObjectFields>("Control");
        if (!r.control) r.control = findClass("Control");
        controlReadOnly(r.control, "Name", "String", [](Control &ctl) { return Value(String(ctl.name())); });
        controlReadOnly(r.control, "Window", "Window",
                        [](Control &ctl) { return Value(ObjRef::retain(ctl.window().handle())); });
        r.rect = defineSubclass("RectControl", r.control);
        if (!r.rect) r.rect = r.control;
        for (const char *n : {"Left", "Top", "Width", "Height", "Enabled", "Visible"}) modelControlProperty(r.rect, n);
        controlProperty(
            r.rect, "HelpTag", "String", [](Control &ctl) { return Value(String(ctl.helpTag)); },
            [](Control &ctl, const Value &v) {
                if (auto *s = std::get_if<String>(&v)) ctl.helpTag = s->str();
            });
        for (const ControlKindInfo &info : kindTable()) {
            ClassInfo *k = info.hostClass ? defineSubclass(info.name, r.rect) : nullptr;
            if (k) defineKindMembers(k, info);
            // No class of its own, or its name taken elsewhere: the plain RectControl.
            r.kind[size_t(info.kind)] = k ? k : r.rect;
        }
        return r;
    }();
    return cc;
}

ClassInfo *controlClass() { return controlClasses().control; }

// "REALGetControlFocus"(control): whether it has its window's focus.
extern "C" RBBoolean svcGetControlFocus(REALobject o) {
    Control *c = uihost::controlOf(o);
    return c && c->hasFocus() ? 1 : 0;
}
// "REALSetControlFocus"(control, focus): gives it the focus, or takes the
// focus from it (the window keeps it then).
extern "C" void svcSetControlFocus(REALobject o, RBBoolean focus) {
    Control *c = uihost::controlOf(o);
    if (!c) return;
    if (focus & 1) c->setFocus();
    else if (c->hasFocus()) c->window().setFocus(nullptr);
}

struct Registrar {
    Registrar() {
        using sel::Kind;
        registerService("RuntimeHideWindow", reinterpret_cast<void *>(&svcHideWindow));
        registerService("RuntimeShowWindow", reinterpret_cast<void *>(&svcShowWindow));
        registerService("RuntimeCloseWindow", reinterpret_cast<void *>(&svcCloseWindow));
        registerService("windowControl", reinterpret_cast<void *>(&svcWindowControl));
        registerService("RuntimeWindowControlByName", reinterpret_cast<void *>(&svcWindowControlByName));
        registerService("REALGetControlFocus", reinterpret_cast<void *>(&svcGetControlFocus));
        registerService("REALSetControlFocus", reinterpret_cast<void *>(&svcSetControlFocus));

        for (const char *g : {"intGetter", "windowPosGetter", "windowMinMaxWidthHeightGetter",
                              "windowControlCountGetter", "ctlPosGetter", "scrollerPropGetter", "progressValueGetter",
                              "progressMaximumGetter", "RuntimeComboBoxCountGetter", "RuntimeComboBoxSelectionGetter",
                              "RuntimeComboBoxTextSizeGetter", "editTextSizeGetter"})
            sel::defineGetter(g, Kind::Int);
        for (const char *s : {"intSetter", "windowPosSetter", "windowMinMaxWidthHeightSetter", "ctlPosSetter",
                              "scrollerPropSetter", "progressValueSetter", "progressMaximumSetter",
                              "RuntimeComboBoxSelectionSetter", "RuntimeComboBoxTextSizeSetter", "editTextSizeSetter"})
            sel::defineSetter(s, Kind::Int);
        for (const char *g : {"boolGetter", "WindowVisibleGetter", "controlEnabledGetter", "controlVisibleGetter",
                              "radioValueGetter", "editBoldGetter"})
            sel::defineGetter(g, Kind::Bool);
        for (const char *s : {"boolSetter", "WindowVisibleSetter", "controlEnabledSetter", "ControlVisibleSetter",
                              "radioValueSetter", "staticAttributeSetter", "editBoldSetter"})
            sel::defineSetter(s, Kind::Bool);
        for (const char *g : {"stringGetter", "windowTitleGetter", "pushButtonTitleGetter", "radioTitleGetter",
                              "groupCaptionGetter", "RuntimeComboBoxTextGetter"})
            sel::defineGetter(g, Kind::String);
        for (const char *s : {"stringSetter", "windowTitleSetter", "controlHelpTagSetter", "pushButtonTitleSetter",
                              "radioTitleSetter", "groupCaptionSetter", "staticCaptionSetter"})
            sel::defineSetter(s, Kind::String);
        sel::defineGetter("controlWindowGetter", Kind::Object);

        // Windows.
        const char *pos[] = {"Left", "Top", "Width", "Height"};
        const char *limits[] = {"MinWidth", "MinHeight", "MaxWidth", "MaxHeight"};
        for (int32_t k = 0; k < 4; ++k) {
            sel::addPair("windowPosGetter", "windowPosSetter", "Window", k, pos[k]);
            sel::addPair("windowMinMaxWidthHeightGetter", "windowMinMaxWidthHeightSetter", "Window", k, limits[k]);
            sel::addPair("ctlPosGetter", "ctlPosSetter", "RectControl", k, pos[k]);
        }
        sel::addPair("WindowVisibleGetter", "WindowVisibleSetter", "Window", 0, "Visible");
        sel::addPair("windowTitleGetter", "windowTitleSetter", "Window", 0, "Title");
        sel::add("windowControlCountGetter", "Window", 0, "ControlCount");

        // Controls.
        sel::addPair("controlEnabledGetter", "controlEnabledSetter", "RectControl", 0, "Enabled");
        sel::addPair("controlVisibleGetter", "ControlVisibleSetter", "RectControl", 0, "Visible");
        sel::addPair("stringGetter", "controlHelpTagSetter", "RectControl", 88, "HelpTag");
        sel::add("stringGetter", "Control", 36, "Name");
        sel::add("controlWindowGetter", "Control", 0, "Window");
        sel::addPair("pushButtonTitleGetter", "pushButtonTitleSetter", "PushButton", 0, "Caption");
        sel::addPair("radioValueGetter", "radioValueSetter", "RadioButton", 0, "Value");
        sel::addPair("radioTitleGetter", "radioTitleSetter", "RadioButton", 0, "Caption");
        sel::addPair("groupCaptionGetter", "groupCaptionSetter", "GroupBox", 0, "Caption");
        sel::addPair("stringGetter", "staticCaptionSetter", "StaticText", 112, "Caption");
        sel::addPair("boolGetter", "staticAttributeSetter", "StaticText", 104, "Bold");
        sel::addPair("scrollerPropGetter", "scrollerPropSetter", "Slider", 0, "Minimum");
        sel::addPair("scrollerPropGetter", "scrollerPropSetter", "Slider", 1, "Value");
        sel::addPair("scrollerPropGetter", "scrollerPropSetter", "Slider", 2, "Maximum");
        sel::addPair("progressValueGetter", "progressValueSetter", "ProgressBar", 0, "Value");
        sel::addPair("progressMaximumGetter", "progressMaximumSetter", "ProgressBar", 0, "Maximum");
        sel::add("RuntimeComboBoxCountGetter", "PopupMenu", 0, "ListCount");
        sel::addPair("RuntimeComboBoxSelectionGetter", "RuntimeComboBoxSelectionSetter", "PopupMenu", 0, "ListIndex");
        sel::addPair("RuntimeComboBoxTextSizeGetter", "RuntimeComboBoxTextSizeSetter", "PopupMenu", 0, "TextSize");
        sel::add("RuntimeComboBoxTextGetter", "PopupMenu", 0, "Text");
        sel::addPair("editBoldGetter", "editBoldSetter", "EditField", 0, "Bold");
        sel::addPair("editTextSizeGetter", "editTextSizeSetter", "EditField", 0, "TextSize");
    }
} registrar;

}  // namespace

void uihost::defineWindowMembers(ClassInfo *c) {
    for (const char *n : {"Left", "Top", "Width", "Height", "Title", "Visible"}) modelWindowProperty(c, n);
    limitProperty(c, "MinWidth", &Window::minWidth);
    limitProperty(c, "MinHeight", &Window::minHeight);
    limitProperty(c, "MaxWidth", &Window::maxWidth);
    limitProperty(c, "MaxHeight", &Window::maxHeight);
    addHostProperty(c, "ControlCount", "integer", [](REALobject o) -> Value {
        Window *w = uihost::windowOf(o);
        return w ? Value(int64_t(w->controls().size())) : Value{};
    });
    c->methods.push_back({"Hide()", reinterpret_cast<void *>(&svcHideWindow), nullptr});
    c->methods.push_back({"Show()", reinterpret_cast<void *>(&svcShowWindow), nullptr});
    c->methods.push_back({"Close()", reinterpret_cast<void *>(&svcCloseWindow), nullptr});
    c->methods.push_back(
        {"Control(index As Integer) As Control", reinterpret_cast<void *>(&svcWindowControl), nullptr});
}

REALobject uihost::newControlObject(Control *c) {
    const ControlClasses &cc = controlClasses();
    REALobject obj = newObject(cc.kind[size_t(c->kind())]);
    if (obj) fields<ControlObjectFields>(obj, cc.control)->control = c;
    return obj;
}

void uihost::detachControlObject(REALobject obj) {
    if (!obj) return;
    fields<ControlObjectFields>(obj, controlClass())->control = nullptr;
    release(obj);
}

Control *uihost::controlOf(REALobject obj) {
    if (!obj || !isA(obj->klass, controlClass())) return nullptr;
    return fields<ControlObjectFields>(obj, controlClass())->control;
}

}  // namespace rb
