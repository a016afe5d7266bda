// tavrin: start-up in its fixed order.
#include "application/app.h"
#include "binding/entrypoints.h"
#include "menu/menu.h"

#include <rb/plugins.h>
#include <rb/runtime.h>
#include <rb/ui.h>

#include <cstdio>
#include <cstdlib>

int main() {
    RuntimeInit();
    RuntimeInitExternalClasses();
    tavrin::_InitPluginEntrypoints();
    tavrin::App &app = tavrin::app();
    app.menuBar = &tavrin::menu();
    app.addMenuHandler("aboutmenu", [&app] { app._aboutmenu_Action(); });
    app.addMenuHandler("HelpDocumentation", [&app] { app._HelpDocumentation_Action(); });
    app.addMenuHandler("HelpCheckforUpdates", [&app] { app._HelpCheckforUpdates_Action(); });
    if (rb::backend().headless())
        std::fprintf(stderr, "tavrin: no display, running headless; drive it with TAVRIN_SCRIPT=<file> "
                             "(see README, \"Scripted operator\").\n");
    RuntimeRun();
    return RuntimeExit();
}
