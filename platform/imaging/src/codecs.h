// Encoders and decoders behind the exporter, the importer and image
// compression. Internal to the imaging library.
#pragma once

#include "imaging/imaging.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace imaging::codec {

// A view of ARGB pixels.
struct Image {
    int32_t width = 0, height = 0;
    const uint8_t *argb = nullptr;
    int32_t rowBytes = 0;
};

// Progress: called with rows done so far (0..height); a non-zero answer stops
// the work with that status.
using RowProgress = std::function<OSErr(int32_t done, int32_t total)>;

struct Options {
    int depth = 24;               // 8 (grey), 24 or 32
    double hres = 72, vres = 72;  // dots per inch
    CodecQ quality = codecNormalQuality;
    int32_t method = 0;           // 0 = the format's default
    uint32_t interlace = 0;
    uint32_t targetSize = 0;
    bool exif = false;
    std::vector<uint8_t> icc;
    std::vector<std::pair<OSType, std::string>> meta;
    RowProgress progress;
};

OSErr encodeTIFF(const Image &img, const Options &opt, std::vector<uint8_t> &out);
OSErr encodeJPEG(const Image &img, const Options &opt, std::vector<uint8_t> &out);
OSErr encodePNG(const Image &img, const Options &opt, std::vector<uint8_t> &out);
OSErr encodeBMP(const Image &img, const Options &opt, std::vector<uint8_t> &out);
bool tiffMethodSupported(int32_t method);

struct Decoded {
    int32_t width = 0, height = 0;
    bool alpha = false;
    std::vector<uint8_t> argb;   // width*4 per row
};

// The format of some bytes by content: 'TIFF', 'JPEG', 'PNGf', 'BMPf' or 0.
OSType sniff(const uint8_t *data, size_t size);
OSErr decode(OSType format, const uint8_t *data, size_t size, Decoded &out);

// Metadata item types and their meaning.
constexpr OSType kTitle = 0xA96E616D;       // '©nam'
constexpr OSType kDescription = 0xA9646573; // '©des'
constexpr OSType kInfo = 0xA9696E66;        // '©inf'
constexpr OSType kCopyright = 0xA9637079;   // '©cpy'
constexpr OSType kArtist = 0xA9415254;      // '©ART'
constexpr OSType kMake = 0xA96D616B;        // '©mak'
constexpr OSType kModel = 0xA96D6F64;       // '©mod'
constexpr OSType kSoftware = 0xA9737772;    // '©swr'
constexpr OSType kDate = 0xA9646179;        // '©day'

}  // namespace imaging::codec
