// The settings text.
#include "settings.h"

#include <sstream>

namespace grab {

namespace {

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
int hexValue(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

std::string escape(const std::string &name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if (c > 0x20 && c < 0x7F && c != '%') {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

bool unescape(const std::string &text, std::string *out) {
    std::string name;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            name += text[i];
            continue;
        }
        if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) return false;
        name += char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
        i += 2;
    }
    if (name.empty() || name.size() > kMaxDeviceName) return false;
    *out = name;
    return true;
}

// 0..100 in at most three digits.
bool control(const std::string &value, int *out) {
    if (value.empty() || value.size() > 3) return false;
    int v = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > 100) return false;
    *out = v;
    return true;
}

}  // namespace

std::string formatSettings(const GrabberSettings &s) {
    const PictureControls &c = s.controls;
    std::string text = std::string("tavrin-grabber ") + (s.device.empty() ? "1" : "2") +
                       " brightness=" + std::to_string(c.brightness) + " contrast=" + std::to_string(c.contrast) +
                       " saturation=" + std::to_string(c.saturation);
    if (!s.device.empty()) text += " device=" + escape(s.device);
    return text;
}

bool parseSettings(const std::string &text, GrabberSettings *s) {
    std::istringstream in(text);
    std::string magic, version, word;
    if (!(in >> magic >> version) || magic != "tavrin-grabber" || (version != "1" && version != "2")) return false;
    GrabberSettings next = *s;
    while (in >> word) {
        size_t eq = word.find('=');
        if (eq == std::string::npos || eq == 0) return false;
        std::string key = word.substr(0, eq), value = word.substr(eq + 1);
        bool ok = false;
        if (key == "brightness") ok = control(value, &next.controls.brightness);
        else if (key == "contrast") ok = control(value, &next.controls.contrast);
        else if (key == "saturation") ok = control(value, &next.controls.saturation);
        else if (key == "device" && version == "2") ok = unescape(value, &next.device);
        if (!ok) return false;
    }
    *s = next;
    return true;
}

}  // namespace grab
