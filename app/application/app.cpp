#include "application/app.h"

#include "application/datafolder.h"
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
#include <rb/loop.h>
#include <rb/memory.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <system_error>

namespace tavrin {

void App::Open() {
    ReadPrefs();
    CaptureWindow &main = rb::implicitInstance<CaptureWindow>();
    // A quit closed the start-up's no-video message: the windows are gone
    // and nothing more opens.
    if (quitting()) return;
    main.show();
    rb::implicitInstance<controlwindow>().show();
    shortcutsactive = true;
}

void App::Close() { WritePrefs(); }

// Quit (menu, Ctrl+Q, the main window's close box, SIGINT, SIGTERM) during
// a capture: the capture stops as Stop Capture stops it (the deck is
// stopped, the frames grabbed are saved with their progress), and the
// capture thread quits when that is done.
bool App::CancelClose() {
    if (captureRunning()) {
        quitAfterCapture = true;
        if (auto *palette = static_cast<controlwindow *>(rb::findWindow("controlwindow"))) palette->stopCapture();
        allowcapture = false;
        return true;
    }
    // Frames held because their folder could not take them go to the
    // user's data before the program ends, whatever asked for the quit.
    auto *main = static_cast<CaptureWindow *>(rb::findWindow("CaptureWindow"));
    if (heldFramesTried || !main || main->unsavedCount() == 0) return false;
    heldFramesTried = true;
    if (saveHeldFrames(*main)) return false;
    // That failed too: the program still ends, and says so in its status.
    rb::post([] { app().quit(1); });
    return true;
}

bool App::saveHeldFrames(CaptureWindow &main) {
    std::error_code ec;
    std::string dir = makeFramesDataFolder(std::time(nullptr), ec);
    int32_t held = main.unsavedCount(), written = 0, failed = held;
    int error = 0;
    if (!ec) main.saveUnsavedInto(rb::FolderItem(dir), written, failed, &error);
    if (failed == 0) {
        std::fprintf(stderr, "tavrin: %d %s saved in %s, quitting\n", written, written == 1 ? "frame" : "frames",
                     dir.c_str());
        return true;
    }
    // The system's reason ("File too large", "No space left on device") is
    // what the user can act on.
    std::string why = ec ? ec.message() : error ? std::strerror(error) : "the files could not be written";
    std::fprintf(stderr, "tavrin: %d of %d frames could not be saved in %s either (%s); they are lost\n", failed, held,
                 dir.c_str(), why.c_str());
    return false;
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
        folder = rb::call(ENTRY("application.BundleResourceFolderPlyx as folderitem"), rb::applicationObject());
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
// that ends early keeps the defaults of the fields it does not reach. A
// creator byte that names no "Open with:" row takes the default, Photoshop
// (frames saved with it would carry no creator). Every reader takes a link
// byte of 1 as RS-422 and any other as FireWire, and a port index that names
// no port is said when the port is opened, so both are kept as they are.
void App::ReadPrefs() {
    auto file = rb::preferencesFolder()->child(kPrefsFileName);
    std::optional<std::string> bytes = readSmallFile(file->absolutePath(), kMaxPrefsBytes);
    if (!bytes) return;
    PrefsFields f = parsePrefs(*bytes);
    controlpref = f.controlpref.value_or(controlpref);
    myserialport = f.myserialport.value_or(myserialport);
    filecreator = f.filecreator.value_or(filecreator);
    if (filecreator < 0 || filecreator >= kCreatorCount) filecreator = 0;
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
