// TIFF pages written for the tests by libtiff with the tags given and each
// strip or tile given as the bytes a codec would have stored: a page claims
// whatever its tags say, and its data is whatever the test makes it.
#pragma once

#include <tiffio.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace forged {

struct Page {
    uint32_t width = 1, height = 1;
    uint16_t samples = 1, bits = 8;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint32_t rowsPerStrip = 0;               // 0: the whole page in one strip
    uint32_t tileWidth = 0, tileLength = 0;  // tiles, when set
    // The stored bytes of each strip or tile in turn; the last one stands
    // for all that follow.
    std::vector<std::vector<uint8_t>> blocks;
};

// The file of one page.
std::vector<uint8_t> tiffOf(const Page &page);

// The file, its strips or tiles all pointed at the first one's bytes (as
// stored by the host's byte order, one page).
std::vector<uint8_t> sharingFirstBlock(std::vector<uint8_t> tiff);

// `n` zero bytes as libtiff's own encoder for `compression` stores them.
std::vector<uint8_t> zerosStoredAs(uint16_t compression, uint64_t n);

// `n` bytes of noise, the same on every run.
std::vector<uint8_t> noise(size_t n);

// `a` followed by `b`.
std::vector<uint8_t> joined(std::vector<uint8_t> a, const std::vector<uint8_t> &b);

}  // namespace forged
