// RuntimeInit / RuntimeRun / RuntimeExit.
#include "core.h"

#include <rb/loop.h>
#include <rb/runtime.h>
#include <rb/thread.h>

namespace {
int gExitCode = 0;
}

extern "C" void RuntimeInit() {
    rb::core::trackStandardOutput();
    rb::core::classes();
    rb::core::attachPlatformRunLoop();
    rb::applicationObject();
    rb::quitOnTerminationSignals();
}

extern "C" int RuntimeRun() {
    gExitCode = rb::run();
    return gExitCode;
}

extern "C" int RuntimeExit() {
    rb::shutdown();
    return gExitCode;
}
