// The window, control, menu and dialog model.
//
// Everything here runs on the main thread (or in a cooperative thread that
// holds the runtime's baton), so the shared state needs no locks.
#include <rb/control_kinds.h>
#include <rb/files.h>
#include <rb/loop.h>
#include <rb/showurl.h>
#include <rb/thread.h>
#include <rb/ui.h>

#include "core.h"
#include "loop/modal_loop.h"
#include "windows/ui_host.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <map>
#include <strings.h>
#include <typeindex>
#include <utility>

namespace rb {

namespace {

bool sameName(const std::string &a, const std::string &b) {
    return a.size() == b.size() && ::strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

struct State {
    std::vector<Window *> open;  // front to back
    std::map<std::type_index, Window *> implicit;
    int dispatching = 0;  // events being handled
    Application *app = nullptr;
    Screen screen;
    bool keys[128] = {};
    std::unique_ptr<Backend> backend = std::make_unique<HeadlessBackend>();
    // Last, so that windows still held at exit are destroyed first, while
    // the lists they take themselves out of are still there.
    std::vector<std::shared_ptr<Window>> held;       // windows the framework keeps
    std::vector<std::shared_ptr<Window>> graveyard;  // closed, waiting to be freed
    State() { setShowURLHandler(backend->urlHandler()); }
};

State &state() {
    static State s;
    return s;
}

// Marks an event being handled, so closed windows are not freed under it.
// Windows closed meanwhile (under an open dialog, say) are freed on the
// next loop pass once the last event is handled.
struct Dispatch {
    Dispatch() { ++state().dispatching; }
    ~Dispatch() {
        if (--state().dispatching == 0 && !state().graveyard.empty()) uihost::post([] { collectClosedWindows(); });
    }
    Dispatch(const Dispatch &) = delete;
    Dispatch &operator=(const Dispatch &) = delete;
};

template <class F> void dispatch(F &&f) {
    Dispatch d;
    f();
}

void unlink(Window *w) {
    auto &s = state();
    s.open.erase(std::remove(s.open.begin(), s.open.end(), w), s.open.end());
    for (auto it = s.implicit.begin(); it != s.implicit.end();)
        it = it->second == w ? s.implicit.erase(it) : std::next(it);
}

bool isOpen(const Window *w) {
    auto &o = state().open;
    return std::find(o.begin(), o.end(), w) != o.end();
}

// Menu handlers by item name, of a window or of the application: a second
// handler for an item replaces the first.
using MenuHandlers = std::vector<std::pair<std::string, std::function<void()>>>;

void setMenuHandler(MenuHandlers &handlers, const std::string &item, std::function<void()> h) {
    for (auto &m : handlers)
        if (sameName(m.first, item)) {
            m.second = std::move(h);
            return;
        }
    handlers.emplace_back(item, std::move(h));
}

// Runs the handler of `item` (on a copy: it may replace itself); false when
// there is none.
bool runMenuHandler(const MenuHandlers &handlers, const std::string &item) {
    for (auto &m : handlers)
        if (sameName(m.first, item) && m.second) {
            auto fn = m.second;
            dispatch(fn);
            return true;
        }
    return false;
}

}  // namespace

// ---- Control ------------------------------------------------------------------------

Control::Control(Window &owner, ControlKind kind, std::string name, Rect r)
    : owner_(owner), kind_(kind), name_(std::move(name)), bounds_(r) {}

Control::~Control() {
    if (handle_) uihost::detachControlObject(handle_);
}

REALobject Control::handle() {
    if (!handle_) handle_ = uihost::newControlObject(this);
    return handle_;
}

void Control::setBounds(Rect r) {
    bounds_ = r;
    backend().controlChanged(*this);
}

void Control::setEnabled(bool e) {
    if (enabled_ == e) return;
    enabled_ = e;
    backend().controlChanged(*this);
}

void Control::setVisible(bool v) {
    if (visible_ == v) return;
    visible_ = v;
    backend().controlChanged(*this);
}

void Control::setText(const std::string &t) {
    if (text_ == t) return;
    text_ = t;
    backend().controlChanged(*this);
}

void Control::setMinimum(int v) {
    min_ = v;
    backend().controlChanged(*this);
}

void Control::setMaximum(int v) {
    max_ = v;
    backend().controlChanged(*this);
}

void Control::setValue(int v) {
    if (kind_ == ControlKind::Slider) v = std::clamp(v, std::min(min_, max_), std::max(min_, max_));
    if (kind_ == ControlKind::RadioButton) {
        v = v ? 1 : 0;
        if (v)
            for (auto &c : owner_.controls_)
                if (c.get() != this && c->kind_ == ControlKind::RadioButton && sameName(c->parentName, parentName) &&
                    c->value_) {
                    c->value_ = 0;
                    backend().controlChanged(*c);
                }
    }
    if (value_ == v) return;
    value_ = v;
    backend().controlChanged(*this);
    raise("ValueChanged");
}

void Control::addRow(const std::string &row) {
    rows_.push_back(row);
    backend().controlChanged(*this);
}

void Control::removeAllRows() {
    rows_.clear();
    listIndex_ = -1;
    backend().controlChanged(*this);
}

void Control::setListIndex(int i) {
    if (i < -1 || i >= int(rows_.size()) || i == listIndex_) return;
    listIndex_ = i;
    backend().controlChanged(*this);
    raise("Change");
}

bool Control::hasFocus() const { return owner_.focus_ == this; }

void Control::setFocus() { owner_.setFocus(this); }

void Control::push() {
    if (!enabled_ || !visible_) return;
    switch (kindInfo(kind_).click) {
        case ControlKindInfo::ClickAction:
            raise("Action");
            break;
        case ControlKindInfo::ClickSelect:
            setValue(1);
            raise("Action");
            break;
        case ControlKindInfo::ClickFocus:
            setFocus();
            break;
        case ControlKindInfo::ClickNothing:
            break;
    }
}

void Control::on(const std::string &event, std::function<void()> handler) {
    for (auto &h : handlers_)
        if (h.first == event) {
            h.second = std::move(handler);
            return;
        }
    handlers_.emplace_back(event, std::move(handler));
}

bool Control::raise(const std::string &event) {
    if (handle_) {
        bool ran = false;
        dispatch([&] { ran = uihost::raiseInstanceEvent(handle_, event); });
        if (ran) return true;
    }
    for (auto &h : handlers_)
        if (h.first == event && h.second) {
            auto fn = h.second;  // the handler may rebind itself
            dispatch(fn);
            return true;
        }
    return false;
}

// ---- Window -------------------------------------------------------------------------

Window::Window(std::string className, WindowKind kind, std::string title, int width, int height)
    : className_(std::move(className)), kind_(kind), title_(std::move(title)) {
    Screen s = mainScreen();
    bounds_ = {std::max(0, (s.width - width) / 2), std::max(0, (s.height - height) / 3), width, height};
    state().open.push_back(this);
}

Window::~Window() {
    unlink(this);
    if (handle_) uihost::detachWindowObject(handle_);
}

void Window::setTitle(const std::string &t) {
    title_ = t;
    backend().windowChanged(*this);
}

void Window::setLeft(int v) {
    bounds_.left = v;
    backend().windowChanged(*this);
}

void Window::setTop(int v) {
    bounds_.top = v;
    backend().windowChanged(*this);
}

void Window::setWidth(int v) { setSize(v, bounds_.height); }
void Window::setHeight(int v) { setSize(bounds_.width, v); }

void Window::setSize(int w, int h) {
    w = std::clamp(w, minWidth, std::max(minWidth, maxWidth));
    h = std::clamp(h, minHeight, std::max(minHeight, maxHeight));
    if (w == bounds_.width && h == bounds_.height) return;
    int dw = w - bounds_.width, dh = h - bounds_.height;
    bounds_.width = w;
    bounds_.height = h;
    for (auto &c : controls_) {
        if (!c->lockRight && !c->lockBottom) continue;
        Rect r = c->bounds();
        if (c->lockRight) r.width = std::max(0, r.width + dw);
        if (c->lockBottom) r.height = std::max(0, r.height + dh);
        c->setBounds(r);
    }
    backend().windowChanged(*this);
    if (opened_ && !closed_)
        dispatch([this] {
            if (!instanceEvent("Resized")) Resized();
        });
}

void Window::setVisible(bool v) {
    if (v) {
        show();
        return;
    }
    visible_ = false;
    backend().windowChanged(*this);
}

void Window::show() {
    if (closed_) return;
    visible_ = true;
    auto &o = state().open;
    o.erase(std::remove(o.begin(), o.end(), this), o.end());
    o.insert(o.begin(), this);
    backend().windowChanged(*this);
}

void Window::showModalWithin(Window & /*parent*/) {
    show();
    backend().runModal(*this);
}

void Window::close() {
    if (closed_) return;
    closed_ = true;
    std::exception_ptr err;
    try {
        dispatch([this] {
            if (!instanceEvent("Close")) Close();
        });
    } catch (...) {
        err = std::current_exception();
    }
    visible_ = false;
    focus_ = nullptr;
    unlink(this);
    auto &s = state();
    for (auto it = s.held.begin(); it != s.held.end(); ++it)
        if (it->get() == this) {
            s.graveyard.push_back(std::move(*it));
            s.held.erase(it);
            break;
        }
    backend().windowClosed(*this);
    uihost::post([] { collectClosedWindows(); });
    if (err) std::rethrow_exception(err);
}

void Window::requestClose() {
    if (closed_ || !closeBox) return;
    bool keep = false;
    dispatch([&] { keep = CancelClose(false); });
    if (!keep) close();
}

void Window::refresh(bool immediately) {
    if (closed_) return;
    backend().windowChanged(*this);
    if (immediately) {
        paintPending_ = false;
        dispatch([this] {
            if (!instanceEvent("Paint")) Paint();
        });
        return;
    }
    if (paintPending_) return;
    paintPending_ = true;
    // The window may be gone by then: find it among the open ones first.
    uihost::post([w = this] {
        if (!isOpen(w) || !w->paintPending_) return;
        w->paintPending_ = false;
        dispatch([w] {
            if (!w->instanceEvent("Paint")) w->Paint();
        });
    });
}

Control *Window::control(const std::string &name) const {
    for (auto &c : controls_)
        if (sameName(c->name(), name)) return c.get();
    return nullptr;
}

Control &Window::add(ControlKind kind, const std::string &name, Rect r) {
    controls_.push_back(std::make_unique<Control>(*this, kind, name, r));
    return *controls_.back();
}

void Window::setFocus(Control *c) {
    if (c == focus_) return;
    Control *old = focus_;
    focus_ = c;
    if (old) old->raise("LostFocus");
    if (c && focus_ == c) c->raise("GotFocus");
}

void Window::addMenuHandler(const std::string &item, std::function<void()> h) {
    setMenuHandler(menuHandlers_, item, std::move(h));
}

bool Window::handleMenu(const std::string &item) { return runMenuHandler(menuHandlers_, item); }

REALobject Window::handle() {
    if (!handle_) handle_ = uihost::newWindowObject(this);
    return handle_;
}

void Window::runOpen() {
    if (opened_) return;
    opened_ = true;
    for (size_t i = 0; i < controls_.size(); ++i) controls_[i]->raise("Open");
    dispatch([this] {
        if (!instanceEvent("Open")) Open();
    });
}

bool Window::instanceEvent(const char *event) { return handle_ && uihost::raiseInstanceEvent(handle_, event); }

std::vector<Window *> windows() { return state().open; }

Window *findWindow(const std::string &className) {
    for (Window *w : state().open)
        if (sameName(w->className(), className)) return w;
    return nullptr;
}

Window *frontWindow() {
    for (Window *w : state().open)
        if (w->visible() && w->kind() != WindowKind::Floating) return w;
    return nullptr;
}

namespace detail {

Window *implicitFind(const std::type_info &t) {
    auto &m = state().implicit;
    auto it = m.find(std::type_index(t));
    return it == m.end() ? nullptr : it->second;
}

void holdWindow(std::shared_ptr<Window> w, const std::type_info *implicitType) {
    auto &s = state();
    if (implicitType) s.implicit[std::type_index(*implicitType)] = w.get();
    s.held.push_back(std::move(w));
}

}  // namespace detail

void collectClosedWindows() {
    auto &s = state();
    if (s.dispatching > 0 || s.graveyard.empty()) return;
    auto dead = std::move(s.graveyard);
    s.graveyard.clear();
    Dispatch d;  // a destructor that closes another window must not recurse here
    dead.clear();
}

// ---- menus --------------------------------------------------------------------------

namespace {

MenuItem *findItem(std::list<MenuItem> &items, const std::string &name) {
    for (auto &i : items) {
        if (sameName(i.name, name)) return &i;
        if (MenuItem *c = findItem(i.children, name)) return c;
    }
    return nullptr;
}

void resetEnabled(std::list<MenuItem> &items) {
    for (auto &i : items) {
        i.enabled = i.autoEnable;
        resetEnabled(i.children);
    }
}

}  // namespace

MenuItem &MenuBar::append(MenuItem menu) {
    menu.enabled = true;
    menus_.push_back(std::move(menu));
    return menus_.back();
}

MenuItem *MenuBar::appendTo(const std::string &menuName, MenuItem item) {
    for (auto &m : menus_)
        if (sameName(m.name, menuName)) {
            m.children.push_back(std::move(item));
            return &m.children.back();
        }
    return nullptr;
}

MenuItem *MenuBar::child(const std::string &name) { return findItem(menus_, name); }

// ---- Application ---------------------------------------------------------------------

Application::Application() {
    if (!state().app) state().app = this;
    uihost::post([this] {
        if (state().app == this) start();
    });
}

Application::~Application() {
    if (state().app == this) state().app = nullptr;
}

Application *app() { return state().app; }

void Application::addMenuHandler(const std::string &item, std::function<void()> h) {
    setMenuHandler(menuHandlers_, item, std::move(h));
}

void Application::start() {
    if (started_) return;
    started_ = true;
    dispatch([this] { Open(); });
}

void Application::updateMenus() {
    if (!menuBar) return;
    for (auto &m : const_cast<std::list<MenuItem> &>(menuBar->menus())) resetEnabled(m.children);
    if (Window *w = frontWindow()) dispatch([w] { w->EnableMenuItems(); });
    dispatch([this] { EnableMenuItems(); });
    backend().menusChanged(*menuBar);
}

bool Application::chooseMenu(const std::string &name) {
    MenuItem *item = menuBar ? menuBar->child(name) : nullptr;
    if (!item) return false;
    updateMenus();
    item = menuBar->child(name);  // a handler may have rebuilt the bar
    if (!item || !item->enabled) return false;
    if (Window *w = frontWindow(); w && w->handleMenu(name)) return true;
    if (runMenuHandler(menuHandlers_, name)) return true;
    if (item->kind == MenuItem::Quit) {
        quit(0);
        return true;
    }
    return false;
}

void Application::quit(int code) {
    if (quitting_) return;
    exitCode_ = code;
    core::dismissThreadDialogs();
    bool cancelled = false;
    for (Window *w : windows())
        if (isOpen(w)) dispatch([&] { cancelled = w->CancelClose(true) || cancelled; });
    dispatch([&] { cancelled = CancelClose() || cancelled; });
    if (cancelled || quitting_) return;
    quitting_ = true;
    std::exception_ptr err;
    for (Window *w : windows()) {
        try {
            w->close();
        } catch (...) {
            if (!err) err = std::current_exception();
        }
    }
    try {
        dispatch([this] { Close(); });
    } catch (...) {
        if (!err) err = std::current_exception();
    }
    uihost::quitLoop(code);
    if (err) std::rethrow_exception(err);
}

void Application::setActive(bool a) {
    if (a == active_) return;
    active_ = a;
    dispatch([this] { active_ ? Activate() : Deactivate(); });
}

// ---- screen, keys, dialogs ----------------------------------------------------------

Screen mainScreen() { return state().screen; }
void setMainScreen(Screen s) { state().screen = s; }

bool asyncKeyDown(int code) { return code >= 0 && code < 128 && state().keys[code]; }

void setKeyDown(int code, bool down) {
    if (code >= 0 && code < 128) state().keys[code] = down;
}

namespace {

DialogAnswer askHere(const DialogRequest &r) {
    DialogAnswer a;
    dispatch([&] { a = backend().ask(r); });
    return a;
}

// A dialog asked from a cooperative thread (the capture thread, say) is
// shown by the main thread while the asking thread waits.
DialogAnswer ask(const DialogRequest &r) {
    return core::answerOnMainThread([r] { return askHere(r); });
}

}  // namespace

bool msgBox(const std::string &text) {
    DialogRequest r;
    r.kind = DialogRequest::Message;
    r.text = text;
    r.actionCaption = "OK";
    return !ask(r).dismissed;
}

std::string MessageDialog::showModal() {
    DialogRequest r;
    r.kind = DialogRequest::MessageDialog;
    r.text = message;
    r.explanation = explanation;
    r.actionCaption = actionCaption;
    r.cancelCaption = cancelCaption;
    DialogAnswer a = ask(r);
    if (a.dismissed) return {};
    return a.button.empty() ? actionCaption : a.button;
}

namespace {

// The folder a file dialog opens in: `folder` while it is there, else the
// home folder (an empty path).
std::string openingFolder(const std::shared_ptr<FolderItem> &folder) {
    return folder && folder->isFolder() ? folder->absolutePath() : std::string();
}

}  // namespace

std::shared_ptr<FolderItem> saveFileDialog(const std::string &title, const std::string &prompt,
                                           const std::string &actionCaption, const std::string &suggestedName,
                                           bool *dismissed, const std::shared_ptr<FolderItem> &folder) {
    DialogRequest r;
    r.kind = DialogRequest::SaveFile;
    r.title = title;
    r.prompt = prompt;
    r.actionCaption = actionCaption;
    r.suggestedName = suggestedName;
    r.folder = openingFolder(folder);
    for (;;) {
        DialogAnswer a = ask(r);
        if (dismissed) *dismissed = a.dismissed;
        if (a.cancelled || a.path.empty()) return nullptr;
        std::shared_ptr<FolderItem> chosen = FolderItem::make(a.path);
        if (!chosen->exists() || chosen->isFolder()) return chosen;
        // A file of that name is there: asked first, as the desktop's own
        // save dialogs ask, in the program's loop (GTK's own question would
        // wait in a loop of GTK's, where a quit is not heard). Nobody's
        // answer keeps the file; Cancel goes back to the dialog.
        DialogRequest q;
        q.kind = DialogRequest::MessageDialog;
        q.text = "A file named \"" + chosen->name() + "\" already exists.  Do you want to replace it?";
        std::shared_ptr<FolderItem> parent = chosen->parent();
        q.explanation = "The file already exists in \"" + (parent ? parent->absolutePath() : std::string("/")) +
                        "\".  Replacing it will overwrite its contents.";
        q.actionCaption = "Replace";
        q.cancelCaption = "Cancel";
        q.cancelByDefault = true;
        DialogAnswer replace = ask(q);
        if (dismissed) *dismissed = replace.dismissed;
        if (replace.dismissed) return nullptr;
        if (!replace.cancelled && replace.button == q.actionCaption) return chosen;
        r.folder = openingFolder(parent);
        r.suggestedName = chosen->name();
    }
}

std::shared_ptr<FolderItem> selectFolderDialog(const std::string &actionCaption, bool *dismissed) {
    // The next one opens at the folder chosen last; a cancel keeps it.
    static std::shared_ptr<FolderItem> chosenLast;
    DialogRequest r;
    r.kind = DialogRequest::SelectFolder;
    r.actionCaption = actionCaption;
    r.folder = openingFolder(chosenLast);
    DialogAnswer a = ask(r);
    if (dismissed) *dismissed = a.dismissed;
    if (a.cancelled || a.path.empty()) return nullptr;
    chosenLast = FolderItem::make(a.path);
    return chosenLast;
}

// ---- backend ------------------------------------------------------------------------

Backend &backend() { return *state().backend; }

HeadlessBackend *headlessBackend() { return dynamic_cast<HeadlessBackend *>(state().backend.get()); }

bool headlessRequested() {
    const char *h = std::getenv("TAVRIN_HEADLESS");
    return h && *h && std::string(h) != "0";
}

bool setBackend(std::unique_ptr<Backend> b) {
    if (b && !b->headless() && headlessRequested()) return false;
    std::unique_ptr<Backend> old = std::move(state().backend);
    state().backend = b ? std::move(b) : std::make_unique<HeadlessBackend>();
    setShowURLHandler(state().backend->urlHandler());
    return true;
}

}  // namespace rb
