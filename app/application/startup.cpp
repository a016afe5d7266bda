#include "application/startup.h"

#include "application/app.h"
#include "binding/entrypoints.h"
#include "menu/menu.h"

#include <rb/plugins.h>
#include <rb/runtime.h>

namespace tavrin {

void startUp() {
    RuntimeInit();
    RuntimeInitExternalClasses();
    _InitPluginEntrypoints();
    App &a = app();
    a.menuBar = &menu();
    a.addMenuHandler("aboutmenu", [&a] { a._aboutmenu_Action(); });
    a.addMenuHandler("HelpDocumentation", [&a] { a._HelpDocumentation_Action(); });
    a.addMenuHandler("HelpCheckforUpdates", [&a] { a._HelpCheckforUpdates_Action(); });
}

}  // namespace tavrin
