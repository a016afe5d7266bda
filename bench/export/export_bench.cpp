// Saving 720x480 frames as TIFF, each figure against the limit the machine
// sets, in one run of the application (headless, its real plug-ins), with
// the medians of several rounds, the two sides of a figure in turn:
//  1. export: a grabbed frame to TIFF bytes as the save pass does it (the
//     frame as a picture, then QTGraphicsExporterPlyx: OpenExporter("TIFF"),
//     InputPicture, ExportToString), against libtiff encoding the same
//     frames' packed 24-bit rows into a buffer sized once;
//  2. the save pass of a timed capture (CaptureThread::saveframestodisk:
//     every frame exported, written, on the disk and in place), against
//     libtiff writing the same frames to new files and one sync of them all
//     at the end; and the pass's peak memory above the frames it holds.
#include "reference.h"
#include "savepass.h"

#include "application/largeblocks.h"
#include "application/startup.h"
#include "capturewindow/capturewindow.h"
#include "capturewindow/framefiles.h"
#include "controlwindow/controlwindow.h"

#include <rb/loop.h>
#include <rb/operator.h>
#include <rb/runtime.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace tavrin;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

constexpr int kFrames = 100;

double ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void exportFigure(CaptureWindow &main, const std::vector<std::vector<uint8_t>> &rgb, int32_t w, int32_t h) {
    auto appFrame = [&](int i) {
        LargeBlocksReused reuse;  // as the save pass has it
        rb::String data = exportTIFF(main.frame(i)->picture().get());
        return bytesOf(data).size();  // the size, not a copy
    };
    appFrame(0);
    libtiffToMemory(rgb[0].data(), w, h);
    constexpr int kRounds = 7;
    std::vector<double> appTimes, libtiffTimes;
    size_t appBytes = 0, libtiffBytes = 0;
    for (int r = 0; r < kRounds; ++r) {
        appBytes = libtiffBytes = 0;
        auto t0 = Clock::now();
        for (int i = 0; i < kFrames; ++i) appBytes += appFrame(i);
        auto t1 = Clock::now();
        for (int i = 0; i < kFrames; ++i) libtiffBytes += libtiffToMemory(rgb[size_t(i)].data(), w, h);
        auto t2 = Clock::now();
        appTimes.push_back(ms(t0, t1));
        libtiffTimes.push_back(ms(t1, t2));
    }
    const double app = median(appTimes), libtiff = median(libtiffTimes);
    std::printf("export: %d frames %dx%d to TIFF in memory (median of %d rounds)\n", kFrames, w, h, kRounds);
    std::printf("  frame, picture, ExportToString: %8.1f ms  %6.3f ms/frame  %zu bytes/frame\n", app, app / kFrames,
                appBytes / kFrames);
    std::printf("  libtiff, packed rows, buffer sized once: %8.1f ms  %6.3f ms/frame  %zu bytes/frame\n", libtiff,
                libtiff / kFrames, libtiffBytes / kFrames);
    std::printf("  ratio export / libtiff:         %.2f\n", app / libtiff);
}

}  // namespace

int main() {
    // Beside the build, on the disk the frames would go to (not a memory file system).
    fs::path dir = fs::current_path() / ("tavrin-export-bench-" + std::to_string(getpid()));
    fs::create_directories(dir / "prefs");
    setenv("TAVRIN_PREFS_DIR", (dir / "prefs").c_str(), 1);
    setenv("TAVRIN_PLUGIN_PATH", TAVRIN_BENCH_PLUGINS, 1);
    setenv("TAVRIN_HEADLESS", "1", 1);
    setenv("TAVRIN_AVC_UNITS", "0", 1);
    setenv("TAVRIN_FIREWIRE", "sim", 1);

    startUp();
    rb::op::runFor(300);
    auto *main = captureWindowIfOpen();
    auto *pal = static_cast<controlwindow *>(rb::findWindow("controlwindow"));
    if (!main || !pal) {
        std::fprintf(stderr, "export bench: the application did not open\n");
        return 1;
    }
    for (int i = 0; i < kFrames; ++i) main->GrabStill(i);
    const StillFrame *first = main->frame(0);
    if (!first || !main->frame(kFrames - 1)) {
        std::fprintf(stderr, "export bench: no frames grabbed\n");
        return 1;
    }
    pal->nameprefix->setText("clip");
    pal->filecreator->setListIndex(1);
    // Each frame's packed rows for libtiff, in memory of their own as the
    // frames are: neither side reads a frame the other has just read.
    const int32_t w = first->width(), h = first->height();
    std::vector<std::vector<uint8_t>> rgb(kFrames, std::vector<uint8_t>(size_t(w) * size_t(h) * 3));
    for (int i = 0; i < kFrames; ++i)
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                uint32_t px = main->frame(i)->pixel(x, y);
                uint8_t *p = &rgb[size_t(i)][(size_t(y) * size_t(w) + size_t(x)) * 3];
                p[0] = uint8_t(px >> 16), p[1] = uint8_t(px >> 8), p[2] = uint8_t(px);
            }

    // The save pass first, as a run of the program meets it: before any
    // other export has left memory behind.
    int rc = savePassFigure(dir.c_str(), rgb, w, h);
    std::fflush(stdout);
    exportFigure(*main, rgb, w, h);

    rb::app()->quit(0);
    rb::op::runFor(50);
    fs::remove_all(dir);
    return rc;
}
