// One timed capture: play the deck, grab a frame every interval into the main
// window's picture array, stop, save the frames as numbered TIFF files and
// reset the palette. Runs as a cooperative thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tavrin {

struct CaptureThread {
    // Ticks in 64 bits: the clock runs past 32 bits after 414 days, and an
    // interval of the field's largest value doubled does not fit either.
    int64_t currentticks = 0;
    int64_t myinterval = 0;
    int32_t framescaptured = -1;
    bool keptOnly = false;    // saves the kept unsaved frames; no deck, no grabs
    int32_t saved = 0;        // frames written
    int32_t notsaved = 0;     // frames that could not be written (kept in memory)
    int32_t missing = 0;      // frames asked for but not grabbed (no memory)
    bool videoEnded = false;  // a grab found no video: the capture ended there
    // Memory set aside while grabbing so that the save pass can run; taken
    // untouched, so it costs address space but no resident memory.
    std::unique_ptr<char[]> saveReserve;

    void Run();
    void saveframestodisk();
    void resetcontrolwindow();
};

// What saving one frame of width x height needs at its peak: the TIFF data
// as the exporter writes it and as the host string holds it (2 x 3 bytes a
// pixel), with some to spare. The picture is the frame's own rows.
inline size_t saveReserveBytes(int32_t width, int32_t height) { return size_t(width) * size_t(height) * 8; }

// The palette's status line at the end of a run: "Done", or what is missing
// and what could not be saved.
std::string outcomeText(int32_t missing, int32_t notsaved);
// The status line of a run that the video's end ended: how many frames
// were saved, or how many could not be.
std::string videoEndedText(int32_t saved, int32_t notsaved);
// The status line of a run that ends the application: how many frames were
// saved (and how many are missing).
std::string savedText(int32_t saved, int32_t missing);

// Makes a new CaptureThread and starts it; with keptOnly it saves the kept
// unsaved frames of the main window instead of capturing.
void startCaptureThread(bool keptOnly = false);
// True from the start of a capture until its palette reset.
bool captureRunning();
// The tick at which the next grab is due while a capture is grabbing, else -1.
int64_t nextGrabDue();

}  // namespace tavrin
