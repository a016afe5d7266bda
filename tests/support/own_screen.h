// The on-screen backend on an X server of the test's own (Xvfb), started
// once in a process, with GTK (the file dialogs) on it without its
// accessibility bus; false where there is no Xvfb (a backend that does
// not start on it fails the test).
#pragma once

#include "own_x_server.h"

#include <rb/screen.h>

#include <cstdlib>

inline bool onOwnScreen() {
    static OwnXServer x;
    static bool up = [] {
        if (x.display().empty()) return false;
        setenv("DISPLAY", x.display().c_str(), 1);
        setenv("NO_AT_BRIDGE", "1", 1);
        if (rb::useScreenBackend()) return true;
        ADD_FAILURE() << "the on-screen backend did not start on " << x.display();
        return false;
    }();
    return up;
}
