// Prints: transport button press -> last RS-422 byte written (median, worst);
// capture grab lateness against its schedule in ticks with the main loop
// busy; memory held per frame against the raw pixel size (from the peaks of
// two capture lengths); grab lateness with a FireWire deck that does not
// answer.
#include "application/app.h"
#include "application/startup.h"
#include "capturethread/capturethread.h"
#include "capturewindow/capturewindow.h"
#include "controlwindow/controlwindow.h"

#include <fw/FWSim.h>
#include <rb/loop.h>
#include <rb/operator.h>
#include <rb/serial.h>
#include <rb/timer.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace tavrin;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// The peak resident size since the last resetPeak(), in KiB.
static long peakResidentKiB() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}
static void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

int main() {
    fs::path dir = fs::temp_directory_path() / ("tavrin-bench-" + std::to_string(getpid()));
    fs::create_directories(dir / "out");
    setenv("TAVRIN_PREFS_DIR", dir.c_str(), 1);
    setenv("TAVRIN_PLUGIN_PATH", TAVRIN_BENCH_PLUGINS, 1);
    setenv("TAVRIN_HEADLESS", "1", 1);
    setenv("TAVRIN_AVC_UNITS", "0", 1);

    int master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    fcntl(master, F_SETFL, O_NONBLOCK);
    int port = rb::SerialPorts::add("bench", ptsname(master));
    std::ofstream(dir / kPrefsFileName, std::ios::binary) << std::string{1, char(port), 0, 0, 0, 0, 0};

    startUp();
    rb::op::runFor(300);
    auto *main = captureWindowIfOpen();
    auto *pal = static_cast<controlwindow *>(rb::findWindow("controlwindow"));

    // 1. Press to last byte: play and pause alternately.
    std::vector<double> us;
    char buf[64];
    while (read(master, buf, sizeof buf) > 0) {}
    for (int i = 0; i < 1000; ++i) {
        const char *button = i % 2 ? "stopbutton" : "playbutton";
        auto t0 = Clock::now();
        rb::op::click("CaptureWindow", button);
        size_t got = 0;
        while (got < 3) {
            ssize_t n = read(master, buf, sizeof buf);
            if (n > 0) got += size_t(n);
        }
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    std::sort(us.begin(), us.end());
    std::printf("transport press -> last byte on the pty: median %.1f us, worst %.1f us (%zu presses)\n",
                us[us.size() / 2], us.back(), us.size());

    // 2. Capture timing with a busy main loop (8 ms of work every 20 ms).
    rb::ObjRef busy = rb::newTimer(20, [](REALobject) {
        auto until = Clock::now() + std::chrono::milliseconds(8);
        while (Clock::now() < until) {}
    });
    rb::setTimerMode(busy.get(), rb::TimerMultiple);
    const int count = 9;  // 10 grabs, one a second
    rb::op::type("controlwindow", "framecount", std::to_string(count));
    rb::op::answerFolder((dir / "out").string());
    rb::op::click("controlwindow", "BevelButton1");
    rb::op::answerOK();
    int64_t start = rb::Ticks();
    rb::op::click("controlwindow", "capturebutton");
    std::vector<int64_t> at;
    int last = 0;
    while (pal->counter <= count && pal->capturebutton->caption() == "Stop Capture") {
        rb::op::runFor(1);
        if (pal->counter != last) {
            last = pal->counter;
            at.push_back(rb::Ticks());
        }
    }
    int64_t worst = 0, sum = 0, prev = start;
    for (int64_t t : at) {
        int64_t late = t - (prev + 60);
        worst = std::max(worst, late);
        sum += late;
        prev = t;
    }
    std::printf("capture: %zu grabs, lateness against schedule: mean %.2f ticks, worst %lld ticks\n", at.size(),
                at.empty() ? 0.0 : double(sum) / double(at.size()), (long long)worst);
    rb::setTimerMode(busy.get(), rb::TimerOff);
    for (int i = 0; i < 200 && pal->mymessage->text() != "Done"; ++i) rb::op::runFor(20);

    // 3. Memory per held frame: the peak of a 25-frame capture and its save
    // less that of a 5-frame one, over the 20 frames between. What the
    // program holds whatever the length cancels out.
    auto peakOfCapture = [&](int frames) {
        resetPeak();
        rb::op::type("controlwindow", "framecount", std::to_string(frames - 1));
        rb::op::answerOK();
        rb::op::click("controlwindow", "capturebutton");
        // The capture ends once every frame is on the disk (a minute at most).
        for (int i = 0; i < 3000 && captureRunning(); ++i) rb::op::runFor(20);
        return peakResidentKiB();
    };
    long shortPeak = peakOfCapture(5), longPeak = peakOfCapture(25);
    double perFrame = double(longPeak - shortPeak) / 20.0, raw = 720.0 * 480.0 * 3.0 / 1024.0;
    std::printf(
        "memory per held frame: %.0f KiB against %.1f KiB raw 24-bit pixels (ratio %.3f; peaks %ld and %ld "
        "KiB for 5 and 25 frames)\n",
        perFrame, raw, perFrame / raw, shortPeak, longPeak);

    // 4. A FireWire deck that does not answer: every AV/C exchange waits out
    // the 500 ms time-out. Grab ticks as the capture thread took them.
    fwsim_reset(1);
    app().controlpref = 0;
    main->initfirewire();
    fwsim_set_fault(fwsim_unit_id(0), FWSIM_TIMEOUT, 0);
    rb::op::runFor(200);
    const int silentCount = 4;  // 5 grabs, one a second
    rb::op::type("controlwindow", "framecount", std::to_string(silentCount));
    auto began = Clock::now();
    rb::op::answerOK();  // the cue dialog; the folder is the one chosen above
    rb::op::click("controlwindow", "capturebutton");
    std::vector<int64_t> due;
    while (pal->capturebutton->caption() == "Stop Capture" && due.size() < size_t(silentCount) + 2) {
        rb::op::runFor(1);
        int64_t d = nextGrabDue();
        if (d >= 0 && (due.empty() || due.back() != d)) due.push_back(d);
    }
    for (int i = 0; i < 500 && pal->capturebutton->caption() != "Start Capture"; ++i) rb::op::runFor(20);
    double took = std::chrono::duration<double>(Clock::now() - began).count();
    int64_t silentWorst = 0, silentSum = 0;
    for (size_t i = 0; i + 1 < due.size(); ++i) {
        int64_t late = due[i + 1] - 60 - due[i];
        silentWorst = std::max(silentWorst, late);
        silentSum += late;
    }
    size_t grabs = due.empty() ? 0 : due.size() - 1;
    std::printf(
        "capture with a silent FireWire deck: %zu grabs, lateness: mean %.2f ticks, worst %lld ticks; "
        "the run took %.1f s\n",
        grabs, grabs ? double(silentSum) / double(grabs) : 0.0, (long long)silentWorst, took);
    rb::app()->quit(0);
    rb::op::runFor(50);
    fs::remove_all(dir);
    return 0;
}
