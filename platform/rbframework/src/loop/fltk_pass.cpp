// One loop dispatches: the runtime's. FLTK runs from it, through check():
// when the X connection has events (what they changed drawn at once), and
// on a steady pump for FLTK's timeouts. FLTK also runs loops of its own in Fl::wait(),
// while a pulldown menu or a popup list is held open, or one of its small
// boxes waits for an answer; each Fl::wait() runs FLTK's idle callback
// before it reads the X connection, and that callback runs a pass of the
// runtime's loop. The pass waits in the runtime's poll, the baton given up
// so that cooperative threads run, on its sources and the X connection,
// and leaves the X connection to FLTK, which reads it once the pass
// returns. The Fl::wait() of check() runs the callback too: that call is
// passed over, so that a pass is never run from inside itself.
#include "loop/fltk_pass.h"

#include <rb/loop.h>
#include <rb/ui.h>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <poll.h>

#include <functional>
#include <utility>
#include <vector>

namespace rb::screen {

namespace {

struct Pump {
    int periodMs = 16;
    // Our own Fl::check() is under way and its Fl::wait has yet to run the
    // idle callback: that one call runs no pass.
    bool skipIdleOfOwnCheck = false;
    bool innermostIsFltkLoop = false;  // the innermost loop running is one of FLTK's own
    int nestedPasses = 0;              // passes run from FLTK's loops, under way
    // What holds the mouse and keys for the FLTK loop whose pass is under
    // way (its menu's window), or nullptr.
    Fl_Window *held = nullptr;
    bool stopped = false;  // the display went away
    std::vector<Fl_Window *> doomed;
    std::function<void()> tick;
};

Pump &pump() {
    static Pump p;
    return p;
}

void deleteDoomed() {
    Pump &p = pump();
    if (p.nestedPasses > 0) return;
    for (Fl_Window *w : p.doomed) Fl::delete_widget(w);
    p.doomed.clear();
}

// FLTK's pending X events, timeouts and redraws, from the runtime's loop.
// Inside one of FLTK's loops that loop does it, once the pass returns.
void check() {
    Pump &p = pump();
    if (p.innermostIsFltkLoop || p.stopped) return;
    deleteDoomed();
    bool was = p.skipIdleOfOwnCheck;
    p.skipIdleOfOwnCheck = true;
    Fl::check();
    p.skipIdleOfOwnCheck = was;
}

// Ends the menu or popup list held open by `held`, as Escape pressed in it
// does: the key goes to its window itself, whether or not it holds the
// mouse and keys now (a menu bar's menu holds them with a window it never
// shows).
void endHeld(Fl_Window *held) {
    int key = Fl::e_keysym;
    Fl::e_keysym = FL_Escape;
    held->handle(FL_KEYBOARD);
    Fl::e_keysym = key;
}

void runFromFltkLoop(void *) {
    Pump &p = pump();
    if (p.skipIdleOfOwnCheck) {
        p.skipIdleOfOwnCheck = false;
        return;
    }
    if (p.innermostIsFltkLoop) return;
    if (!p.stopped) Fl::flush();  // what the last events changed shows before the wait
    bool was = p.innermostIsFltkLoop;
    p.innermostIsFltkLoop = true;
    ++p.nestedPasses;
    Fl_Window *held = Fl::grab(), *outerHeld = std::exchange(p.held, held);
    // Events Xlib has read already leave nothing to wait for on the
    // connection; a connection gone is not waited on (it is always ready).
    if (p.stopped) rb::runNestedOnce(p.periodMs, -1);
    else rb::runNestedOnce(XQLength(fl_display) ? 0 : p.periodMs, ConnectionNumber(fl_display));
    p.held = outerHeld;
    --p.nestedPasses;
    p.innermostIsFltkLoop = was;
    // A quit ends the menu held open: the loop under it can end only once
    // it has. A dialog shown from the pass may have left it without its
    // hold on the mouse and keys.
    if (held && app() && app()->quitting()) endHeld(held);
}

// The steady pump, a period after the last: on a pass that other work
// brings, so that it seldom wakes the loop itself, or half a period late.
void pumpLater() {
    rb::postAfterLoosely(pump().periodMs, pump().periodMs / 2, [] {
        if (pump().stopped) return;
        pumpLater();
        pump().tick();
        check();
    });
}

}  // namespace

void runFltkFromLoop(int periodMs, std::function<void()> tick) {
    Pump &p = pump();
    p.periodMs = periodMs;
    addSource(ConnectionNumber(fl_display), POLLIN, [] {
        check();
        // What the events changed shows now, not on the steady timer's pass.
        if (!pump().innermostIsFltkLoop && Fl::damage()) Fl::flush();
    });
    Fl::add_idle(runFromFltkLoop);
    p.tick = std::move(tick);
    pumpLater();
}

void stopFltkFromLoop() {
    Pump &p = pump();
    if (p.stopped) return;
    p.stopped = true;
    if (!fl_display) return;
    removeSource(ConnectionNumber(fl_display));
    Fl::remove_fd(ConnectionNumber(fl_display));  // FLTK's own loops poll it no more either
}

bool insideFltkLoop() { return pump().nestedPasses > 0; }

void deleteWhenOutside(Fl_Window *w) {
    if (pump().stopped) return;  // a window gone with its display stays as it is
    if (insideFltkLoop()) pump().doomed.push_back(w);
    else Fl::delete_widget(w);
}

DialogLoopOnTop::DialogLoopOnTop() : fltkLoopWasInnermost_(pump().innermostIsFltkLoop), menuGrab_(Fl::grab()) {
    pump().innermostIsFltkLoop = false;
    if (menuGrab_ && !pump().stopped) Fl::grab(nullptr);
}

// The menu held open under the dialog takes its hold back, so that a click
// outside it closes it, and a key pressed anywhere is its own: the window
// it holds with is still there while the loop of the menu that runs this
// pass is (a menu bar's menu holds with a window it never shows). A quit
// ends the menu instead, once the pass returns to its loop. FLTK holds the
// X pointer and keyboard with a window shown.
DialogLoopOnTop::~DialogLoopOnTop() {
    pump().innermostIsFltkLoop = fltkLoopWasInnermost_;
    if (!menuGrab_ || pump().stopped || Fl::grab() || !Fl::first_window() || (app() && app()->quitting())) return;
    if (menuGrab_ == pump().held || menuGrab_->shown()) Fl::grab(menuGrab_);
}

}  // namespace rb::screen
