// The scripted operator: acts on the window model as a person would, keeps
// the queue of dialog answers and the log of what was shown, and runs
// operator scripts.
#include <rb/operator.h>

#include "ui_host.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>

namespace rb::op {

namespace {

struct State {
    std::deque<Answer> answers;
    std::vector<Shown> shown;
    std::vector<std::string> opened;
    std::string lastError;
};

State &state() {
    static State s;
    return s;
}

bool fail(const std::string &why) {
    state().lastError = why;
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

// After every action: free the windows it closed.
template <class F> bool act(F &&f) {
    bool ok = f();
    collectClosedWindows();
    return ok;
}

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

}  // namespace

// ---- acting -----------------------------------------------------------------------

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
    uihost::runFor(ms);
    collectClosedWindows();
}

const std::string &lastError() { return state().lastError; }

// ---- dialogs ----------------------------------------------------------------------

void answerNext(Answer a) { state().answers.push_back(std::move(a)); }
size_t pendingAnswers() { return state().answers.size(); }

std::optional<DialogAnswer> scriptedAnswer(const DialogRequest &r) {
    bool fileDialog = r.kind == DialogRequest::SaveFile || r.kind == DialogRequest::SelectFolder;
    auto &q = state().answers;
    if (q.empty()) return std::nullopt;
    Answer::Kind k = q.front().kind;
    bool fits = fileDialog ? (k == Answer::File || k == Answer::Folder || k == Answer::Cancel)
                           : (k == Answer::OK || k == Answer::Button || k == Answer::Cancel);
    if (!fits) return std::nullopt;
    Answer a = q.front();
    q.pop_front();
    DialogAnswer out;
    switch (a.kind) {
        case Answer::OK:
            out.button = r.actionCaption;
            break;
        case Answer::Button:
            out.button = a.text;
            break;
        case Answer::File:
        case Answer::Folder:
            out.path = a.text;
            break;
        case Answer::Cancel:
            out.cancelled = true;
            if (!fileDialog) out.button = r.cancelCaption.empty() ? r.actionCaption : r.cancelCaption;
            break;
    }
    return out;
}

DialogAnswer nextAnswer(const DialogRequest &r) {
    if (std::optional<DialogAnswer> a = scriptedAnswer(r)) return *a;
    DialogAnswer out;
    if (r.kind == DialogRequest::SaveFile || r.kind == DialogRequest::SelectFolder) out.cancelled = true;
    else out.button = r.actionCaption;
    return out;
}

void record(const DialogRequest &r, const DialogAnswer &a) { state().shown.push_back({r, a}); }
void recordOpened(const std::string &target) { state().opened.push_back(target); }

std::vector<std::string> messages() {
    std::vector<std::string> out;
    for (auto &s : state().shown) {
        const DialogRequest &r = s.request;
        if (!r.text.empty()) out.push_back(r.text);
        else if (!r.title.empty()) out.push_back(r.title);
        else if (!r.prompt.empty()) out.push_back(r.prompt);
        else out.push_back(r.actionCaption);
    }
    return out;
}

const std::vector<Shown> &shown() { return state().shown; }
const std::vector<std::string> &opened() { return state().opened; }

void reset() {
    state() = State{};
    for (int k = 0; k < 128; ++k) setKeyDown(k, false);
}

// ---- looking ----------------------------------------------------------------------

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
        switch (c.kind()) {
            case ControlKind::PushButton:
            case ControlKind::BevelButton:
            case ControlKind::GroupBox:
                o << " caption=" << quoted(c.caption());
                if (!c.iconName.empty()) o << " icon=" << c.iconName;
                break;
            case ControlKind::RadioButton:
                o << " caption=" << quoted(c.caption()) << " value=" << c.value();
                break;
            case ControlKind::StaticText:
            case ControlKind::EditField:
                o << " text=" << quoted(c.text());
                break;
            case ControlKind::Slider:
                o << " value=" << c.value() << " range=" << c.minimum() << ".." << c.maximum();
                break;
            case ControlKind::ProgressBar:
                o << " value=" << c.value() << " max=" << c.maximum();
                break;
            case ControlKind::Canvas:
                if (c.backdrop) o << " picture=" << c.backdrop->width << 'x' << c.backdrop->height;
                break;
            case ControlKind::PopupMenu: {
                o << " index=" << c.listIndex() << " rows=";
                for (size_t i = 0; i < c.rows().size(); ++i) o << (i ? "," : "") << quoted(c.rows()[i]);
                break;
            }
            default:
                break;
        }
        if (!c.enabled()) o << " disabled";
        if (!c.visible()) o << " hidden";
        if (c.hasFocus()) o << " focus";
        o << '\n';
    }
    return o.str();
}

// ---- scripts ----------------------------------------------------------------------

namespace {

// The words of a line, and where each starts (for "the rest of the line").
struct Words {
    std::vector<std::string> w;
    std::vector<size_t> at;
    std::string line;
    std::string rest(size_t i) const {
        if (i >= w.size()) return {};
        std::string r = line.substr(at[i]);
        while (!r.empty() && (r.back() == ' ' || r.back() == '\t' || r.back() == '\r')) r.pop_back();
        return r;
    }
};

Words split(const std::string &line) {
    Words out;
    out.line = line;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i >= line.size()) break;
        size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r') ++j;
        out.at.push_back(i);
        out.w.push_back(line.substr(i, j - i));
        i = j;
    }
    return out;
}

bool number(const std::string &s, int &v) {
    if (s.empty()) return false;
    char *end = nullptr;
    long n = std::strtol(s.c_str(), &end, 10);
    if (*end || n < -1000000000L || n > 1000000000L) return false;
    v = int(n);
    return true;
}

// Runs one command. `waitMs` >= 0 asks the caller to run the loop that long;
// `stop` ends the script.
bool execute(const std::string &line, std::string &out, int &waitMs, bool &stop) {
    waitMs = -1;
    stop = false;
    Words ws = split(line);
    if (ws.w.empty() || ws.w[0][0] == '#') return true;
    const auto &w = ws.w;
    const std::string &cmd = w[0];
    int n = 0;
    auto usage = [&] { return fail("cannot read: " + line); };
    try {
        if (cmd == "click") {
            if (w.size() == 2) return click(w[1], "");
            if (w.size() == 3) return click(w[1], w[2]);
            return usage();
        }
        if (cmd == "type") {
            if (w.size() < 3) return usage();
            return type(w[1], w[2], ws.rest(3));
        }
        if (cmd == "slider") {
            if (w.size() != 4 || !number(w[3], n)) return usage();
            return setSlider(w[1], w[2], n);
        }
        if (cmd == "exit") {
            if (w.size() != 3) return usage();
            return mouseExit(w[1], w[2]);
        }
        if (cmd == "select") {
            if (w.size() != 4 || !number(w[3], n)) return usage();
            return selectRow(w[1], w[2], n);
        }
        if (cmd == "menu") {
            if (w.size() != 2) return usage();
            return chooseMenu(w[1]);
        }
        if (cmd == "close") {
            if (w.size() != 2) return usage();
            return closeWindow(w[1]);
        }
        if (cmd == "key") {
            if (w.size() != 3 || !number(w[2], n) || n < 0 || n > 127) return usage();
            if (w[1] == "down") keyDown(n);
            else if (w[1] == "up") keyUp(n);
            else return usage();
            return true;
        }
        if (cmd == "active") {
            if (w.size() != 2 || !number(w[1], n)) return usage();
            setActive(n != 0);
            return true;
        }
        if (cmd == "answer") {
            if (w.size() < 2) return usage();
            const std::string &k = w[1];
            if (k == "ok") answerOK();
            else if (k == "cancel") answerCancel();
            else if (k == "button" && w.size() > 2) answerButton(ws.rest(2));
            else if (k == "file" && w.size() > 2) answerFile(ws.rest(2));
            else if (k == "folder" && w.size() > 2) answerFolder(ws.rest(2));
            else return usage();
            return true;
        }
        if (cmd == "wait") {
            if (w.size() != 2 || !number(w[1], n) || n < 0) return usage();
            waitMs = n;
            return true;
        }
        if (cmd == "dump") {
            if (w.size() != 2) return usage();
            if (!findWindow(w[1])) return fail("no open window " + w[1]);
            out += dump(w[1]);
            return true;
        }
        if (cmd == "quit") {
            if (w.size() > 2 || (w.size() == 2 && !number(w[1], n))) return usage();
            stop = true;
            if (app()) app()->quit(n);
            else uihost::quitLoop(n);
            collectClosedWindows();
            return true;
        }
    } catch (const std::exception &e) {
        return fail(line + ": " + e.what());
    } catch (...) {
        return fail(line + ": an exception");
    }
    return fail("unknown command: " + line);
}

std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string l;
    while (std::getline(in, l)) out.push_back(l);
    return out;
}

struct ScriptRun {
    std::vector<std::string> lines;
    size_t next = 0;
};

void step(std::shared_ptr<ScriptRun> run) {
    while (run->next < run->lines.size()) {
        const std::string line = run->lines[run->next++];
        std::string out;
        int waitMs;
        bool stop;
        bool ok = execute(line, out, waitMs, stop);
        if (!out.empty()) {
            std::fputs(out.c_str(), stdout);
            std::fflush(stdout);
        }
        if (!ok) {
            std::fprintf(stderr, "script line %zu: %s\n", run->next, lastError().c_str());
            if (app()) app()->quit(1);
            else uihost::quitLoop(1);
            return;
        }
        if (stop) return;
        if (waitMs >= 0) {
            uihost::postAfter(waitMs, [run] { step(run); });
            return;
        }
    }
    if (app() && !app()->quitting()) app()->quit(0);
}

}  // namespace

bool runScript(const std::string &text, std::string &out) {
    for (const std::string &l : lines(text)) {
        int waitMs;
        bool stop;
        if (!execute(l, out, waitMs, stop)) {
            out += "error: " + lastError() + "\n";
            return false;
        }
        if (stop) break;
        if (waitMs >= 0) runFor(waitMs);
    }
    return true;
}

void runScriptFromEnvironment() {
    const char *path = std::getenv("TAVRIN_SCRIPT");
    if (!path || !*path) return;
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "cannot read the operator script %s\n", path);
        if (app()) app()->quit(1);
        else uihost::quitLoop(1);
        return;
    }
    std::stringstream text;
    text << in.rdbuf();
    auto run = std::make_shared<ScriptRun>();
    run->lines = lines(text.str());
    // The first command runs once the start-up events are done.
    uihost::post([run] { step(run); });
}

}  // namespace rb::op
