#include "forged_tiff.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace forged {

namespace {

// A path for libtiff to write to, removed with the object.
struct TempPath {
    std::string path;
    TempPath() {
        char name[] = "/tmp/forgedXXXXXX";
        int fd = mkstemp(name);
        close(fd);
        path = name;
    }
    ~TempPath() { unlink(path.c_str()); }
};

std::vector<uint8_t> readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

std::vector<uint8_t> tiffOf(const Page &page) {
    TempPath file;
    TIFF *tif = TIFFOpen(file.path.c_str(), "w");
    EXPECT_NE(tif, nullptr);
    if (!tif) return {};
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, page.samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, page.bits);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, page.compression);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, page.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, page.planar);
    bool tiled = page.tileWidth != 0;
    if (tiled) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, page.tileWidth);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, page.tileLength);
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, page.rowsPerStrip ? page.rowsPerStrip : page.height);
    }
    uint32_t n = tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    EXPECT_FALSE(page.blocks.empty());
    for (uint32_t i = 0; i < n && !page.blocks.empty(); ++i) {
        const std::vector<uint8_t> &b = page.blocks[std::min<size_t>(i, page.blocks.size() - 1)];
        void *bytes = const_cast<uint8_t *>(b.data());  // only read
        tmsize_t written = tiled ? TIFFWriteRawTile(tif, i, bytes, tmsize_t(b.size()))
                                 : TIFFWriteRawStrip(tif, i, bytes, tmsize_t(b.size()));
        EXPECT_EQ(written, tmsize_t(b.size()));
    }
    TIFFClose(tif);
    return readFile(file.path);
}

std::vector<uint8_t> sharingFirstBlock(std::vector<uint8_t> tiff) {
    auto get = [&](size_t at, int size) {
        uint32_t v = 0;
        std::memcpy(&v, &tiff[at], size_t(size));  // written by libtiff in the host's order
        return v;
    };
    auto put = [&](size_t at, int size, uint32_t v) { std::memcpy(&tiff[at], &v, size_t(size)); };
    uint32_t ifd = get(4, 4);
    uint32_t entries = get(ifd, 2);
    for (uint32_t e = 0; e < entries; ++e) {
        size_t entry = ifd + 2 + size_t(e) * 12;
        uint32_t tag = get(entry, 2), type = get(entry + 2, 2), count = get(entry + 4, 4);
        bool where = tag == TIFFTAG_STRIPOFFSETS || tag == TIFFTAG_TILEOFFSETS;
        bool howMuch = tag == TIFFTAG_STRIPBYTECOUNTS || tag == TIFFTAG_TILEBYTECOUNTS;
        if (!where && !howMuch) continue;
        int size = type == TIFF_SHORT ? 2 : 4;
        size_t values = size_t(count) * size_t(size) <= 4 ? entry + 8 : get(entry + 8, 4);
        for (uint32_t i = 1; i < count; ++i) put(values + i * size_t(size), size, get(values, size));
    }
    return tiff;
}

std::vector<uint8_t> zerosStoredAs(uint16_t compression, uint64_t n) {
    // A grey page of rows that add up to n bytes, in one strip, written row
    // by row so that no more than one row is ever held.
    uint64_t width = std::min<uint64_t>(n, 1 << 20);
    while (n % width) --width;
    uint32_t rows = uint32_t(n / width);
    TempPath file;
    TIFF *tif = TIFFOpen(file.path.c_str(), "w");
    EXPECT_NE(tif, nullptr);
    if (!tif) return {};
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, rows);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    std::vector<uint8_t> row(width);
    for (uint32_t y = 0; y < rows; ++y) EXPECT_EQ(TIFFWriteScanline(tif, row.data(), y, 0), 1);
    TIFFClose(tif);
    tif = TIFFOpen(file.path.c_str(), "r");
    EXPECT_NE(tif, nullptr);
    if (!tif) return {};
    std::vector<uint8_t> stored(size_t(TIFFRawStripSize64(tif, 0)));
    EXPECT_EQ(TIFFReadRawStrip(tif, 0, stored.data(), tmsize_t(stored.size())), tmsize_t(stored.size()));
    TIFFClose(tif);
    return stored;
}

std::vector<uint8_t> noise(size_t n) {
    std::vector<uint8_t> out(n);
    uint32_t x = 0x9E3779B9u;
    for (uint8_t &b : out) {  // xorshift32
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b = uint8_t(x >> 24);
    }
    return out;
}

std::vector<uint8_t> joined(std::vector<uint8_t> a, const std::vector<uint8_t> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace forged
