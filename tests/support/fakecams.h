// Video devices of the tests' own, seen through GStreamer's device monitor
// as "Video/Source" devices, as a capture card or a webcam would be. Each
// shows a solid colour of its own (red, green, blue, then white) from
// videotestsrc, live on the pipeline's clock, at the sizes it offers.
#pragma once

#include <string>
#include <vector>

namespace fakecams {

struct Camera {
    std::string path;  // "device.path" (empty: the device has none)
    std::string name;  // the display name
    std::vector<std::pair<int, int>> sizes;
};

// Puts the devices in place of the ones there were (none at first); the
// next look of the monitor sees them. Registers the provider on first use
// (GStreamer must be initialised).
void set(std::vector<Camera> cameras);

// The colour the camera at `index` of the list shows, as 0xRRGGBB.
unsigned colourOf(size_t index);

}  // namespace fakecams
