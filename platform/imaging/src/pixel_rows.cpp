// Pixel rows from one layout to another: the conversions that exports,
// copies and grabs need. Each is one plain loop over a row that the compiler
// vectorises (this file is built with the vectoriser on; the byte shuffles
// need SSSE3 or AVX2, so each loop is built for those and for the baseline,
// and the processor picks at load).
#include "codecs.h"

#include <cstring>

namespace imaging {

namespace {

// The processor's choice is made by resolvers that run while the library is
// being loaded, before ThreadSanitizer's runtime is up, and its build would
// crash there: that build keeps the baseline loops.
#if defined(__x86_64__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define PIXEL_LOOP __attribute__((target_clones("avx2", "ssse3", "default")))
#else
#define PIXEL_LOOP
#endif

PIXEL_LOOP void argbToRGB(const uint8_t *__restrict src, uint8_t *__restrict dst, int32_t width) {
    for (int32_t x = 0; x < width; ++x) {
        dst[3 * x] = src[4 * x + 1];
        dst[3 * x + 1] = src[4 * x + 2];
        dst[3 * x + 2] = src[4 * x + 3];
    }
}

PIXEL_LOOP void rgbToARGB(const uint8_t *__restrict src, uint8_t *__restrict dst, int32_t width) {
    for (int32_t x = 0; x < width; ++x) {
        dst[4 * x] = 0xFF;
        dst[4 * x + 1] = src[3 * x];
        dst[4 * x + 2] = src[3 * x + 1];
        dst[4 * x + 3] = src[3 * x + 2];
    }
}

PIXEL_LOOP void argbToRGBA(const uint8_t *__restrict src, uint8_t *__restrict dst, int32_t width) {
    for (int32_t x = 0; x < width; ++x) {
        dst[4 * x] = src[4 * x + 1];
        dst[4 * x + 1] = src[4 * x + 2];
        dst[4 * x + 2] = src[4 * x + 3];
        dst[4 * x + 3] = src[4 * x];
    }
}

PIXEL_LOOP void rgbToRGBA(const uint8_t *__restrict src, uint8_t *__restrict dst, int32_t width) {
    for (int32_t x = 0; x < width; ++x) {
        dst[4 * x] = src[3 * x];
        dst[4 * x + 1] = src[3 * x + 1];
        dst[4 * x + 2] = src[3 * x + 2];
        dst[4 * x + 3] = 0xFF;
    }
}

}  // namespace

void ConvertPixelRow(const uint8_t *src, OSType srcFormat, uint8_t *dst, OSType dstFormat, int32_t width) {
    if (!src || !dst || width <= 0) return;
    if (srcFormat == dstFormat) std::memcpy(dst, src, size_t(width) * (srcFormat == k24RGBPixelFormat ? 3 : 4));
    else if (srcFormat == k24RGBPixelFormat) rgbToARGB(src, dst, width);
    else argbToRGB(src, dst, width);
}

namespace codec {

uint8_t grey(uint8_t r, uint8_t g, uint8_t b) { return uint8_t((r * 299 + g * 587 + b * 114 + 500) / 1000); }

void convertRow(const Image &img, int32_t y, int depth, uint8_t *dst) {
    const uint8_t *src = rowOf(img, y);
    const bool packed = img.pixelBytes == 3;
    switch (depth) {
        case 8:
            for (int32_t x = 0; x < img.width; ++x, src += img.pixelBytes)
                dst[x] = packed ? grey(src[0], src[1], src[2]) : grey(src[1], src[2], src[3]);
            break;
        case 32:
            if (packed) rgbToRGBA(src, dst, img.width);
            else argbToRGBA(src, dst, img.width);
            break;
        default:
            if (packed) std::memcpy(dst, src, size_t(img.width) * 3);
            else argbToRGB(src, dst, img.width);
    }
}

}  // namespace codec

}  // namespace imaging
