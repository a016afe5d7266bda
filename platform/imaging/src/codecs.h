// What the image formats (format_*.cpp) read and write, and the helpers
// their encoders share. Internal to the imaging library.
#pragma once

#include "imaging/imaging.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace imaging::codec {

// A view of pixels: A R G B (4 bytes a pixel), or R G B packed (3 bytes a
// pixel, no alpha) as a world over packed rows holds them.
struct Image {
    int32_t width = 0, height = 0;
    const uint8_t *pixels = nullptr;
    int32_t rowBytes = 0;
    int32_t pixelBytes = 4;
};

// Progress: called with rows done so far (0..height); a non-zero answer stops
// the work with that status.
using RowProgress = std::function<OSErr(int32_t done, int32_t total)>;

struct Options {
    int depth = 24;               // 8 (grey), 24 or 32
    double hres = 72, vres = 72;  // dots per inch
    CodecQ quality = codecNormalQuality;
    int32_t method = 0;  // 0 = the format's default
    uint32_t interlace = 0;
    uint32_t targetSize = 0;
    bool exif = false;
    std::vector<uint8_t> icc;
    std::vector<std::pair<OSType, std::string>> meta;
    RowProgress progress;
};

// Decoded pixels, width*4 bytes per row, A R G B. Alpha is straight (the
// colour is not multiplied by it), as pictures and worlds hold it: decoders
// convert at the edge.
struct Decoded {
    int32_t width = 0, height = 0;
    bool alpha = false;
    std::vector<uint8_t> argb;
};

// What the importer learns about one image without drawing it.
struct Info {
    int32_t width = 0, height = 0;
    int16_t depth = 24;           // 8 grey, 24 colour, 32 colour with alpha
    double hres = 72, vres = 72;  // dots per inch
    uint32_t imageCount = 1;
    OSType codec = 0;  // 'tiff', 'jpeg', 'png ', 'WRLE'
    std::vector<uint8_t> icc;
    std::vector<std::pair<OSType, std::string>> meta;
};

// Metadata item types (metadata.def).
#define META(name, type, tiffTag, pngKey) constexpr OSType name = type;
#include "metadata.def"
#undef META

// ---- shared by the encoders -----------------------------------------------------

// The TIFF compression methods written (format_tiff.cpp).
bool tiffMethodSupported(int32_t method);

// Samples per pixel written for an output depth: 1 (grey), 3 or 4.
int samplesFor(int depth);
// Grey of a colour.
uint8_t grey(uint8_t r, uint8_t g, uint8_t b);
inline const uint8_t *rowOf(const Image &img, int32_t y) { return img.pixels + size_t(y) * img.rowBytes; }
// Row `y` to grey, RGB or RGBA, as the output depth asks (pixel_rows.cpp).
void convertRow(const Image &img, int32_t y, int depth, uint8_t *out);

// Progress every 1/32 of the picture (and at the end), not on every row.
bool progressDue(int32_t done, int32_t total);
OSErr report(const Options &opt, int32_t done, int32_t total);

// The output is reserved before encoding at the size the picture is
// expected to reach, so it is not grown (with fresh memory each time) while
// the encoder writes: the pixels at the output depth, uncompressed, and room
// for the header, tags, strip tables, profile and texts. Uncompressed TIFF
// lands on it; compressed output stays below it and gives back the spare
// room at the end (fitOutput). Growth remains the fallback.
void reserveOutput(std::vector<uint8_t> &out, const Image &img, const Options &opt);
// Output that used less than half of its buffer (compressed output, or a
// small picture given a larger kept buffer) keeps only what it needs, a copy
// of the smaller bytes; the large buffer is kept for the next export.
void fitOutput(std::vector<uint8_t> &out);

// The text of a metadata item to write, or 0. The description falls back
// on '©inf'.
const std::string *metaText(const Options &opt, OSType type);

}  // namespace imaging::codec
