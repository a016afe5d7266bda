// A window and its controls as text, one line each.
#include <rb/control_kinds.h>
#include <rb/operator.h>

#include <sstream>

namespace rb::op {

namespace {

std::string quoted(const std::string &s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

const char *windowKindName(WindowKind k) {
    switch (k) {
        case WindowKind::Document:
            return "Document";
        case WindowKind::Floating:
            return "Floating";
        case WindowKind::MovableModal:
            return "MovableModal";
        case WindowKind::Modal:
            return "Modal";
    }
    return "Window";
}

// The state the control's kind shows, in the order of its row's flags.
void state(std::ostream &o, const Control &c) {
    using I = ControlKindInfo;
    unsigned shows = kindInfo(c.kind()).shows;
    if (shows & I::ShowsCaption) o << " caption=" << quoted(c.caption());
    if ((shows & I::ShowsIcon) && c.icon != Icon::NoIcon) o << " icon=" << iconName(c.icon);
    if (shows & I::ShowsText) o << " text=" << quoted(c.text());
    if (shows & I::ShowsValue) o << " value=" << c.value();
    if (shows & I::ShowsRange) o << " range=" << c.minimum() << ".." << c.maximum();
    if (shows & I::ShowsMaximum) o << " max=" << c.maximum();
    if ((shows & I::ShowsPicture) && c.backdrop) o << " picture=" << c.backdrop->width << 'x' << c.backdrop->height;
    if (shows & I::ShowsRows) {
        o << " index=" << c.listIndex() << " rows=";
        for (size_t i = 0; i < c.rows().size(); ++i) o << (i ? "," : "") << quoted(c.rows()[i]);
    }
}

}  // namespace

std::string dump(const std::string &windowClass) {
    Window *w = findWindow(windowClass);
    if (!w) return "no open window " + windowClass + "\n";
    std::ostringstream o;
    o << w->className() << ' ' << quoted(w->title()) << ' ' << windowKindName(w->kind()) << " at " << w->left() << ','
      << w->top() << " size " << w->width() << 'x' << w->height() << (w->visible() ? " visible" : " hidden") << '\n';
    for (auto &cp : w->controls()) {
        const Control &c = *cp;
        Rect b = c.bounds();
        o << "  " << c.name() << ' ' << kindName(c.kind()) << ' ' << b.left << ',' << b.top << ' ' << b.width << 'x'
          << b.height;
        state(o, c);
        if (!c.enabled()) o << " disabled";
        if (!c.visible()) o << " hidden";
        if (c.hasFocus()) o << " focus";
        o << '\n';
    }
    return o.str();
}

}  // namespace rb::op
