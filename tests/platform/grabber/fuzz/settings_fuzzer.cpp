// libFuzzer target: any bytes as the grabber settings text. A text that is
// accepted must hold controls in range and survive a round trip.
#include "pattern.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    grab::PictureControls c;
    if (!grab::parseSettings(text, &c)) return 0;
    for (int v : {c.brightness, c.contrast, c.saturation})
        if (v < 0 || v > 100) __builtin_trap();
    grab::PictureControls back;
    if (!grab::parseSettings(grab::formatSettings(c), &back) || back.brightness != c.brightness ||
        back.contrast != c.contrast || back.saturation != c.saturation)
        __builtin_trap();
    return 0;
}
