// The scripted operator: drives windows, controls, menus, keys and dialogs
// the way a person would, without a display. End-to-end tests call it
// directly; TAVRIN_SCRIPT=<file> runs a script of its commands inside the
// program (see runScript for the command lines).
//
// Every action returns false, with the reason in lastError(), when its
// window or control is not there; it never throws for that.
#pragma once

#include <rb/ui.h>

#include <optional>
#include <string>
#include <vector>

namespace rb::op {

// ---- acting ---------------------------------------------------------------

// Clicks a control (push/bevel button: Action; radio button: selects it;
// edit field: focus). An empty control name clicks the window's background
// (its MouseDown at the window's middle).
bool click(const std::string &windowClass, const std::string &control);
// Focuses the field (LostFocus on the one that had the focus, GotFocus on
// this one) and replaces its text.
bool type(const std::string &windowClass, const std::string &field, const std::string &text);
bool setSlider(const std::string &windowClass, const std::string &slider, int value);
bool mouseExit(const std::string &windowClass, const std::string &control);
bool selectRow(const std::string &windowClass, const std::string &popup, int index);
bool chooseMenu(const std::string &item);
// Clicks the window's close box (its CancelClose may keep it open).
bool closeWindow(const std::string &windowClass);
void keyDown(int macKeyCode);
void keyUp(int macKeyCode);
void setActive(bool active);
// Runs the event loop for `ms` milliseconds.
void runFor(int ms);

const std::string &lastError();

// ---- dialogs --------------------------------------------------------------

// The answer the next modal dialog gets. Message boxes and message dialogs
// take OK, Button and Cancel answers; file dialogs take File, Folder and
// Cancel. A dialog whose kind of answer is not at the front of the queue
// takes its default (OK; cancel for file dialogs) and leaves the queue as is.
struct Answer {
    enum Kind { OK, Button, File, Folder, Cancel } kind = OK;
    std::string text;  // the caption or the path
};
void answerNext(Answer a);
inline void answerOK() { answerNext({Answer::OK, {}}); }
inline void answerButton(const std::string &caption) { answerNext({Answer::Button, caption}); }
inline void answerFile(const std::string &path) { answerNext({Answer::File, path}); }
inline void answerFolder(const std::string &path) { answerNext({Answer::Folder, path}); }
inline void answerCancel() { answerNext({Answer::Cancel, {}}); }
size_t pendingAnswers();

// The texts of the message boxes and dialogs shown so far, oldest first
// (message dialogs: the message; file dialogs: the title, else the prompt,
// else the action caption).
std::vector<std::string> messages();
struct Shown {
    DialogRequest request;
    DialogAnswer answer;
};
const std::vector<Shown> &shown();
// URLs and files handed to the desktop's opener.
const std::vector<std::string> &opened();
// Forgets the answers, the log and the key table.
void reset();

// ---- looking --------------------------------------------------------------

// The window's title, kind, geometry and every control's name, kind,
// geometry and state, one line each.
std::string dump(const std::string &windowClass);

// ---- scripts --------------------------------------------------------------

// Runs a script, one command a line ('#' starts a comment):
//   click <window> <control>      click <window>     (the background)
//   type <window> <field> <text...>
//   slider <window> <control> <value>    exit <window> <control>
//   select <window> <popup> <index>      menu <item>
//   close <window>     (its close box)
//   key down <code>    key up <code>     active <0|1>
//   answer ok | answer button <caption...> | answer file <path...> |
//   answer folder <path...> | answer cancel
//   wait <ms>          dump <window>     quit [code]
// Dumps and errors go to `out`. Waits run the event loop; the script
// returns false at the first failing command.
bool runScript(const std::string &text, std::string &out);
// The program's hook: with TAVRIN_SCRIPT set, runs that file (dumps and
// errors to stdout/stderr) and quits the application at its end when the
// script did not.
void runScriptFromEnvironment();

// Used by the window model: records what a dialog or opener showed.
void record(const DialogRequest &r, const DialogAnswer &a);
void recordOpened(const std::string &target);
// The answer at the front of the queue when it fits the request (and is
// taken from the queue); nothing otherwise. An on-screen backend asks this
// before it shows a dialog, so scripts answer dialogs there too.
std::optional<DialogAnswer> scriptedAnswer(const DialogRequest &r);
// The headless backend's answer for a request: the scripted answer, else
// the default.
DialogAnswer nextAnswer(const DialogRequest &r);

}  // namespace rb::op
