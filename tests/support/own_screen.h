// The on-screen backend on an X server of the test's own (Xvfb), started
// once in a process, with GTK (the file dialogs) on it without its
// accessibility bus; false where there is no Xvfb. The screen is the
// test's own, so a TAVRIN_HEADLESS left in the environment does not keep
// it off. A backend that does not start on it is a fatal failure of every
// test that asks for it: the test's set-up stops there (a GTEST_SKIP after
// a failure does not keep the body from running).
#pragma once

#include "own_x_server.h"

#include <rb/screen.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

inline bool onOwnScreen() {
    static OwnXServer x;
    static std::string failed;
    static bool up = [] {
        if (x.display().empty()) return false;
        setenv("DISPLAY", x.display().c_str(), 1);
        setenv("NO_AT_BRIDGE", "1", 1);
        unsetenv("TAVRIN_HEADLESS");
        if (rb::useScreenBackend()) return true;
        failed = "the on-screen backend did not start on " + x.display();
        return false;
    }();
    if (!failed.empty())
        GTEST_MESSAGE_AT_(__FILE__, __LINE__, failed.c_str(), ::testing::TestPartResult::kFatalFailure);
    return up;
}
