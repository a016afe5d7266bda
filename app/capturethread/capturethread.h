// One timed capture: play the deck, grab a frame every interval into the main
// window's picture array, stop, save the frames as numbered TIFF files and
// reset the palette. Runs as a cooperative thread.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin {

struct CaptureThread {
    int32_t currentticks = 0;
    int32_t myinterval = 0;
    int32_t framescaptured = -1;
    int32_t notsaved = 0;  // frames that could not be written
    int32_t missing = 0;   // frames asked for but not grabbed (no memory)

    void Run();
    void saveframestodisk();
    void resetcontrolwindow();
};

// The palette's status line at the end of a run: "Done", or what is missing
// and what could not be saved.
std::string outcomeText(int32_t missing, int32_t notsaved);

// Makes a new CaptureThread and starts it.
void startCaptureThread();
// True from the start of a capture until its palette reset.
bool captureRunning();
// The tick at which the next grab is due while a capture is grabbing, else -1.
int64_t nextGrabDue();

}  // namespace tavrin
