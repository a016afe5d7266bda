// The application's one menu bar.
#pragma once

#include <rb/ui.h>

namespace tavrin {

class Menu : public rb::MenuBar {
public:
    Menu();
};

// The single instance, built on first use and kept for the life of the process.
Menu &menu();

}  // namespace tavrin
