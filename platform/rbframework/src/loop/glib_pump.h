// GLib's main context on the runtime's loop (glib_pump.cpp), for GTK's
// file chooser.
#pragma once

namespace rb::screen {

// From now on the runtime's loop runs GLib's default main context: each
// pass dispatches what is ready, then hands the loop the descriptors and
// the timeout GLib waits for next. Once; after GTK is initialised.
void startGlibPump();
// A pass of it now (after GTK was asked for something it answers later).
void runGlibPass();
// The display went away: GLib's context runs no more (GTK's would find its
// connection gone), its sources and timer are taken off the loop.
void stopGlibPump();

}  // namespace rb::screen
