// The old hand-drawn picture (see handdrawn.h), as the grabber drew it.
#include "handdrawn.h"

#include <algorithm>
#include <string>

namespace handdrawn {

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
    for (int y = y0; y < y1; ++y)
        std::fill(out + size_t(y) * stride + x0, out + size_t(y) * stride + std::max(x0, x1), colour);
}

}  // namespace

void renderFrame(uint64_t frame, int width, int height, uint32_t *out, size_t stride) {
    if (width < 1 || height < 1 || !out) return;
    const int w = width, h = height;
    const int barsBottom = h * 2 / 3;
    for (int i = 0; i < kBarCount; ++i)
        fill(out, stride, w, h, w * i / kBarCount, 0, w * (i + 1) / kBarCount, barsBottom, kBars[i]);
    fill(out, stride, w, h, 0, barsBottom, w, h, 0x101010);
    int box = std::max(1, h / 6);
    int travel = std::max(0, w - box);
    uint64_t phase = frame % 180;
    int x = int((phase <= 90 ? phase : 180 - phase) * uint64_t(travel) / 90);
    int y = std::max(0, barsBottom / 2 - box / 2);
    fill(out, stride, w, h, x, y, x + box, y + box, 0xEBEBEB);
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
}

}  // namespace handdrawn
