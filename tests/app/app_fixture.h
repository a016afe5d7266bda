// What the application tests share: the process's own folder and the
// environment the application starts in (headless, the plug-ins built
// here, no real FireWire), and the ending of what a test left running.
#pragma once

#include "application/app.h"
#include "application/startup.h"
#include "capturethread/capturethread.h"
#include "capturewindow/capturewindow.h"
#include "controlwindow/controlwindow.h"
#include "pty_deck.h"
#include "run_until.h"

#include <rb/operator.h>
#include <rb/serial.h>
#include <rb/ui.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

// The test process's own folder: preferences in prefs/, frames in out/,
// and data/ as the user's data, where a quit saves frames held unsaved.
inline std::filesystem::path gDir;

// A deck on a pseudo-terminal, listed as a serial port.
struct FakeDeck : PtyDeck {
    int index = rb::SerialPorts::add("deck" + std::to_string(listed++), path());
    static inline int listed = 0;
};

class AppTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        namespace fs = std::filesystem;
        gDir = fs::temp_directory_path() / ("tavrin-test-" + std::to_string(::getpid()));
        fs::create_directories(gDir / "prefs");
        fs::create_directories(gDir / "out");
        setenv("TAVRIN_PREFS_DIR", (gDir / "prefs").c_str(), 1);
        setenv("XDG_DATA_HOME", (gDir / "data").c_str(), 1);
        setenv("TAVRIN_PLUGIN_PATH", TAVRIN_TEST_PLUGINS, 1);
        setenv("TAVRIN_HEADLESS", "1", 1);
        setenv("TAVRIN_AVC_UNITS", "0", 1);
        setenv("TAVRIN_FIREWIRE", "sim", 1);  // the simulated deck, even where the machine has FireWire
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(gDir); }

    // A capture a test left running ends before the application, or its
    // thread would still wait for the baton when the process exits.
    void TearDown() override {
        if (rb::app() && tavrin::captureRunning()) {
            tavrin::app().allowcapture = false;
            runUntil([] { return !tavrin::captureRunning(); }, std::chrono::seconds(10));
        }
        if (rb::app() && !rb::app()->quitting()) rb::app()->quit(0);
        rb::op::runFor(50);
    }

    // Starts the application as main() does, on deck link `controlpref`
    // (1: RS-422 on serial port `port`; 0: FireWire, as without a
    // preferences file), and lets it open its windows.
    static void start(int controlpref = 0, int port = 0) {
        if (controlpref)
            std::ofstream(gDir / "prefs" / tavrin::kPrefsFileName, std::ios::binary)
                << std::string{char(controlpref), char(port), 0, 0, 0, 0, 0};
        tavrin::startUp();
        rb::op::runFor(300);
    }

    static tavrin::CaptureWindow &main() { return tavrin::captureWindow(); }
    static tavrin::controlwindow &palette() {
        return *static_cast<tavrin::controlwindow *>(rb::findWindow("controlwindow"));
    }
};
