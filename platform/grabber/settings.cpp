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

// "WxH", each side 1..kMaxSide in at most four digits.
bool size(const std::string &value, int *width, int *height) {
    size_t x = value.find('x');
    if (x == std::string::npos) return false;
    int side[2] = {0, 0};
    std::string parts[2] = {value.substr(0, x), value.substr(x + 1)};
    for (int i = 0; i < 2; ++i) {
        if (parts[i].empty() || parts[i].size() > 4 || parts[i][0] == '0') return false;
        for (char c : parts[i]) {
            if (c < '0' || c > '9') return false;
            side[i] = side[i] * 10 + (c - '0');
        }
        if (side[i] > kMaxSide) return false;
    }
    *width = side[0], *height = side[1];
    return true;
}

}  // namespace

std::string formatSettings(const GrabberSettings &s) {
    const PictureControls &c = s.controls;
    bool sized = s.width > 0 && s.height > 0;
    const char *version = !s.input.empty() || sized ? "3" : !s.device.empty() ? "2" : "1";
    std::string text = std::string("tavrin-grabber ") + version + " brightness=" + std::to_string(c.brightness) +
                       " contrast=" + std::to_string(c.contrast) + " saturation=" + std::to_string(c.saturation);
    if (!s.device.empty()) text += " device=" + escape(s.device);
    if (!s.input.empty()) text += " input=" + escape(s.input);
    if (sized) text += " size=" + std::to_string(s.width) + "x" + std::to_string(s.height);
    return text;
}

bool parseSettings(const std::string &text, GrabberSettings *s) {
    std::istringstream in(text);
    std::string magic, version, word;
    if (!(in >> magic >> version) || magic != "tavrin-grabber" || (version != "1" && version != "2" && version != "3"))
        return false;
    bool named = version != "1", sized = version == "3";
    GrabberSettings next = *s;
    while (in >> word) {
        size_t eq = word.find('=');
        if (eq == std::string::npos || eq == 0) return false;
        std::string key = word.substr(0, eq), value = word.substr(eq + 1);
        bool ok = false;
        if (key == "brightness") ok = control(value, &next.controls.brightness);
        else if (key == "contrast") ok = control(value, &next.controls.contrast);
        else if (key == "saturation") ok = control(value, &next.controls.saturation);
        else if (key == "device" && named) ok = unescape(value, &next.device);
        else if (key == "input" && sized) ok = unescape(value, &next.input);
        else if (key == "size" && sized) ok = size(value, &next.width, &next.height);
        if (!ok) return false;
    }
    *s = next;
    return true;
}

}  // namespace grab
