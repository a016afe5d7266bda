// The runtime's start and end, as the application calls them.
#pragma once

extern "C" {
void RuntimeInit();   // framework classes are registered
int RuntimeRun();     // the event loop; returns when the application quits
int RuntimeExit();    // joins threads; the result is the exit status
}
