// The save pass of a timed capture: every grabbed frame through the
// application's savefiles (export to TIFF through the plug-in, temporary
// file, one write, rename, type and creator), against the disk's own limit:
// the same bytes written to new files with one plain write each.
#include "savepass.h"

#include "application/largeblocks.h"
#include "application/startup.h"
#include "capturewindow/capturewindow.h"
#include "capturewindow/framefiles.h"
#include "controlwindow/controlwindow.h"

#include <rb/files.h>
#include <rb/loop.h>
#include <rb/operator.h>
#include <rb/runtime.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace tavrin;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

double ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

std::string readFile(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Each timed part starts with nothing of the other's waiting to be written
// back, so that neither pays for the other's data.
void settle(const fs::path &dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
}

}  // namespace

int savePassFigure(int frames) {
    // Beside the build, on the disk the frames would go to (not a memory file system).
    fs::path dir = fs::current_path() / ("tavrin-savepass-" + std::to_string(getpid()));
    fs::create_directories(dir / "prefs");
    setenv("TAVRIN_PREFS_DIR", (dir / "prefs").c_str(), 1);
    setenv("TAVRIN_PLUGIN_PATH", TAVRIN_BENCH_PLUGINS, 1);
    setenv("TAVRIN_HEADLESS", "1", 1);
    setenv("TAVRIN_AVC_UNITS", "0", 1);

    startUp();
    rb::op::runFor(300);
    auto *main = static_cast<CaptureWindow *>(rb::findWindow("CaptureWindow"));
    auto *pal = static_cast<controlwindow *>(rb::findWindow("controlwindow"));
    if (!main || !pal) {
        std::fprintf(stderr, "save pass: the application did not open\n");
        return 1;
    }
    for (int i = 0; i < frames; ++i) main->GrabStill(i);
    pal->nameprefix->setText("clip");
    pal->filecreator->setListIndex(1);

    // Rounds of both in turn, each into new files (files replaced in place
    // would cost the disk differently); the median round of each counts.
    constexpr int kRounds = 3;
    std::vector<double> saveTimes, plainTimes;
    std::vector<std::string> bytes;
    size_t total = 0;
    bool complete = true;
    for (int r = 0; r < kRounds; ++r) {
        fs::path app = dir / ("app" + std::to_string(r)), plain = dir / ("plain" + std::to_string(r));
        fs::create_directories(app);
        fs::create_directories(plain);
        pal->savefolder = rb::FolderItem::make(app.string());
        settle(dir);
        auto t0 = Clock::now();
        for (int i = 0; i < frames; ++i) main->savefiles(i);
        auto t1 = Clock::now();
        saveTimes.push_back(ms(t0, t1));

        bytes.clear();
        total = 0;
        for (int i = 0; i < frames; ++i) {
            bytes.push_back(readFile(app / frameFileName("clip", i)));
            total += bytes.back().size();
            complete = complete && !bytes.back().empty();
        }
        settle(dir);
        auto t2 = Clock::now();
        for (int i = 0; i < frames; ++i) {
            const std::string &b = bytes[size_t(i)];
            std::string path = (plain / frameFileName("clip", i)).string();
            int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || ::write(fd, b.data(), b.size()) != ssize_t(b.size())) complete = false;
            if (fd >= 0) ::close(fd);
        }
        auto t3 = Clock::now();
        plainTimes.push_back(ms(t2, t3));
        fs::remove_all(app);
        fs::remove_all(plain);
    }
    std::sort(saveTimes.begin(), saveTimes.end());
    std::sort(plainTimes.begin(), plainTimes.end());

    // The two halves of one save, as savefiles runs them: the frame back as a
    // picture and its export, and the frame-file write path (temporary file,
    // write, rename, type and creator).
    fs::path split = dir / "split";
    fs::create_directories(split);
    double exportTime = 0, fileTime = 0;
    for (int i = 0; i < frames; ++i) {
        LargeBlocksReused reuse;
        auto t0 = Clock::now();
        rb::String data = exportTIFF(main->frame(i)->picture().get());
        auto t1 = Clock::now();
        complete = writeFrameFile(*rb::FolderItem::make(split.string())->child(frameFileName("clip", i)), bytesOf(data), 1) &&
                   complete;
        auto t2 = Clock::now();
        exportTime += ms(t0, t1);
        fileTime += ms(t1, t2);
    }

    double save = saveTimes[kRounds / 2], plain = plainTimes[kRounds / 2];
    std::printf("save pass: %d frames to TIFF files through savefiles (median of %d rounds)\n", frames, kRounds);
    std::printf("  savefiles (export and file):   %8.1f ms  %6.3f ms/frame  %zu bytes/frame\n", save, save / frames,
                total / size_t(frames));
    std::printf("    of which picture and export: %8.1f ms  %6.3f ms/frame\n", exportTime, exportTime / frames);
    std::printf("    of which the frame file:     %8.1f ms  %6.3f ms/frame\n", fileTime, fileTime / frames);
    std::printf("  plain write of the same bytes: %8.1f ms  %6.3f ms/frame\n", plain, plain / frames);
    std::printf("  ratio savefiles / plain write: %.2f\n", plain > 0 ? save / plain : 0.0);
    if (!complete) std::fprintf(stderr, "save pass: some frames were not saved\n");

    rb::app()->quit(0);
    rb::op::runFor(50);
    fs::remove_all(dir);
    return complete ? 0 : 1;
}
