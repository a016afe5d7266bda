// The backend of the window model (rb/ui.h): what shows the windows, if
// anything, and answers the modal dialogs.
//
// The headless backend shows nothing and answers every dialog from its
// queue of answers given ahead (by a script or a test), else with the
// dialog's default; it keeps a log of what it was asked. An on-screen
// backend takes a queued answer that fits before it asks a person.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rb {

class Window;
class Control;
class MenuBar;
class SurfaceMemory;

struct DialogRequest {
    enum Kind { Message, MessageDialog, SaveFile, SelectFolder } kind = Message;
    std::string text, explanation, title, prompt, actionCaption, cancelCaption, suggestedName;
    // File dialogs: the folder they open in (empty: the home folder).
    std::string folder;
    // Message dialogs: nobody's answer is the cancel button (a question
    // whose action cannot be undone, such as replacing a file).
    bool cancelByDefault = false;
};

struct DialogAnswer {
    bool cancelled = false;
    std::string button;  // message dialogs: the caption pressed
    std::string path;    // file dialogs: the chosen path
    // Closed by a quit of the application, not by a person's OK or Cancel:
    // what the dialog was asked for is not to go on.
    bool dismissed = false;
};

// An answer given ahead for a dialog still to come. Message boxes and
// message dialogs take OK, Button and Cancel answers; file dialogs take
// File, Folder and Cancel.
struct Answer {
    enum Kind { OK, Button, File, Folder, Cancel } kind = OK;
    std::string text;  // the caption or the path
    // How long the dialog stays open before it gets the answer, on the
    // runtime clock, as a person takes time to read and choose; the event
    // loop runs meanwhile.
    int afterMs = 0;
};

class AnswerQueue {
public:
    void push(Answer a) { queue_.push_back(std::move(a)); }
    size_t size() const { return queue_.size(); }
    void clear() { queue_.clear(); }
    // The answer at the front when it fits the request (taken from the
    // queue); nothing otherwise, and the queue stays as it is. An answer
    // that takes time comes once the loop has run that long.
    std::optional<DialogAnswer> take(const DialogRequest &r);

private:
    std::deque<Answer> queue_;
};

// The answer a dialog gets when nobody gives one: OK (its action caption);
// cancel for file dialogs and for a message dialog that cancels by default.
DialogAnswer defaultAnswer(const DialogRequest &r);

// The answer of a dialog closed because the application quits: dismissed
// and cancelled, with its cancel caption (a message box: its action
// caption).
DialogAnswer dismissedAnswer(const DialogRequest &r);

// A dialog and its answer as one line, for a run that shows no windows:
//   message: <text>
//   message: <text> <explanation> [<button pressed>]
//   file dialog (<title>): <path> | cancelled
//   folder dialog (<caption>): <path> | cancelled
std::string describeDialog(const DialogRequest &r, const DialogAnswer &a);

// Runs the event loop (timers, run-loop sources, cooperative threads) until
// `done` holds or the application quits (or, for a dialog that a
// cooperative thread waits on, until a quit is asked for, even one that
// waits for the thread): how every modal dialog and window
// waits for its answer, so that nothing else stops while one is open. Loops
// nest: a dialog opened from inside another waits in a loop of its own.
void runModalLoop(const std::function<bool()> &done);

// What a display needs from the model, and the modal parts only it can do.
struct Backend {
    virtual ~Backend() = default;
    virtual bool headless() const = 0;
    virtual void windowChanged(Window &) {}
    virtual void windowClosed(Window &) {}
    virtual void controlChanged(Control &) {}
    // Memory the display lends the window's video surface for a picture of
    // `width` x `height`, or nullptr: the surface keeps its pixels itself.
    virtual std::shared_ptr<SurfaceMemory> surfaceMemory(Window &, int /*width*/, int /*height*/) { return nullptr; }
    // The window's video surface was painted (Window::surface).
    virtual void surfacePainted(Window &) {}
    virtual void menusChanged(MenuBar &) {}
    virtual void runModal(Window &) {}  // on screen: returns once it is closed
    virtual DialogAnswer ask(const DialogRequest &r) = 0;
    // What showURL does instead of starting the desktop's opener while this
    // backend is installed; nullptr lets the opener have the URL.
    virtual std::function<void(const std::string &)> urlHandler() { return nullptr; }

    // Answers given ahead of the dialogs they are for.
    AnswerQueue answers;
};

class HeadlessBackend : public Backend {
public:
    bool headless() const override { return true; }
    // The queued answer when it fits, else the default; logged.
    DialogAnswer ask(const DialogRequest &r) override;
    // Records the URL (and opens nothing).
    std::function<void(const std::string &)> urlHandler() override;
    // Hands each dialog, as describeDialog tells it, to `echo` once it is
    // answered (nullptr: to nobody), so that a person running the program
    // without a screen reads what its message boxes said.
    void setEcho(std::function<void(const std::string &)> echo) { echo_ = std::move(echo); }

    struct Shown {
        DialogRequest request;
        DialogAnswer answer;
    };
    // The dialogs asked so far with their answers, oldest first.
    const std::vector<Shown> &shown() const { return shown_; }
    // URLs and files handed to showURL.
    const std::vector<std::string> &opened() const { return opened_; }
    // Forgets the queue and the logs.
    void forget();

private:
    std::vector<Shown> shown_;
    std::vector<std::string> opened_;
    std::function<void(const std::string &)> echo_;
};

Backend &backend();
// The installed backend when it is the headless one, else nullptr.
HeadlessBackend *headlessBackend();
// Installs a backend (nullptr: a new headless one). An on-screen backend is
// refused, and false returned, when headless running is asked for.
bool setBackend(std::unique_ptr<Backend> b);
// Whether headless running is asked for: TAVRIN_HEADLESS set and not "0".
bool headlessRequested();

}  // namespace rb
