// TIFF over libtiff: any page of a file, any layout libtiff's RGBA reader
// knows (strips or tiles, 1 to 16 bits, grey, palette, RGB, CMYK, YCbCr,
// alpha), and baseline 8-bit files written.
#include "format.h"
#include "size_limits.h"
#include "tiff_stream.h"

#include <algorithm>
#include <cstring>

#include <tiffio.h>

namespace imaging {

namespace {

bool sniffTIFF(const uint8_t *d, size_t n) {
    return n >= 4 && ((d[0] == 'I' && d[1] == 'I' && d[2] == 42 && d[3] == 0) ||
                      (d[0] == 'M' && d[1] == 'M' && d[2] == 0 && d[3] == 42));
}

// Page `index` of an open file; false when there is no such page.
bool page(TIFF *tif, uint32_t index) { return tif && (index == 0 || TIFFSetDirectory(tif, tdir_t(index))); }

// What the page's extra sample means, as libtiff's RGBA reader takes it:
// EXTRASAMPLE_ASSOCALPHA, EXTRASAMPLE_UNASSALPHA or 0 (no alpha).
uint16_t alphaOf(TIFF *tif) {
    uint16_t spp = 1, extra = 0, photometric = PHOTOMETRIC_MINISWHITE;
    uint16_t *types = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extra, &types);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    if (extra >= 1 && types) {
        if (types[0] == EXTRASAMPLE_ASSOCALPHA || types[0] == EXTRASAMPLE_UNASSALPHA) return types[0];
        return types[0] == EXTRASAMPLE_UNSPECIFIED && spp > 3 ? EXTRASAMPLE_ASSOCALPHA : 0;
    }
    // Four samples of RGB without a word on the fourth: premultiplied alpha.
    return extra == 0 && spp == 4 && photometric == PHOTOMETRIC_RGB ? EXTRASAMPLE_ASSOCALPHA : 0;
}

// ---- probe -------------------------------------------------------------------------

OSErr probeTIFF(const uint8_t *data, size_t size, uint32_t index, codec::Info &out) {
    tiff::Stream s(data, size);
    if (!s.tif) return codecErr;
    out.imageCount = uint32_t(TIFFNumberOfDirectories(s.tif));
    if (index >= out.imageCount || !page(s.tif, index)) return paramErr;
    uint32_t w = 0, h = 0;
    uint16_t spp = 1, photometric = PHOTOMETRIC_RGB, unit = RESUNIT_INCH;
    TIFFGetField(s.tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(s.tif, TIFFTAG_IMAGELENGTH, &h);
    if (!limits::imageSizeOk(w, h)) return codecErr;
    TIFFGetFieldDefaulted(s.tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(s.tif, TIFFTAG_PHOTOMETRIC, &photometric);
    out.width = int32_t(w), out.height = int32_t(h);
    bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    out.depth = alphaOf(s.tif) ? 32 : grey && spp == 1 ? 8 : 24;
    float xres = 0, yres = 0;
    TIFFGetFieldDefaulted(s.tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    if (TIFFGetField(s.tif, TIFFTAG_XRESOLUTION, &xres) && xres > 0) out.hres = xres * perInch;
    if (TIFFGetField(s.tif, TIFFTAG_YRESOLUTION, &yres) && yres > 0) out.vres = yres * perInch;
    out.codec = FourCC("tiff");
    uint32_t iccSize = 0;
    void *icc = nullptr;
    if (TIFFGetField(s.tif, TIFFTAG_ICCPROFILE, &iccSize, &icc) && icc && iccSize)
        out.icc.assign(static_cast<uint8_t *>(icc), static_cast<uint8_t *>(icc) + iccSize);
#define META(name, type, tiffTag, pngKey)                                                       \
    if (const char *text = nullptr; (tiffTag) && TIFFGetField(s.tif, (tiffTag), &text) && text) \
        out.meta.emplace_back(codec::name, text);
#include "metadata.def"
#undef META
    return noErr;
}

// ---- decode ------------------------------------------------------------------------

// The largest block libtiff's RGBA reader takes at once for the page: a
// strip or a tile, decoded; three of them when the planes are apart, four
// with alpha.
uint64_t decodedBlockSize(TIFF *tif) {
    uint16_t planar = PLANARCONFIG_CONTIG, spp = 1, photometric = 0, compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    // The reader has libjpeg turn YCbCr into RGB, whose strips and tiles are
    // larger than the ones stored: asked for here as well, they are measured.
    if (compression == COMPRESSION_JPEG && photometric == PHOTOMETRIC_YCBCR && planar == PLANARCONFIG_CONTIG)
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    uint64_t block = TIFFIsTiled(tif) ? TIFFTileSize64(tif) : TIFFStripSize64(tif);
    if (planar != PLANARCONFIG_SEPARATE || spp == 1) return block;
    return block * (alphaOf(tif) ? 4 : 3);
}

// libtiff's RGBA reader multiplies unassociated alpha into the colour. For
// RGB with 8 or 16 bits a sample these put routines keep the colour as it
// is stored; the rows come out straight, as the importer keeps them.
uint32_t packed(uint32_t r, uint32_t g, uint32_t b, uint32_t a) { return r | g << 8 | b << 16 | a << 24; }
uint32_t to8(uint16_t v) { return (uint32_t(v) * 255 + 32767) / 65535; }

void putStraightContig8(TIFFRGBAImage *img, uint32_t *cp, uint32_t, uint32_t, uint32_t w, uint32_t h, int32_t fromskew,
                        int32_t toskew, unsigned char *pp) {
    const int spp = img->samplesperpixel;
    for (; h > 0; --h, cp += toskew, pp += fromskew * spp)
        for (uint32_t x = 0; x < w; ++x, pp += spp) *cp++ = packed(pp[0], pp[1], pp[2], pp[3]);
}

void putStraightContig16(TIFFRGBAImage *img, uint32_t *cp, uint32_t, uint32_t, uint32_t w, uint32_t h, int32_t fromskew,
                         int32_t toskew, unsigned char *pp) {
    const int spp = img->samplesperpixel;
    for (; h > 0; --h, cp += toskew, pp += size_t(fromskew) * spp * 2)
        for (uint32_t x = 0; x < w; ++x, pp += size_t(spp) * 2) {
            uint16_t v[4];
            std::memcpy(v, pp, sizeof v);  // in host order, as libtiff hands them
            *cp++ = packed(to8(v[0]), to8(v[1]), to8(v[2]), to8(v[3]));
        }
}

void putStraightSeparate8(TIFFRGBAImage *, uint32_t *cp, uint32_t, uint32_t, uint32_t w, uint32_t h, int32_t fromskew,
                          int32_t toskew, unsigned char *r, unsigned char *g, unsigned char *b, unsigned char *a) {
    for (; h > 0; --h, cp += toskew, r += fromskew, g += fromskew, b += fromskew, a += fromskew)
        for (uint32_t x = 0; x < w; ++x) *cp++ = packed(*r++, *g++, *b++, *a++);
}

void putStraightSeparate16(TIFFRGBAImage *, uint32_t *cp, uint32_t, uint32_t, uint32_t w, uint32_t h, int32_t fromskew,
                           int32_t toskew, unsigned char *r8, unsigned char *g8, unsigned char *b8, unsigned char *a8) {
    for (; h > 0; --h, cp += toskew, r8 += 2 * fromskew, g8 += 2 * fromskew, b8 += 2 * fromskew, a8 += 2 * fromskew)
        for (uint32_t x = 0; x < w; ++x, r8 += 2, g8 += 2, b8 += 2, a8 += 2) {
            uint16_t v[4];
            std::memcpy(&v[0], r8, 2), std::memcpy(&v[1], g8, 2), std::memcpy(&v[2], b8, 2), std::memcpy(&v[3], a8, 2);
            *cp++ = packed(to8(v[0]), to8(v[1]), to8(v[2]), to8(v[3]));
        }
}

// Whether the rows come out straight: no alpha, unassociated alpha kept by
// our put routines, or grey with alpha (libtiff never multiplies that).
bool keepsStraight(TIFFRGBAImage &img) {
    if (img.alpha != EXTRASAMPLE_UNASSALPHA) return img.alpha == 0;
    if (img.photometric != PHOTOMETRIC_RGB || img.samplesperpixel < 4)
        return img.photometric == PHOTOMETRIC_MINISBLACK || img.photometric == PHOTOMETRIC_MINISWHITE;
    if (img.bitspersample == 8) {
        if (img.isContig) img.put.contig = putStraightContig8;
        else img.put.separate = putStraightSeparate8;
        return true;
    }
    if (img.bitspersample == 16) {
        if (img.isContig) img.put.contig = putStraightContig16;
        else img.put.separate = putStraightSeparate16;
        return true;
    }
    return false;
}

// The raster, decoded in place in `out` (bytes R G B A of each pixel), to
// A R G B with straight alpha.
void toStraightARGB(codec::Decoded &out, bool premultiplied) {
    uint8_t *p = out.argb.data();
    for (size_t i = 0, n = size_t(out.width) * size_t(out.height); i < n; ++i, p += 4) {
        uint32_t px;
        std::memcpy(&px, p, 4);
        uint32_t a = TIFFGetA(px), r = TIFFGetR(px), g = TIFFGetG(px), b = TIFFGetB(px);
        if (premultiplied && a != 255) {
            auto straight = [a](uint32_t c) { return a ? std::min<uint32_t>(255, (c * 255 + a / 2) / a) : 0; };
            r = straight(r), g = straight(g), b = straight(b);
        }
        p[0] = uint8_t(a), p[1] = uint8_t(r), p[2] = uint8_t(g), p[3] = uint8_t(b);
    }
}

OSErr decodePage(TIFF *tif, codec::Decoded &out) {
    uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    char message[1024];
    TIFFRGBAImage img;
    // A strip or tile the codec reports broken, or whose data ends before
    // its rows do, stops the reading: the page is an error, not a picture of
    // whatever came out.
    if (!TIFFRGBAImageOK(tif, message) || !TIFFRGBAImageBegin(&img, tif, 1, message)) return codecErr;
    bool premultiplied = !keepsStraight(img);
    img.req_orientation = ORIENTATION_TOPLEFT;
    // The raster is decoded in place into the result's bytes, so a page
    // needs one image-sized block, not two.
    out.argb.resize(size_t(w) * h * 4);
    bool ok = TIFFRGBAImageGet(&img, reinterpret_cast<uint32_t *>(out.argb.data()), w, h) != 0;
    bool alpha = img.alpha != 0;
    TIFFRGBAImageEnd(&img);
    if (!ok) {
        out.argb.clear();
        return codecErr;
    }
    out.width = int32_t(w), out.height = int32_t(h), out.alpha = alpha;
    toStraightARGB(out, premultiplied);
    return noErr;
}

OSErr decodeTIFF(const uint8_t *data, size_t size, uint32_t index, codec::Decoded &out) {
    tiff::Stream s(data, size);
    if (!s.tif) return codecErr;
    if (!page(s.tif, index)) return paramErr;
    if (!limits::tiffDataCanHold(s.tif, size)) return codecErr;
    // What libtiff takes for the page is decoded samples, a strip or tile of
    // them at a time (their sum within the size limit, each within what the
    // pixels drawn from it need), or stored bytes, which lie in the data. A
    // page whose blocks are larger than the cap (one strip for the whole
    // image is common) is read again with a cap of the largest, never past
    // the size limit.
    uint64_t held = decodedBlockSize(s.tif);
    if (!limits::tiffBlockFits(s.tif, held)) return codecErr;
    uint64_t block = std::max<uint64_t>(held, size);
    if (block <= tiff::kAllocationCap) return decodePage(s.tif, out);
    tiff::Stream large(data, size, size_t(std::min<uint64_t>(block, kMaxBlockSize)));
    if (!large.tif || !page(large.tif, index)) return codecErr;
    return decodePage(large.tif, out);
}

// ---- encode ------------------------------------------------------------------------

bool tiffMethodOk(int32_t method) {
    return (method == COMPRESSION_NONE || method == COMPRESSION_LZW || method == COMPRESSION_ADOBE_DEFLATE ||
            method == COMPRESSION_PACKBITS) &&
           TIFFIsCODECConfigured(uint16_t(method));
}

// Packed R G B rows written uncompressed are the strips as the file stores
// them: each strip goes out in one write from the rows themselves, copied
// first only when the rows are not contiguous. Progress is reported for the
// same rows as a row-by-row write reports it.
OSErr writeRowsAsStrips(TIFF *tif, const codec::Image &img, const codec::Options &opt) {
    uint32_t rowsPerStrip = 0;
    TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    const uint32_t height = uint32_t(img.height);
    rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, height);
    const size_t rowSize = size_t(img.width) * 3;
    std::vector<uint8_t> strip;
    if (size_t(img.rowBytes) != rowSize) strip.resize(rowSize * rowsPerStrip);
    for (uint32_t y = 0, index = 0; y < height; y += rowsPerStrip, ++index) {
        const uint32_t rows = std::min(rowsPerStrip, height - y);
        const uint8_t *bytes = codec::rowOf(img, int32_t(y));
        if (!strip.empty()) {
            for (uint32_t r = 0; r < rows; ++r)
                std::memcpy(&strip[r * rowSize], codec::rowOf(img, int32_t(y + r)), rowSize);
            bytes = strip.data();
        }
        // libtiff only reads what it is given to write raw.
        if (TIFFWriteRawStrip(tif, index, const_cast<uint8_t *>(bytes), tmsize_t(rows * rowSize)) < 0) return ioErr;
        for (uint32_t done = y + 1; done <= y + rows; ++done)
            if (codec::progressDue(int32_t(done), img.height))
                if (OSErr e = codec::report(opt, int32_t(done), img.height)) return e;
    }
    return noErr;
}

OSErr encodeTIFF(const codec::Image &img, const codec::Options &opt, std::vector<uint8_t> &out) {
    int32_t method = opt.method ? opt.method : COMPRESSION_NONE;
    if (!tiffMethodOk(method)) return paramErr;
    out.clear();
    codec::reserveOutput(out, img, opt);
    OSErr err = noErr;
    {
        tiff::Stream s(out);
        TIFF *tif = s.tif;
        if (!tif) return ioErr;
        int spp = codec::samplesFor(opt.depth);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(img.width));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(img.height));
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spp);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, spp == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        if (spp == 4) {
            // Pictures hold straight alpha, and so does what is written.
            uint16_t extra = EXTRASAMPLE_UNASSALPHA;
            TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
        }
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(method));
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(opt.hres));
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(opt.vres));
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
        if (!opt.icc.empty()) TIFFSetField(tif, TIFFTAG_ICCPROFILE, uint32_t(opt.icc.size()), opt.icc.data());
#define META(name, type, tiffTag, pngKey)                                               \
    if (const std::string *text = codec::metaText(opt, codec::name); (tiffTag) && text) \
        TIFFSetField(tif, (tiffTag), text->c_str());
#include "metadata.def"
#undef META

        if (img.pixelBytes == 3 && opt.depth == 24 && method == COMPRESSION_NONE) {
            err = writeRowsAsStrips(tif, img, opt);
        } else {
            std::vector<uint8_t> row(size_t(img.width) * size_t(spp));
            for (int32_t y = 0; y < img.height && !err; ++y) {
                codec::convertRow(img, y, opt.depth, row.data());
                if (TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) < 0) err = ioErr;
                else if (codec::progressDue(y + 1, img.height)) err = codec::report(opt, y + 1, img.height);
            }
        }
        if (!err && !TIFFWriteDirectory(tif)) err = ioErr;
    }
    if (err) out.clear();
    else codec::fitOutput(out);
    return err;
}

}  // namespace

bool codec::tiffMethodSupported(int32_t method) { return tiffMethodOk(method); }

extern const Format kTIFFFormat = {
    FourCC("TIFF"), FourCC("tif "), FourCC("tiff"), "TIFF",     {"tif", "tiff"}, {"image/tiff", nullptr},
    true,           sniffTIFF,      probeTIFF,      decodeTIFF, encodeTIFF};

}  // namespace imaging
