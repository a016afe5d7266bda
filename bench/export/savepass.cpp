#include "savepass.h"

#include "reference.h"

#include "capturethread/capturethread.h"
#include "capturewindow/capturewindow.h"
#include "capturewindow/framefiles.h"
#include "controlwindow/controlwindow.h"

#include <rb/files.h>
#include <rb/ui.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace tavrin;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

double ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

// Everything written so far is on the disk: each timed part starts with
// nothing of the other's waiting to be written back.
void settle(const fs::path &dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
}

// A line of /proc/self/status in bytes ("VmRSS", "VmHWM").
long statusBytes(const char *key) {
    std::ifstream in("/proc/self/status");
    std::string k;
    long kb = 0;
    while (in >> k) {
        if (k == std::string(key) + ":") {
            in >> kb;
            return kb * 1024;
        }
        in.ignore(4096, '\n');
    }
    return 0;
}

// Starts the peak resident size afresh from the present size.
void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int savePassFigure(const char *dirName, const std::vector<std::vector<uint8_t>> &rgb, int32_t width, int32_t height) {
    CaptureWindow &main = captureWindow();
    auto &pal = rb::implicitInstance<controlwindow>();
    // The pass lets go of the frames it saved: the bench keeps them for the next round.
    const std::vector<std::shared_ptr<StillFrame>> frames = main.p;
    const int n = int(frames.size());
    fs::path dir(dirName);

    // The code of a save is paged in first by the save of a tiny frame, which
    // leaves no large block behind: the first pass's peak is then what its
    // own memory adds, as a program's first pass meets it.
    if (auto tiny = StillFrame::fromPicture(frames[0]->picture().get(), 8, 8)) {
        fs::create_directories(dir / "warm");
        rb::String bytes = exportTIFF(tiny->picture().get());
        writeFrameFile(*rb::FolderItem::make((dir / "warm").string())->child("warm.tif"), bytesOf(bytes), 1);
        fs::remove_all(dir / "warm");
    }

    constexpr int kRounds = 5;
    std::vector<double> passTimes, limitTimes;
    long firstPeak = 0;
    bool complete = true;
    for (int r = 0; r < kRounds; ++r) {
        fs::path app = dir / ("pass" + std::to_string(r)), plain = dir / ("libtiff" + std::to_string(r));
        fs::create_directories(app);
        fs::create_directories(plain);
        main.p = frames;
        pal.savefolder = rb::FolderItem::make(app.string());
        CaptureThread pass;
        pass.framescaptured = n - 1;
        settle(dir);
        long held = statusBytes("VmRSS");
        resetPeak();
        auto t0 = Clock::now();
        pass.saveframestodisk();
        auto t1 = Clock::now();
        if (r == 0) firstPeak = statusBytes("VmHWM") - held;
        passTimes.push_back(ms(t0, t1));
        complete = complete && pass.notsaved == 0;
        for (int i = 0; i < n; ++i) complete = complete && fs::file_size(app / frameFileName("clip", i)) > 0;

        settle(dir);
        auto t2 = Clock::now();
        for (int i = 0; i < n; ++i)
            complete =
                libtiffToFile((plain / frameFileName("clip", i)).string(), rgb[size_t(i)].data(), width, height) &&
                complete;
        int fd = ::open(plain.c_str(), O_RDONLY | O_DIRECTORY);
        complete = fd >= 0 && ::syncfs(fd) == 0 && complete;  // one sync of all the files
        if (fd >= 0) ::close(fd);
        auto t3 = Clock::now();
        limitTimes.push_back(ms(t2, t3));
        fs::remove_all(app);
        fs::remove_all(plain);
    }
    main.p = frames;

    const double pass = median(passTimes), limit = median(limitTimes);
    const double frame = double(width) * height * 3;
    std::printf("save pass: %d frames %dx%d to TIFF files (median of %d rounds)\n", n, width, height, kRounds);
    std::printf("  the capture's save pass:        %8.1f ms  %6.3f ms/frame\n", pass, pass / n);
    std::printf("  libtiff to files, one sync:     %8.1f ms  %6.3f ms/frame\n", limit, limit / n);
    std::printf("  ratio save pass / libtiff:      %.2f\n", pass / limit);
    std::printf("  peak memory of the first pass above the %d frames held: %.2f MB = %.2f frames\n", n,
                double(firstPeak) / 1e6, double(firstPeak) / frame);
    if (!complete) std::fprintf(stderr, "save pass: some frames were not saved\n");
    return complete ? 0 : 1;
}
