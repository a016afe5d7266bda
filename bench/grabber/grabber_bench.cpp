// Three figures for the grabber over GStreamer, measured in one run:
//  1. the age of the frame a grab copies, in ms since GStreamer handed it
//     over: median and worst of 300 grabs, one every 1/30 s, from the test
//     source at 720x480 (the copy GrabPicture makes);
//  2. the CPU time per second of preview at 720x480: the whole process
//     while the test source runs and a poll every 50 ms paints its newest
//     preview frame into a window surface, against the hand-drawn picture
//     the grabber drew before (drawn and painted on the same polls);
//  3. GrabPicture through the plug-in loaded into the host runtime, the
//     host's picture made of it included (a new picture that is not cleared
//     first, and the frame turned into its ARGB bytes by
//     GStreamer's converter: the frames come in the X server's pixels, for
//     the preview) against one
//     memcpy of the frame's bytes into a buffer kept from one copy to the
//     next; and what a cleared picture, as GrabPicture made before, costs.
// Prints the times and the ratios.
#include "handdrawn.h"
#include "source.h"
#include "video.h"

#include "imaging/imaging.h"

#include <rb/entrypoints.h>
#include <rb/object.h>
#include <rb/plugins.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr int kW = 720, kH = 480;

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

int64_t steadyMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

std::unique_ptr<grab::Video> testSource() {
    grab::Source s;
    s.kind = grab::Source::Description;
    s.description = grab::testSourceDescription(kW, kH);
    std::string why;
    auto v = grab::Video::start(s, nullptr, 10s, &why);
    if (!v) std::fprintf(stderr, "no video: %s\n", why.c_str());
    return v;
}

// CPU seconds per wall second while `poll` runs every 50 ms for `seconds`.
template <class Poll> double cpuPerSecond(double seconds, Poll poll) {
    double cpu0 = cpuSeconds();
    auto t0 = Clock::now(), next = t0;
    while (Clock::now() - t0 < std::chrono::duration<double>(seconds)) {
        poll();
        next += 50ms;
        std::this_thread::sleep_until(next);
    }
    double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    return (cpuSeconds() - cpu0) / wall;
}

}  // namespace

int main() {
    gst_init(nullptr, nullptr);

    // 1. Frame age.
    std::vector<double> ages;
    {
        auto v = testSource();
        if (!v) return 1;
        std::vector<uint8_t> frame(size_t(kW) * kH * 4);
        auto next = Clock::now();
        for (int i = 0; i < 300; ++i) {
            next += std::chrono::microseconds(1000000 / 30);
            std::this_thread::sleep_until(next);
            int64_t delivered = 0;
            if (v->copyFrame(frame.data(), kW, kH, &delivered))
                ages.push_back(double(steadyMicros() - delivered) / 1000.0);
        }
    }
    std::sort(ages.begin(), ages.end());
    std::printf("frame age over %zu grabs at 30 fps: median %.2f ms, worst %.2f ms\n", ages.size(),
                ages[ages.size() / 2], ages.back());

    // 2. CPU per second of preview.
    std::vector<uint32_t> surface(size_t(kW) * kH), scratch(size_t(kW) * kH);
    auto started = Clock::now();
    double old = cpuPerSecond(5, [&] {
        uint64_t frame = uint64_t(std::chrono::duration<double>(Clock::now() - started).count() * 30);
        handdrawn::renderFrame(frame, kW, kH, scratch.data(), kW);
        for (size_t i = 0; i < surface.size(); ++i) surface[i] = scratch[i] & 0xFFFFFFu;
    });
    double now = 0;
    {
        auto v = testSource();
        if (!v) return 1;
        uint64_t seen = 0;
        now = cpuPerSecond(5, [&] {
            v->withNewPreview(&seen, kW, kH, [&](const uint32_t *px) {
                for (size_t i = 0; i < surface.size(); ++i) surface[i] = px[i] & 0xFFFFFFu;
            });
        });
    }
    std::printf("preview at %dx%d: %.1f ms of CPU a second over GStreamer, %.1f ms hand-drawn: %.1fx\n", kW, kH,
                now * 1000, old * 1000, now / old);

    // 3. GrabPicture against one memcpy.
    unsetenv("TAVRIN_VIDEO_SOURCE");
    unsetenv("TAVRIN_NO_VIDEO");
    unsetenv("TAVRIN_VIDEO_SIZE");
    if (rb::PluginLoad load = rb::loadPlugin(GRABBERPLUGIN_PATH); !load.ok) {
        std::fprintf(stderr, "%s\n", load.error.c_str());
        return 1;
    }
    rb::ObjRef g = rb::make("QTGrabberPlyx");
    rb::call(rb::lookup<"QTGrabberPlyx.InitGrabber">(), g.get());
    rb::call(rb::lookup<"QTGrabberPlyx.InitVideo">(), g.get());
    rb::ObjRef r = rb::make("IntegerRectPlyx");
    for (int32_t i = 0; int32_t v : {0, kH, 0, kW}) rb::setDirect<int32_t>(r.get(), 4 * i++, v);
    constexpr int kRounds = 300;
    // The picture as the host makes it of the plug-in's, and lets it go.
    auto grabOnce = [&] { rb::call(rb::lookup<"QTGrabberPlyx.GrabPicture(rect as object) as picture">(), g.get(), r); };
    std::vector<uint8_t> src(size_t(kW) * kH * 4, 0x5A), dst(src.size());
    auto copyOnce = [&] {
        std::memcpy(dst.data(), src.data(), src.size());
        asm volatile("" : : "r"(dst.data()) : "memory");
    };
    auto newPictureOnce = [&] { imaging::DisposeHandle(imaging::NewPicture(kW, kH, 24)); };
    auto overwriteOnce = [&] { imaging::DisposeHandle(imaging::NewPictureForOverwrite(kW, kH, 24)); };
    for (int i = 0; i < 20; ++i) grabOnce(), copyOnce(), newPictureOnce(), overwriteOnce();  // warm up
    auto time = [&](auto once) {
        std::vector<double> us;
        for (int i = 0; i < kRounds; ++i) {
            auto t0 = Clock::now();
            once();
            us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        }
        std::sort(us.begin(), us.end());
        return us[us.size() / 2];
    };
    auto v = testSource();
    if (!v) return 1;
    auto frameCopyOnce = [&] { v->copyFrame(dst.data(), kW, kH); };
    double grabUs = time(grabOnce), copyUs = time(copyOnce), newPicUs = time(newPictureOnce),
           overwriteUs = time(overwriteOnce), frameCopyUs = time(frameCopyOnce);
    std::printf("GrabPicture %dx%d: median %.0f us; one memcpy of the frame %.0f us: %.2fx\n", kW, kH, grabUs, copyUs,
                grabUs / copyUs);
    std::printf(
        "  of it: a new picture to overwrite (imaging::NewPictureForOverwrite) %.1f us, %.2fx; the frame turned "
        "into it %.0f us, %.2fx\n",
        overwriteUs, overwriteUs / copyUs, frameCopyUs, frameCopyUs / copyUs);
    std::printf("  a cleared picture (imaging::NewPicture), as GrabPicture made before: %.0f us, %.2fx\n", newPicUs,
                newPicUs / copyUs);
    return 0;
}
