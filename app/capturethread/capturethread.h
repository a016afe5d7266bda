// One timed capture: play the deck, grab a frame every interval into the main
// window's picture array, stop, save the frames as numbered TIFF files and
// reset the palette. Runs as a cooperative thread.
#pragma once

#include <cstdint>

namespace tavrin {

struct CaptureThread {
    int32_t currentticks = 0;
    int32_t myinterval = 0;
    int32_t framescaptured = -1;
    int32_t notsaved = 0;  // frames that could not be written

    void Run();
    void saveframestodisk();
    void resetcontrolwindow();
};

// Makes a new CaptureThread and starts it.
void startCaptureThread();
// True from the start of a capture until its palette reset.
bool captureRunning();

}  // namespace tavrin
