// The hand-drawn test picture the grabber drew before it ran over GStreamer,
// kept here only so the benchmark can measure the old preview against the
// new in one run: colour bars, a box that moves one step per frame, and the
// frame number in digits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace handdrawn {

// Draws frame `frame` into `out` (width x height pixels 0x00RRGGBB, rows
// `stride` pixels apart), with neutral picture controls.
void renderFrame(uint64_t frame, int width, int height, uint32_t *out, size_t stride);

}  // namespace handdrawn
