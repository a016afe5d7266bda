// The grabber's settings text: the picture controls and the video device
// chosen, by a name that stays the same from one run to the next.
#pragma once

#include <string>

namespace grab {

// Picture controls, each 0..100 (50 = neutral).
struct PictureControls {
    int brightness = 50;
    int contrast = 50;
    int saturation = 50;
};

struct GrabberSettings {
    PictureControls controls;
    // The device's path, or the name the device monitor shows; "" for none
    // (the test source, or a source named by TAVRIN_VIDEO_SOURCE).
    std::string device;
};

// Longest device name the text carries.
constexpr size_t kMaxDeviceName = 1024;

// "tavrin-grabber 1 brightness=B contrast=C saturation=S" without a device,
// as every earlier version wrote it; "tavrin-grabber 2 ... device=NAME" with
// one, the name's spaces, '%' and bytes outside printable ASCII written as
// %XX.
std::string formatSettings(const GrabberSettings &s);
// Accepts only a complete, well-formed text of version 1 or 2 (key=value
// words; controls 0..100; a device only in version 2) and leaves `s` alone
// otherwise. Keys a text leaves out keep their values.
bool parseSettings(const std::string &text, GrabberSettings *s);

}  // namespace grab
