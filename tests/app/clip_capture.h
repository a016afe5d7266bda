// A numbered clip as the video, after a one-second black leader, as a tape
// is cued a second ahead of its programme; and a capture of it into
// numbered files whose frames the test reads back.
#pragma once

#include "clips.h"

#include <rb/operator.h>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// Microseconds at which the runtime clock reads `ticks` (1/60 s).
inline int64_t usAtTick(int64_t ticks) { return (ticks * 1000000 + 59) / 60; }

// The video source the application starts with: the leader at the clip's
// size, then the clip.
inline void useClipAsVideo(const std::filesystem::path &clip, int width, int height) {
    std::string leader = "videotestsrc num-buffers=30 pattern=black ! video/x-raw,width=" + std::to_string(width) +
                         ",height=" + std::to_string(height) + ",framerate=30/1";
    setenv("TAVRIN_VIDEO_SOURCE",
           (leader + " ! tape. filesrc location=" + clip.string() + " ! decodebin ! tape. concat name=tape").c_str(),
           1);
}

// Start Capture of `count` frames (prefix "clip") into `out`, through the
// folder dialog and the cue dialog.
inline void startClipCapture(const std::filesystem::path &out, int count) {
    std::filesystem::create_directories(out);
    rb::op::type("controlwindow", "framecount", std::to_string(count));
    rb::op::type("controlwindow", "nameprefix", "clip");
    rb::op::answerFolder(out.string());
    rb::op::click("controlwindow", "BevelButton1");
    rb::op::answerOK();
    rb::op::click("controlwindow", "capturebutton");
}

// The clip frame each of files clip000.tif to clip<count>.tif shows, -2
// for a file that is not there.
inline std::vector<int> clipFramesIn(const std::filesystem::path &out, int count) {
    std::vector<int> got;
    for (int k = 0; k <= count; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "clip%03d.tif", k);
        got.push_back(std::filesystem::exists(out / name) ? testclips::frameInTiff(out / name) : -2);
    }
    return got;
}
