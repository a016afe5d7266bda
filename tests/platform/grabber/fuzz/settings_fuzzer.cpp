// libFuzzer target: any bytes as the grabber settings text. A text that is
// accepted must hold controls in range and a device name within its limit,
// and survive a round trip.
#include "settings.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    grab::GrabberSettings s;
    if (!grab::parseSettings(text, &s)) return 0;
    const grab::PictureControls &c = s.controls;
    for (int v : {c.brightness, c.contrast, c.saturation})
        if (v < 0 || v > 100) __builtin_trap();
    if (s.device.size() > grab::kMaxDeviceName) __builtin_trap();
    grab::GrabberSettings back;
    back.device = "something else";
    if (!grab::parseSettings(grab::formatSettings(s), &back) || back.controls.brightness != c.brightness ||
        back.controls.contrast != c.contrast || back.controls.saturation != c.saturation ||
        (!s.device.empty() && back.device != s.device))
        __builtin_trap();
    return 0;
}
