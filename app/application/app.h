// The application object: shared settings and run flags, start-up of the
// windows, the preferences file and the application menu handlers.
#pragma once

#include <rb/ui.h>

#include <cstdint>
#include <memory>

namespace tavrin {

class App : public rb::Application {
public:
    // Settings and run flags, read and written directly by every window and
    // the capture thread.
    int32_t controlpref = 0;     // 1 = RS-422, any other value = FireWire
    int32_t myserialport = 0;    // index in the system's serial ports
    bool devicepresent = false;  // a video source is enabled and answering
    bool allowcapture = false;   // false asks the capture thread to stop
    bool shortcutsactive = false;
    int32_t filecreator = 0;  // 0 Photoshop, 1 Preview, 2 Graphic Converter
    std::shared_ptr<rb::Window> pUpdateWindow;
    // A quit was asked for during a capture: it goes on once the capture's
    // frames are saved.
    bool quitAfterCapture = false;

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
};

// The single application object.
App &app();

// The preferences file's name in the preferences folder.
inline constexpr const char *kPrefsFileName = "Tavrin! 1.0 Prefs";

}  // namespace tavrin
