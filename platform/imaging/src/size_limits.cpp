#include "size_limits.h"

#include <tiffio.h>

#include <algorithm>

namespace imaging::limits {

namespace {

// Deflate writes at most 258 bytes for two bits: 1032:1.
constexpr uint64_t kDeflateRatio = 1100;
// A JPEG block of 64 pixels needs at least a one-bit DC code in some scan,
// and every component has blocks: at most 512 pixels a byte.
constexpr uint64_t kJpegPixelsPerByte = 1024;
// LZW codes of 12 bits stand for strings of at most 4096 bytes.
constexpr uint64_t kLzwRatio = 2800;
// PackBits: two bytes for a run of 128.
constexpr uint64_t kPackBitsRatio = 64;
// Any other compression (fax, LZMA, ZSTD and the rest): a row of the widest
// page from one bit, as Group 4 fax codes a white row below another; LZMA
// (some 7000:1) and ZSTD (a 4-byte block for a run of 128 KiB) stay below.
// WebP and LERC code a page of one colour tighter still: a page of up to
// 16 MiB of samples is read whatever its compression claims.
constexpr uint64_t kAnyRatio = kMaxImageSide;
constexpr uint64_t kAnyPageBytes = uint64_t(16) << 20;

// The reader draws a pixel from at most four samples of up to 16 bits (RGB
// and alpha); a file may carry a channel more. A strip or tile holds at most
// 10 bytes for each pixel drawn from it, or 16 MiB whatever it holds (a tile
// past the image's edges, a page of more channels in small strips).
constexpr uint64_t kBytesPerDrawnPixel = 10;
constexpr uint64_t kAnyBlockBytes = uint64_t(16) << 20;

// Headers, tables and markers a format carries besides the pixels.
constexpr uint64_t kSlack = 4096;

uint32_t be32(const uint8_t *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

constexpr size_t kPngSignature = 8;
constexpr uint32_t kPngIEND = 0x49454E44;  // "IEND"

}  // namespace

bool imageSizeOk(uint64_t w, uint64_t h) {
    return w > 0 && h > 0 && w <= uint64_t(kMaxImageSide) && h <= uint64_t(kMaxImageSide) &&
           w * h * 4 <= kMaxBlockSize - kPictureHeaderSize;
}

bool pngDataCanHold(const uint8_t *d, size_t size) {
    // Signature, chunk length and type, then width, height, depth, colour type.
    if (size < 26 || be32(d + 12) != 0x49484452u) return false;  // "IHDR"
    uint64_t w = be32(d + 16), h = be32(d + 20), depth = d[24], colour = d[25];
    uint64_t channels = colour == 0 ? 1 : colour == 2 ? 3 : colour == 3 ? 1 : colour == 4 ? 2 : colour == 6 ? 4 : 0;
    if (!channels || !depth || depth > 16 || !imageSizeOk(w, h)) return false;
    // The filtered rows the compressed stream must inflate to.
    uint64_t raw = h * (1 + (w * depth * channels + 7) / 8);
    return raw <= kDeflateRatio * size + kSlack;
}

size_t pngChunksEnd(const uint8_t *d, size_t size) {
    size_t at = kPngSignature;
    while (at <= size && size - at >= 12) {
        uint32_t length = be32(d + at), type = be32(d + at + 4);
        if (length > 0x7FFFFFFFu || length > size - at - 12) break;
        at += 12 + size_t(length);
        if (type == kPngIEND) return at;
    }
    return std::min(at, size);
}

bool jpegDataCanHold(uint64_t w, uint64_t h, size_t size) {
    return imageSizeOk(w, h) && w * h <= kJpegPixelsPerByte * size + kSlack;
}

bool tiffDataCanHold(TIFF *tif, size_t size) {
    uint32_t w = 0, h = 0;
    uint16_t spp = 1, planar = PLANARCONFIG_CONTIG, compression = COMPRESSION_NONE;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (!imageSizeOk(w, h)) return false;
    // A compression libtiff has no codec for cannot be decoded at all.
    if (!TIFFIsCODECConfigured(compression)) return false;
    // Every strip or tile must lie in the data. The offsets and byte counts
    // are read through libtiff, which answers an error past the entries the
    // tags hold.
    uint32_t n = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    if (n == 0) return false;
    uint64_t stored = 0;
    for (uint32_t i = 0; i < n; ++i) {
        int err = 0;
        uint64_t offset = TIFFGetStrileOffsetWithErr(tif, i, &err);
        uint64_t count = err ? 0 : TIFFGetStrileByteCountWithErr(tif, i, &err);
        if (err || offset > size || count > size - offset) return false;
        stored += count;
    }
    // Strips may share their bytes: what the page stores is no more than the
    // data holds.
    stored = std::min<uint64_t>(stored, size);
    // The pixels are within the size limit, but a pixel may claim any number
    // of samples: what libtiff decodes the page to, strip by strip or tile by
    // tile (whole tiles, past the image's edges too), is held to it as well.
    bool tiled = TIFFIsTiled(tif);
    uint64_t block = tiled ? TIFFTileSize64(tif) : TIFFVStripSize64(tif, h);
    uint64_t blocks = tiled ? n : planar == PLANARCONFIG_SEPARATE ? spp : 1;
    if (block == 0 || block > kMaxBlockSize / blocks) return false;
    uint64_t decoded = block * blocks;
    uint64_t ratio = compression == COMPRESSION_NONE                                                  ? 1
                     : compression == COMPRESSION_PACKBITS                                            ? kPackBitsRatio
                     : compression == COMPRESSION_LZW                                                 ? kLzwRatio
                     : compression == COMPRESSION_DEFLATE || compression == COMPRESSION_ADOBE_DEFLATE ? kDeflateRatio
                     : compression == COMPRESSION_JPEG || compression == COMPRESSION_OJPEG            ? 0
                                                                                                      : kAnyRatio;
    if (ratio == 0)  // JPEG strips: pixels per byte, as for a JPEG file
        return uint64_t(w) * h <= kJpegPixelsPerByte * stored + kSlack;
    if (ratio == kAnyRatio) return decoded <= std::max(kAnyRatio * stored + kSlack, kAnyPageBytes);
    return decoded <= ratio * stored + kSlack;
}

bool tiffBlockFits(TIFF *tif, uint64_t held) {
    uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    // The pixels of the page one strip or tile covers: a tile's within the
    // image's edges.
    uint64_t drawn = 0;
    if (TIFFIsTiled(tif)) {
        uint32_t tw = 0, th = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
        drawn = uint64_t(std::min(tw, w)) * std::min(th, h);
    } else {
        uint32_t rows = h;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows);
        drawn = uint64_t(w) * std::min(rows, h);
    }
    return held <= std::max(kAnyBlockBytes, kBytesPerDrawnPixel * drawn);
}

}  // namespace imaging::limits
