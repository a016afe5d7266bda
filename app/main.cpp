// tavrin: start-up in its fixed order, then the event loop.
#include "application/startup.h"

#include <rb/runtime.h>
#include <rb/screen.h>
#include <rb/ui.h>

#include <cstdio>

int main() {
    tavrin::startUp();
    if (!rb::useScreenBackend())
        std::fprintf(stderr, "tavrin: running headless (no display); drive it with TAVRIN_SCRIPT=<file>, "
                             "see \"Scripted operator\" in the README.\n");
    RuntimeRun();
    return RuntimeExit();
}
