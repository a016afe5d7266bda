// The deck control settings dialog (shown modally within the main window).
#pragma once

#include <rb/ui.h>

namespace tavrin {

class ControlPrefswindow : public rb::Window {
public:
    ControlPrefswindow();
};

}  // namespace tavrin
