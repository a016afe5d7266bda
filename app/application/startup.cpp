#include "application/startup.h"

#include "application/app.h"
#include "application/largeblocks.h"
#include "binding/entrypoints.h"
#include "menu/menu.h"

#include <rb/plugins.h>
#include <rb/runtime.h>

#include <csignal>

namespace tavrin {

void startUp() {
    // A file-size limit makes a write fail (and the save report it) instead
    // of killing the program halfway through a frame file.
    std::signal(SIGXFSZ, SIG_IGN);
    // Large blocks (frames, pictures) go straight back to the system when
    // freed, so the grab temporaries do not stay resident between frames.
    largeBlocksFromTheSystem();
    RuntimeInit();
    RuntimeInitExternalClasses();
    _InitPluginEntrypoints();
    App &a = app();
    a.menuBar = &menu();
    a.applicationName = "Tavrin!";
    a.addMenuHandler("aboutmenu", [&a] { a._aboutmenu_Action(); });
    a.addMenuHandler("HelpDocumentation", [&a] { a._HelpDocumentation_Action(); });
    a.addMenuHandler("HelpCheckforUpdates", [&a] { a._HelpCheckforUpdates_Action(); });
}

}  // namespace tavrin
