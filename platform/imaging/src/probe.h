// What the importer learns about an image without drawing it, and TIFF
// pages beyond the first. Internal to the imaging library.
#pragma once

#include "codecs.h"

#include <string>
#include <utility>
#include <vector>

namespace imaging::importer {

struct Info {
    int32_t width = 0, height = 0;
    int16_t depth = 24;           // 8 grey, 24 colour, 32 colour with alpha
    double hres = 72, vres = 72;  // dots per inch
    uint32_t imageCount = 1;
    OSType codec = 0;             // 'tiff', 'jpeg', 'png ', 'WRLE'
    std::vector<uint8_t> icc;
    std::vector<std::pair<OSType, std::string>> meta;
};

// Image `index` (from 0) of data in `format` ('TIFF', 'JPEG', 'PNGf',
// 'BMPf'). codecErr for data the format's library refuses, and for sides
// beyond kMaxImageSide.
OSErr probe(OSType format, const uint8_t *data, size_t size, uint32_t index, Info &out);
// The pixels of TIFF page `index` (from 0).
OSErr decodeTIFFPage(const uint8_t *data, size_t size, uint32_t index, codec::Decoded &out);

}  // namespace imaging::importer
