// The application's save pass timed against libtiff's own files, and its
// peak memory.
#pragma once

#include <cstdint>
#include <vector>

// Runs the capture thread's save pass over the frames the main window holds
// (rounds into new folders under `dir`), against libtiff writing `rgb`
// (each frame's packed rows) to as many new files with one sync of them all
// at the end; prints the times, their ratio and the pass's peak memory
// above the frames held. 0 when every frame was saved.
int savePassFigure(const char *dir, const std::vector<std::vector<uint8_t>> &rgb, int32_t width, int32_t height);
