// The X server going away under the program (a logout, a crashed server, a
// lost ssh -X): the program leaves the display behind and quits as SIGTERM
// has it quit, saving what it holds (lost_display.cpp).
#pragma once

#include <X11/Xlib.h>

namespace rb::screen {

// From now on the loss of `d`'s connection does not end the process:
// Xlib's handlers say nothing and return, and Xlib leaves `d` marked dead,
// so that every later call on it fails at once. The loop then stops
// running FLTK and GLib, the backend shows nothing more, standard error
// says that the display went away, and the application quits. For each
// connection (FLTK's and GDK's), once whatever else sets Xlib's handler of
// lost connections (GTK's start) has run.
void watchForLostDisplay(Display *d);

}  // namespace rb::screen
