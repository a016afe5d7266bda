// The grabber's settings text: the picture controls and the video device
// chosen, by a name that stays the same from one run to the next, with its
// input and the picture size.
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
    // The device's input by its name ("" for the one it has); the size asked
    // of the source (0 x 0: the size it gives by itself).
    std::string input;
    int width = 0, height = 0;
};

// Longest device or input name the text carries.
constexpr size_t kMaxDeviceName = 1024;
// Largest picture side the grabber makes, paints or asks of a source.
constexpr int kMaxSide = 8192;

// "tavrin-grabber 1 brightness=B contrast=C saturation=S" without a device,
// as every earlier version wrote it; "tavrin-grabber 2 ... device=NAME" with
// one; "tavrin-grabber 3 ... device=NAME input=NAME size=WxH" with an input
// or a size. Names have their spaces, '%' and bytes outside printable ASCII
// written as %XX. Each text is of the lowest version that carries it, so a
// build that reads only the earlier versions still reads what it can.
std::string formatSettings(const GrabberSettings &s);
// Accepts only a complete, well-formed text of version 1, 2 or 3 (key=value
// words; controls 0..100; a device from version 2 on, an input and a size,
// each side 1..8192, in version 3) and leaves `s` alone otherwise. Keys a
// text leaves out keep their values.
bool parseSettings(const std::string &text, GrabberSettings *s);

}  // namespace grab
