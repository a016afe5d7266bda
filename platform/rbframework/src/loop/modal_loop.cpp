// Modal waits: a dialog's modal loop runs the event loop until its answer
// comes, and a cooperative thread's dialog is shown by the main thread.
#include "loop/modal_loop.h"

#include "loop/scheduler.h"

#include <rb/loop.h>
#include <rb/thread.h>
#include <rb/ui.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace rb {

namespace {

// A dialog shown for a cooperative thread. A quit closes it even when the
// quit waits for that thread (a capture that saves its frames first): else
// each would wait for the other.
struct ThreadDialog {
    bool dismissed = false;
};
std::vector<ThreadDialog *> gThreadDialogs;  // open, outermost first
// The thread's dialog being shown whose modal loop has yet to start: the
// next runModalLoop is its own.
ThreadDialog *gThreadDialogAboutToWait = nullptr;

// Shows a thread's dialog on the main thread, keeping it in gThreadDialogs
// while it is open.
DialogAnswer showForThread(const std::function<DialogAnswer()> &show) {
    struct Open {
        ThreadDialog d;
        Open() {
            gThreadDialogs.push_back(&d);
            gThreadDialogAboutToWait = &d;
        }
        ~Open() {
            gThreadDialogs.erase(std::find(gThreadDialogs.begin(), gThreadDialogs.end(), &d));
            if (gThreadDialogAboutToWait == &d) gThreadDialogAboutToWait = nullptr;
        }
    } open;
    return show();
}

}  // namespace

DialogAnswer core::answerOnMainThread(std::function<DialogAnswer()> show) {
    if (!inCooperativeThread()) return show();
    struct Asked {
        DialogAnswer answer;
        Sleeper waiting;
    };
    auto asked = std::make_shared<Asked>();
    post([asked, show = std::move(show)] {
        struct HandOn {
            Sleeper &waiting;
            ~HandOn() { handOn(waiting); }  // also when the dialog throws
        } handOn{asked->waiting};
        asked->answer = showForThread(show);
    });
    waitToBeHandedOn(asked->waiting);  // ends the thread when the runtime stops its threads
    return asked->answer;
}

void core::dismissThreadDialogs() {
    for (ThreadDialog *d : gThreadDialogs) d->dismissed = true;
}

void runModalLoop(const std::function<bool()> &done) {
    ThreadDialog *forThread = std::exchange(gThreadDialogAboutToWait, nullptr);
    while (!done() && !(app() && app()->quitting()) && !(forThread && forThread->dismissed)) runOnce(20);
}

}  // namespace rb
