// The synthetic video picture: colour bars, a box that moves one step per
// frame, and the frame number in digits, drawn at any size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace grab {

// Picture controls, each 0..100 (50 = neutral).
struct PictureControls {
    int brightness = 50;
    int contrast = 50;
    int saturation = 50;
};

// Draws frame `frame` into `out` (width x height pixels 0x00RRGGBB, rows
// `stride` pixels apart). Nothing is drawn for a size below 1.
void renderFrame(uint64_t frame, int width, int height, const PictureControls &c,
                 uint32_t *out, size_t stride);

// The settings text of a set of controls, and back. parseSettings accepts
// only a complete, well-formed text ("tavrin-grabber 1" then key=value
// words with values 0..100) and leaves `c` alone otherwise.
std::string formatSettings(const PictureControls &c);
bool parseSettings(const std::string &text, PictureControls *c);

}  // namespace grab
