// The application object: shared settings and run flags, start-up of the
// windows, the preferences file and the application menu handlers.
#pragma once

#include <rb/ui.h>

#include <cstdint>
#include <memory>

namespace tavrin {

class CaptureWindow;

// The deck link as App::controlpref holds it: 1 is RS-422, any other value
// FireWire; the application itself stores 0 for FireWire.
enum DeckLink : int32_t { kDeckLinkFireWire = 0, kDeckLinkRS422 = 1 };

// The rows of the palette's "Open with:", the values App::filecreator takes.
inline constexpr int32_t kCreatorCount = 3;

class App : public rb::Application {
public:
    // Settings and run flags, read and written directly by every window and
    // the capture thread.
    // The deck link: see DeckLink and rs422().
    int32_t controlpref = kDeckLinkFireWire;
    int32_t myserialport = 0;    // index in the system's serial ports
    bool devicepresent = false;  // a video source is enabled and answering
    bool allowcapture = false;   // false asks the capture thread to stop
    bool shortcutsactive = false;
    int32_t filecreator = 0;  // 0 Photoshop, 1 Preview, 2 Graphic Converter (kCreatorCount rows)
    std::shared_ptr<rb::Window> pUpdateWindow;
    // A quit was asked for during a capture: it goes on once the capture's
    // frames are saved.
    bool quitAfterCapture = false;
    // A quit has tried to save the frames held for another folder.
    bool heldFramesTried = false;

    // Whether the deck link is RS-422 (else it is FireWire).
    bool rs422() const { return controlpref == kDeckLinkRS422; }

    void Open() override;
    void Close() override;
    void Activate() override;
    void Deactivate() override;
    void EnableMenuItems() override;
    bool CancelClose() override;

    void _aboutmenu_Action();
    void _HelpDocumentation_Action();
    void _HelpCheckforUpdates_Action();

    void ReadPrefs();
    void WritePrefs();

    // Saves the frames the main window holds unsaved into a new folder in
    // the user's data (makeFramesDataFolder) and says where on standard error;
    // false, said there too, when they cannot be saved there either.
    bool saveHeldFrames(CaptureWindow &main);
};

// The single application object.
App &app();

// The preferences file's name in the preferences folder.
inline constexpr const char *kPrefsFileName = "Tavrin! 1.0 Prefs";

}  // namespace tavrin
