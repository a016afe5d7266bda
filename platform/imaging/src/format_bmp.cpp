// BMP by hand: uncompressed 8-bit (palette), 24-bit and 32-bit files, read
// and written.
#include "format.h"
#include "handles.h"
#include "size_limits.h"

namespace imaging {

namespace {

void le16(std::vector<uint8_t> &v, uint16_t x) { v.push_back(uint8_t(x)), v.push_back(uint8_t(x >> 8)); }
void le32(std::vector<uint8_t> &v, uint32_t x) { le16(v, uint16_t(x)), le16(v, uint16_t(x >> 16)); }
uint32_t rd32(const uint8_t *p) {
    return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint16_t rd16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }

bool sniffBMP(const uint8_t *d, size_t n) { return n >= 2 && d[0] == 'B' && d[1] == 'M'; }

OSErr probeBMP(const uint8_t *d, size_t n, uint32_t, codec::Info &out) {
    if (n < 54 || !sniffBMP(d, n)) return codecErr;
    int32_t w = int32_t(rd32(d + 18)), hs = int32_t(rd32(d + 22));
    int64_t h = hs < 0 ? -int64_t(hs) : hs;
    uint16_t bpp = rd16(d + 28);
    if (w <= 0 || !limits::imageSizeOk(uint64_t(w), uint64_t(h))) return codecErr;
    out.width = w, out.height = int32_t(h);
    out.depth = bpp == 8 ? 8 : bpp == 32 ? 32 : 24;
    uint32_t xppm = rd32(d + 38), yppm = rd32(d + 42);
    if (xppm && yppm) out.hres = xppm * 0.0254, out.vres = yppm * 0.0254;
    out.codec = FourCC("WRLE");
    return noErr;
}

OSErr decodeBMP(const uint8_t *d, size_t n, uint32_t, codec::Decoded &out) {
    if (n < 54 || !sniffBMP(d, n)) return codecErr;
    uint32_t offset = rd32(d + 10), infoSize = rd32(d + 14);
    if (infoSize < 40 || 14 + uint64_t(infoSize) > n) return codecErr;
    int32_t w = int32_t(rd32(d + 18)), hs = int32_t(rd32(d + 22));
    uint16_t planes = rd16(d + 26), bpp = rd16(d + 28);
    uint32_t compression = rd32(d + 30), colours = rd32(d + 46);
    bool topDown = hs < 0;
    int64_t h = topDown ? -int64_t(hs) : hs;
    if (planes != 1 || compression != 0 || (bpp != 8 && bpp != 24 && bpp != 32) || w <= 0 ||
        !limits::imageSizeOk(uint64_t(w), uint64_t(h)))
        return codecErr;
    size_t rowSize = (size_t(w) * (bpp / 8) + 3) & ~size_t(3);
    if (offset > n || rowSize * size_t(h) > n - offset) return codecErr;
    const uint8_t *palette = d + 14 + infoSize;
    if (bpp == 8) {
        if (colours == 0) colours = 256;
        if (colours > 256 || size_t(14 + infoSize) + size_t(colours) * 4 > offset) return codecErr;
    }
    out.width = w, out.height = int32_t(h), out.alpha = false;
    out.argb.assign(size_t(w) * size_t(h) * 4, 0);
    for (int64_t y = 0; y < h; ++y) {
        const uint8_t *src = d + offset + rowSize * size_t(topDown ? y : h - 1 - y);
        uint8_t *p = out.argb.data() + size_t(y) * w * 4;
        for (int32_t x = 0; x < w; ++x, p += 4) {
            if (bpp == 8) {
                uint8_t i = src[x];
                if (i >= colours) i = 0;
                p[0] = 0xFF, p[1] = palette[i * 4 + 2], p[2] = palette[i * 4 + 1], p[3] = palette[i * 4];
            } else {
                const uint8_t *s = src + size_t(x) * (bpp / 8);
                p[0] = 0xFF, p[1] = s[2], p[2] = s[1], p[3] = s[0];
            }
        }
    }
    return noErr;
}

OSErr encodeBMP(const codec::Image &img, const codec::Options &opt, std::vector<uint8_t> &out) {
    int bpp = opt.depth == 8 ? 8 : opt.depth == 32 ? 32 : 24;
    size_t rowSize = (size_t(img.width) * (bpp / 8) + 3) & ~size_t(3);
    size_t palette = bpp == 8 ? 1024 : 0;
    size_t offset = 14 + 40 + palette;
    size_t total = offset + rowSize * size_t(img.height);
    if (total > 0xFFFFFFFFu || total > kMaxBlockSize) return paramErr;
    out.clear();
    if (out.capacity() < total) out = TakeOutputBuffer(total);
    out.push_back('B'), out.push_back('M');
    le32(out, uint32_t(total)), le32(out, 0), le32(out, uint32_t(offset));
    le32(out, 40), le32(out, uint32_t(img.width)), le32(out, uint32_t(img.height));
    le16(out, 1), le16(out, uint16_t(bpp)), le32(out, 0), le32(out, uint32_t(rowSize * size_t(img.height)));
    le32(out, uint32_t(opt.hres / 0.0254 + 0.5)), le32(out, uint32_t(opt.vres / 0.0254 + 0.5));
    le32(out, bpp == 8 ? 256 : 0), le32(out, 0);
    for (size_t i = 0; i < palette / 4; ++i)
        out.push_back(uint8_t(i)), out.push_back(uint8_t(i)), out.push_back(uint8_t(i)), out.push_back(0);
    std::vector<uint8_t> row(rowSize, 0);
    for (int32_t n = 0; n < img.height; ++n) {
        const uint8_t *src = codec::rowOf(img, img.height - 1 - n);  // bottom-up
        uint8_t *d = row.data();
        // The colour bytes of a pixel: after the alpha byte, or packed.
        const int colour = img.pixelBytes == 3 ? 0 : 1;
        for (int32_t x = 0; x < img.width; ++x, src += img.pixelBytes) {
            const uint8_t *c = src + colour;
            if (bpp == 8) {
                *d++ = codec::grey(c[0], c[1], c[2]);
            } else {
                *d++ = c[2], *d++ = c[1], *d++ = c[0];
                if (bpp == 32) *d++ = colour ? src[0] : 0xFF;
            }
        }
        out.insert(out.end(), row.begin(), row.end());
        if (codec::progressDue(n + 1, img.height))
            if (OSErr e = codec::report(opt, n + 1, img.height)) {
                out.clear();
                return e;
            }
    }
    codec::fitOutput(out);  // a small picture may have been given a larger kept buffer
    return noErr;
}

}  // namespace

extern const Format kBMPFormat = {
    FourCC("BMPf"), FourCC("bmp "), FourCC("WRLE"), "BMP",     {"bmp", nullptr}, {"image/bmp", "image/x-bmp"},
    false,          sniffBMP,       probeBMP,       decodeBMP, encodeBMP};

}  // namespace imaging
