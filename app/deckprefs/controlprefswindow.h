// The deck control settings dialog: RS-422 on a serial port, or FireWire.
// Shown modally within the main window from "Deck Control Settings".
#pragma once

#include <rb/ui.h>

namespace tavrin {

class ControlPrefswindow : public rb::Window {
public:
    ControlPrefswindow();

    rb::Control *portsmenu, *rs422button, *firewirebutton;

    void Open() override;
    void portsmenu_Open();
    void rs422button_Action();
    void PushButton1_Action();  // OK
    void PushButton2_Action();  // Cancel

    void selectStoredPort();
};

}  // namespace tavrin
