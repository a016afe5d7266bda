// FLTK inside the runtime's loop, and the runtime's loop inside FLTK's own
// loops (fltk_pass.cpp).
#pragma once

#include <functional>

class Fl_Window;

namespace rb::screen {

// Runs FLTK from the runtime's loop: the X connection is one of its
// sources, and every `periodMs` (up to half as long again, so as to share
// a pass the loop makes anyway) `tick` runs and FLTK's timeouts and
// redraws go on. FLTK's own loops (a pulldown menu or popup list held
// open, its small boxes such as fl_input) run the runtime's loop in turn.
void runFltkFromLoop(int periodMs, std::function<void()> tick);

// The display went away: the loop runs FLTK no more (its X connection is no
// longer a source, nor waited on, and the steady pump stops). One of FLTK's
// own loops under way still runs the runtime's, and a quit still closes
// the menu held open, so that it unwinds.
void stopFltkFromLoop();

// Whether one of FLTK's own loops (a menu or popup list held open) is under
// way, running a pass of the runtime's loop: FLTK keeps the state of one
// menu held open, so that no other may open until it has closed.
bool insideFltkLoop();

// Makes FLTK widget deletions wait while a pass of the runtime's loop run
// from one of FLTK's own loops is under way (that loop may still use
// them): they happen once the runtime's loop alone runs again.
void deleteWhenOutside(Fl_Window *w);

// For the span of a modal loop of our own (a dialog) started wherever,
// also from inside one of FLTK's loops: FLTK is run from that loop, and a
// menu's hold on the mouse and keys is lifted so that the dialog can be
// answered, then given back.
class DialogLoopOnTop {
public:
    DialogLoopOnTop();
    ~DialogLoopOnTop();
    DialogLoopOnTop(const DialogLoopOnTop &) = delete;
    DialogLoopOnTop &operator=(const DialogLoopOnTop &) = delete;

private:
    bool fltkLoopWasInnermost_;
    Fl_Window *menuGrab_;
};

}  // namespace rb::screen
