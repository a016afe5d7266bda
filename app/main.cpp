// tavrin: start-up in its fixed order, then the event loop.
#include "application/startup.h"

#include <rb/backend.h>
#include <rb/operator.h>
#include <rb/runtime.h>
#include <rb/screen.h>
#include <rb/ui.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main() {
    tavrin::startUp();
    if (!rb::useScreenBackend()) {
        std::fprintf(stderr,
                     "tavrin: running headless (no display); drive it with TAVRIN_SCRIPT=<file>, "
                     "see \"Without a display\" in the README.\n");
        // Without a display and without a script nobody could ever act.
        const char *script = std::getenv("TAVRIN_SCRIPT");
        if (!script || !*script) {
            std::fprintf(stderr,
                         "tavrin: no script given, nothing to do: run it on a display, or give it a script "
                         "with TAVRIN_SCRIPT=<file> (one operator command a line).\n");
            RuntimeExit();
            return 2;
        }
        // Nobody sees the message boxes: each goes to standard error as it
        // is answered.
        if (rb::HeadlessBackend *h = rb::headlessBackend())
            h->setEcho([](const std::string &line) { std::fprintf(stderr, "tavrin: %s\n", line.c_str()); });
    }
    rb::op::runScriptFromEnvironment();
    RuntimeRun();
    return RuntimeExit();
}
