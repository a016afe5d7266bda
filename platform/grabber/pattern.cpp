// The test picture.
#include "pattern.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace grab {

namespace {

// 75% colour bars, left to right.
const uint32_t kBars[] = {0xBFBFBF, 0xBFBF00, 0x00BFBF, 0x00BF00, 0xBF00BF, 0xBF0000, 0x0000BF};
constexpr int kBarCount = 7;

// 3x5 digits, one row per 3 bits (bit 2 = left column).
const uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 2, 2, 2}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

void fill(uint32_t *out, size_t stride, int w, int h, int x0, int y0, int x1, int y1, uint32_t colour) {
    x0 = std::max(x0, 0), y0 = std::max(y0, 0);
    x1 = std::min(x1, w), y1 = std::min(y1, h);
    for (int y = y0; y < y1; ++y) std::fill(out + size_t(y) * stride + x0, out + size_t(y) * stride + std::max(x0, x1), colour);
}

int clampByte(int v) { return std::clamp(v, 0, 255); }

uint32_t adjust(uint32_t rgb, const PictureControls &c) {
    int r = int(rgb >> 16 & 0xFF), g = int(rgb >> 8 & 0xFF), b = int(rgb & 0xFF);
    int luma = (r * 77 + g * 150 + b * 29) >> 8;
    auto one = [&](int v) {
        v = luma + (v - luma) * c.saturation / 50;
        v = 128 + (v - 128) * c.contrast / 50;
        return clampByte(v + (c.brightness - 50) * 2);
    };
    return uint32_t(one(r)) << 16 | uint32_t(one(g)) << 8 | uint32_t(one(b));
}

}  // namespace

void renderFrame(uint64_t frame, int width, int height, const PictureControls &c, uint32_t *out, size_t stride) {
    if (width < 1 || height < 1 || !out) return;
    const int w = width, h = height;
    const int barsBottom = h * 2 / 3;

    // Bars above, black strip below.
    for (int i = 0; i < kBarCount; ++i)
        fill(out, stride, w, h, w * i / kBarCount, 0, w * (i + 1) / kBarCount, barsBottom, kBars[i]);
    fill(out, stride, w, h, 0, barsBottom, w, h, 0x101010);

    // The box goes to and fro across the bars, 90 frames one way.
    int box = std::max(1, h / 6);
    int travel = std::max(0, w - box);
    uint64_t phase = frame % 180;
    int x = int((phase <= 90 ? phase : 180 - phase) * uint64_t(travel) / 90);
    int y = std::max(0, barsBottom / 2 - box / 2);
    fill(out, stride, w, h, x, y, x + box, y + box, 0xEBEBEB);

    // The frame number in the black strip.
    std::string digits = std::to_string(frame);
    int scale = std::max(1, h / 60);
    int dx = scale * 4, top = barsBottom + std::max(1, (h - barsBottom - 5 * scale) / 2);
    for (size_t i = 0; i < digits.size(); ++i) {
        const uint8_t *glyph = kDigits[digits[i] - '0'];
        int left = scale * 2 + int(i) * dx;
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 3; ++col)
                if (glyph[row] & (4 >> col))
                    fill(out, stride, w, h, left + col * scale, top + row * scale, left + (col + 1) * scale,
                         top + (row + 1) * scale, 0xFFFFFF);
    }

    // The picture has a handful of colours in long runs: adjust each run once.
    if (c.brightness == 50 && c.contrast == 50 && c.saturation == 50) return;
    uint32_t lastIn = 0, lastOut = adjust(0, c);
    for (int yy = 0; yy < h; ++yy)
        for (int xx = 0; xx < w; ++xx) {
            uint32_t &p = out[size_t(yy) * stride + xx];
            if (p != lastIn) lastIn = p, lastOut = adjust(p, c);
            p = lastOut;
        }
}

std::string formatSettings(const PictureControls &c) {
    return "tavrin-grabber 1 brightness=" + std::to_string(c.brightness) + " contrast=" + std::to_string(c.contrast) +
           " saturation=" + std::to_string(c.saturation);
}

bool parseSettings(const std::string &text, PictureControls *c) {
    std::istringstream in(text);
    std::string magic, version, word;
    if (!(in >> magic >> version) || magic != "tavrin-grabber" || version != "1") return false;
    PictureControls next = *c;
    while (in >> word) {
        size_t eq = word.find('=');
        if (eq == std::string::npos || eq + 1 == word.size() || word.size() - eq > 4) return false;
        int value = 0;
        for (size_t i = eq + 1; i < word.size(); ++i) {
            if (word[i] < '0' || word[i] > '9') return false;
            value = value * 10 + (word[i] - '0');
        }
        if (value > 100) return false;
        std::string key = word.substr(0, eq);
        if (key == "brightness") next.brightness = value;
        else if (key == "contrast") next.contrast = value;
        else if (key == "saturation") next.saturation = value;
        else return false;
    }
    *c = next;
    return true;
}

}  // namespace grab
