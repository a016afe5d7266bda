#include "application/app.h"

#include "about/aboutwindow.h"
#include "application/prefsbytes.h"
#include "application/smallfile.h"
#include "update/updatewindow.h"

#include "binding/entrypoints.h"
#include "capturethread/capturethread.h"
#include "capturewindow/capturewindow.h"
#include "controlwindow/controlwindow.h"
#include "menu/menu.h"

#include <rb/entrypoints.h>
#include <rb/files.h>
#include <rb/memory.h>

namespace tavrin {

void App::Open() {
    ReadPrefs();
    rb::implicitInstance<CaptureWindow>().show();
    rb::implicitInstance<controlwindow>().show();
    shortcutsactive = true;
}

void App::Close() { WritePrefs(); }

// Quit (menu, Ctrl+Q, the main window's close box, SIGINT, SIGTERM) during
// a capture: the capture stops as Stop Capture stops it (the deck is
// stopped, the frames grabbed are saved with their progress), and the
// capture thread quits when that is done.
bool App::CancelClose() {
    if (!captureRunning()) return false;
    quitAfterCapture = true;
    if (auto *palette = static_cast<controlwindow *>(rb::findWindow("controlwindow"))) palette->stopCapture();
    allowcapture = false;
    return true;
}

void App::Activate() { shortcutsactive = true; }
void App::Deactivate() { shortcutsactive = false; }

void App::EnableMenuItems() {
    for (const char *name : {"HelpDocumentation", "aboutmenu", "HelpCheckforUpdates"})
        if (rb::MenuItem *item = menuBar ? menuBar->child(name) : nullptr) item->enabled = true;
}

void App::_aboutmenu_Action() { rb::implicitInstance<aboutwindow>().show(); }

void App::_HelpDocumentation_Action() {
    // The bundle's resource folder comes from an outside application extension.
    rb::ObjRef folder;
    try {
        folder =
            rb::call<rb::ObjRef>(ENTRY("application.BundleResourceFolderPlyx as folderitem"), rb::applicationObject());
    } catch (const rb::Exception &) {}
    std::string path;
    if (folder) {
        rb::Value v = rb::getPropValue(folder.get(), "AbsolutePath");
        if (auto *s = std::get_if<rb::String>(&v)) path = s->str();
    }
    auto doc = path.empty() ? nullptr : rb::FolderItem(path).child("Documentation.rtfd");
    if (doc && doc->exists()) doc->launch(true);
    else rb::msgBox("The help file has been removed from the application.");
}

void App::_HelpCheckforUpdates_Action() {
    // A new window for every check; the one before is let go. It is visible
    // by design, so it is shown as it is made.
    pUpdateWindow = rb::newWindow<updateWindow>();
    pUpdateWindow->show();
}

// The file: controlpref, myserialport (a byte each), two length-prefixed
// texts that this application leaves empty, filecreator (a byte). A file
// that ends early keeps the defaults of the fields it does not reach.
void App::ReadPrefs() {
    auto file = rb::preferencesFolder()->child(kPrefsFileName);
    std::optional<std::string> bytes = readSmallFile(file->absolutePath(), kMaxPrefsBytes);
    if (!bytes) return;
    PrefsFields f = parsePrefs(*bytes);
    controlpref = f.controlpref.value_or(controlpref);
    myserialport = f.myserialport.value_or(myserialport);
    filecreator = f.filecreator.value_or(filecreator);
}

void App::WritePrefs() {
    auto file = rb::preferencesFolder()->child(kPrefsFileName);
    auto out = rb::BinaryStream::createAtomic(*file, "text");
    if (!out) return;
    out->writeByte(uint8_t(controlpref));
    out->writeByte(uint8_t(myserialport));
    out->writeShort(0);
    out->writeShort(0);
    out->writeByte(uint8_t(filecreator));
    out->close();
}

}  // namespace tavrin
