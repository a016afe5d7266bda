// The runtime's start and end, as the application calls them.
#pragma once

#include <string>

extern "C" {
// Framework classes are registered; from now on SIGINT, SIGTERM and SIGHUP
// ask the application to quit (rb::quitOnTerminationSignals).
void RuntimeInit();
int RuntimeRun();   // the event loop; returns when the application quits
int RuntimeExit();  // joins threads; the result is the exit status
}

namespace rb {
// From now on SIGINT, SIGTERM and SIGHUP ask the application to quit, as
// its Quit menu item does (Application::quit(0), run on the main loop).
// Only the first call acts.
void quitOnTerminationSignals();
// Whether SIGINT, SIGTERM or SIGHUP has asked the application to quit:
// nobody is there to answer what a person's quit would ask.
bool quitBySignal();

// Writes the program's own text to standard output, starting on a line of its
// own when what was written before (by a plug-in, say) left a line open.
void writeOwnLines(const std::string &text);
}  // namespace rb
