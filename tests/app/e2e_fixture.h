// The application end to end, shared by the e2e test files: started as the
// program starts it, on the test's clock, and driven through its windows by
// the scripted operator. Each test runs in a process of its own.
#pragma once

#include "app_fixture.h"
#include "application/startup.h"
#include "run_until.h"
#include "test_clock.h"

#include <fw/FWSim.h>
#include <rb/operator.h>
#include <rb/serial.h>

#include <gtest/gtest.h>

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

class Tavrin : public AppTest {
protected:
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
