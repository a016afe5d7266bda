// The application end to end, shared by the e2e test files: started as the
// program starts it, on the test's clock, and driven through its windows by
// the scripted operator. Each test runs in a process of its own.
#pragma once

#include "application/app.h"
#include "application/startup.h"
#include "capturethread/capturethread.h"
#include "capturewindow/capturewindow.h"
#include "controlwindow/controlwindow.h"
#include "run_until.h"
#include "test_clock.h"

#include <deck9pin/deck9pin.h>
#include <fw/FWSim.h>
#include <rb/operator.h>
#include <rb/serial.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace tavrin;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The test process's own folder: preferences and output.
inline fs::path gDir;

// A pseudo-terminal listed as a serial port; the test reads the master side.
struct FakeDeck {
    int master = -1;
    int index = -1;
    std::vector<std::string> log;
    uint64_t bad = 0;

    FakeDeck() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master);
        unlockpt(master);
        fcntl(master, F_SETFL, O_NONBLOCK);
        static int n = 0;
        index = rb::SerialPorts::add("deck" + std::to_string(n++), ptsname(master));
    }
    ~FakeDeck() { close(master); }

    // Everything the app wrote so far, as log lines of the 9-pin parser.
    std::vector<std::string> drain() {
        deck9pin::Deck deck;
        std::vector<std::string> lines;
        deck9pin::Parser parser([&](const deck9pin::Event &e) {
            lines.push_back(deck.apply(e));
            if (e.kind != deck9pin::Event::Frame) ++bad;
        });
        uint8_t buf[4096];
        for (;;) {
            ssize_t n = read(master, buf, sizeof buf);
            if (n <= 0) break;
            parser.feed(buf, size_t(n));
        }
        parser.flush();
        log.insert(log.end(), lines.begin(), lines.end());
        return lines;
    }
};

class Tavrin : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        gDir = fs::temp_directory_path() / ("tavrin-e2e-" + std::to_string(::getpid()));
        fs::create_directories(gDir / "prefs");
        fs::create_directories(gDir / "out");
        setenv("TAVRIN_PREFS_DIR", (gDir / "prefs").c_str(), 1);
        setenv("TAVRIN_PLUGIN_PATH", TAVRIN_TEST_PLUGINS, 1);
        setenv("TAVRIN_HEADLESS", "1", 1);
        setenv("TAVRIN_AVC_UNITS", "0", 1);
        setenv("TAVRIN_FIREWIRE", "sim", 1);  // the simulated deck, even where the machine has FireWire
    }
    static void TearDownTestSuite() { fs::remove_all(gDir); }

    // Starts the application as main() does and lets it open its windows.
    void start(int controlpref = 0, int port = 0) {
        if (controlpref)
            std::ofstream(gDir / "prefs" / kPrefsFileName, std::ios::binary)
                << std::string{char(controlpref), char(port), 0, 0, 0, 0, 0};
        startUp();
        rb::op::runFor(300);
    }

    // The simulated decks run on the test's clock too.
    void SetUp() override {
        fwsim_set_clock([](void *) { return uint64_t(TestClock::now()) * 1000; }, nullptr);
    }
    void TearDown() override {
        if (rb::app() && !rb::app()->quitting()) rb::app()->quit(0);
        rb::op::runFor(50);
        fwsim_set_clock(nullptr, nullptr);
    }

    void chooseFolder(const std::string &folder) {
        rb::op::answerFolder(folder);
        rb::op::click("controlwindow", "BevelButton1");
    }

    // Chooses the folder, then Start Capture through the cue dialog.
    void startCapture(const std::string &folder) {
        chooseFolder(folder);
        rb::op::answerOK();
        rb::op::click("controlwindow", "capturebutton");
    }

    // Starts a 10-frame capture (prefix q) on the test's tick clock and lets
    // it grab two frames.
    void captureTwoOfTen(const fs::path &out) {
        setTicks(0);
        fs::create_directories(out);
        rb::op::type("controlwindow", "framecount", "10");
        rb::op::type("controlwindow", "nameprefix", "q");
        startCapture(out.string());
        runUntilStill([] { return nextGrabDue() >= 0; }, 5s);  // the run's first tick is the clock's now
        for (int64_t tick : {60, 120}) {
            setTicks(tick);
            runUntilStill([&] { return palette().counter >= tick / 60; }, 5s);
        }
    }

    // Stands the clock at tick `ticks` (1/60 s) counted from a whole second
    // after where it stood at the first call.
    void setTicks(int64_t ticks) {
        if (tickZeroUs_ < 0) tickZeroUs_ = (clock.nowUs() / 1'000'000 + 1) * 1'000'000;
        clock.set(tickZeroUs_ + ticks * 1'000'000 / 60 + 1);
    }

    CaptureWindow &main() { return captureWindow(); }
    controlwindow &palette() { return *static_cast<controlwindow *>(rb::findWindow("controlwindow")); }

    // Everything runs on it, from start-up on; the loop moves it as it runs.
    TestClock clock;

private:
    int64_t tickZeroUs_ = -1;
};

inline size_t filesIn(const fs::path &dir) { return size_t(std::distance(fs::directory_iterator(dir), {})); }

inline size_t count(const std::vector<std::string> &lines, const std::string &word) {
    size_t n = 0;
    for (auto &l : lines) n += l.find(word) != std::string::npos;
    return n;
}

// Waits until the capture palette is idle again.
inline void waitForIdle(controlwindow &pal, int seconds) {
    runUntil([&] { return pal.capturebutton->caption() == "Start Capture"; }, std::chrono::seconds(seconds));
}
