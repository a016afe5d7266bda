// The operator's actions on windows, controls, menus and keys.
#include "operator_internal.h"

#include <rb/loop.h>
#include <rb/operator.h>

namespace rb::op {

namespace detail {

namespace {
std::string &lastErrorText() {
    static std::string s;
    return s;
}
}  // namespace

bool fail(const std::string &why) {
    lastErrorText() = why;
    return false;
}

Window *windowNamed(const std::string &cls) {
    Window *w = findWindow(cls);
    if (!w) fail("no open window " + cls);
    return w;
}

Control *controlNamed(const std::string &cls, const std::string &name) {
    Window *w = windowNamed(cls);
    if (!w) return nullptr;
    Control *c = w->control(name);
    if (!c) fail("no control " + name + " in " + cls);
    return c;
}

}  // namespace detail

using detail::act;
using detail::controlNamed;
using detail::fail;
using detail::windowNamed;

bool click(const std::string &windowClass, const std::string &control) {
    return act([&] {
        if (control.empty()) {
            Window *w = windowNamed(windowClass);
            if (!w) return false;
            w->MouseDown(w->width() / 2, w->height() / 2);
            return true;
        }
        Control *c = controlNamed(windowClass, control);
        if (!c) return false;
        c->push();  // a disabled control ignores the click
        return true;
    });
}

bool type(const std::string &windowClass, const std::string &field, const std::string &text) {
    return act([&] {
        Control *c = controlNamed(windowClass, field);
        if (!c) return false;
        if (c->kind() != ControlKind::EditField) return fail(field + " is not a text field");
        if (!c->enabled() || !c->visible()) return fail(field + " does not take typing");
        c->setFocus();
        c->setText(text);
        return true;
    });
}

bool setSlider(const std::string &windowClass, const std::string &slider, int value) {
    return act([&] {
        Control *c = controlNamed(windowClass, slider);
        if (!c) return false;
        if (c->kind() != ControlKind::Slider) return fail(slider + " is not a slider");
        if (c->enabled()) c->setValue(value);
        return true;
    });
}

bool mouseExit(const std::string &windowClass, const std::string &control) {
    return act([&] {
        Control *c = controlNamed(windowClass, control);
        if (!c) return false;
        c->raise("MouseExit");
        return true;
    });
}

bool selectRow(const std::string &windowClass, const std::string &popup, int index) {
    return act([&] {
        Control *c = controlNamed(windowClass, popup);
        if (!c) return false;
        if (c->kind() != ControlKind::PopupMenu) return fail(popup + " is not a popup menu");
        if (index < 0 || index >= int(c->rows().size())) return fail(popup + " has no row " + std::to_string(index));
        if (c->enabled()) c->setListIndex(index);
        return true;
    });
}

bool chooseMenu(const std::string &item) {
    return act([&] {
        if (!app()) return fail("no application");
        if (!app()->chooseMenu(item)) return fail("menu item " + item + " is missing, disabled or unhandled");
        return true;
    });
}

bool closeWindow(const std::string &windowClass) {
    return act([&] {
        Window *w = windowNamed(windowClass);
        if (!w) return false;
        if (!w->closeBox) return fail(windowClass + " has no close box");
        w->requestClose();
        return true;
    });
}

void keyDown(int code) { setKeyDown(code, true); }
void keyUp(int code) { setKeyDown(code, false); }

void setActive(bool active) {
    act([&] {
        if (app()) app()->setActive(active);
        return true;
    });
}

void runFor(int ms) {
    rb::runFor(ms);
    collectClosedWindows();
}

const std::string &lastError() { return detail::lastErrorText(); }

}  // namespace rb::op
