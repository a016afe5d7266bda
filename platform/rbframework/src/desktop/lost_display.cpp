// Xlib ends the process when a connection is lost, unless its handlers
// return: each connection's "exit handler" may, and Xlib then marks the
// connection dead, so that the calls made on it afterwards fail at once
// instead of reading it again. FLTK's and GDK's own handlers end the
// process; these take their place. The handler runs inside whatever Xlib
// call found the connection gone, FLTK's or GTK's, perhaps away from the
// loop: it only notes the loss and posts the rest to the loop.
#include "desktop/lost_display.h"

#include "loop/fltk_pass.h"
#include "loop/glib_pump.h"

#include <rb/loop.h>
#include <rb/screen.h>
#include <rb/ui.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace rb {

namespace {

std::atomic<bool> gLost{false};

// What follows on the loop: nothing of FLTK's or GTK's runs from it again,
// and the application quits, its frames saved first.
void leaveTheDisplay() {
    screen::stopFltkFromLoop();
    screen::stopGlibPump();
    std::fprintf(stderr, "%s: the display went away\n", program_invocation_short_name);
    if (Application *a = app()) a->quit(0);
    else quit(0);
}

// Xlib says "fatal IO error" and would end the process after this; the
// program says what it does instead once it is back in its loop.
int quietAboutTheLoss(Display *) { return 0; }

void onLostConnection(Display *, void *) {
    if (gLost.exchange(true)) return;
    post(leaveTheDisplay);
}

}  // namespace

bool displayLost() { return gLost; }

namespace screen {

void watchForLostDisplay(Display *d) {
    if (!d) return;
    XSetIOErrorHandler(quietAboutTheLoss);
    XSetIOErrorExitHandler(d, onLostConnection, nullptr);
}

}  // namespace screen

}  // namespace rb
