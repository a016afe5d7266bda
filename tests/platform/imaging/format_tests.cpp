// What each format gives the importer from files that other programs write
// by their own rules: TIFF alpha of both kinds kept straight inside the
// importer and written back as it is, TIFF pages in one strip of any size
// the limits allow, CMYK and YCCK JPEGs as RGB, 16-bit PNGs without gamma
// information taken as they are stored.
#include "imaging/importer.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <tiffio.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace imaging;

namespace {

struct TempFile {
    std::string path;
    explicit TempFile(const char *ending) {
        char name[] = "/tmp/formatXXXXXX";
        int fd = mkstemp(name);
        close(fd);
        unlink(name);
        path = std::string(name) + ending;
    }
    ~TempFile() { unlink(path.c_str()); }
};

std::vector<uint8_t> readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// An importer over a copy of `bytes`; closed, with its data, when it goes.
struct Imported {
    Handle data = nullptr;
    ComponentInstance ci = 0;
    explicit Imported(const std::vector<uint8_t> &bytes) {
        EXPECT_EQ(PtrToHand(bytes.data(), &data, bytes.size()), noErr);
        EXPECT_EQ(OpenADefaultComponent(GraphicsImporterComponentType, 0, &ci), noErr);
        EXPECT_EQ(GraphicsImportSetDataHandle(ci, data), noErr);
    }
    ~Imported() {
        CloseComponent(ci);
        DisposeHandle(data);
    }
    // The picture's pixels as 0xAARRGGBB, row by row; empty when refused.
    std::vector<uint32_t> pixels(int16_t *depth = nullptr) {
        PicHandle pic = nullptr;
        std::vector<uint32_t> out;
        int32_t w = 0, h = 0;
        if (GraphicsImportGetAsPicture(ci, &pic) == noErr && GetPictureInfo(pic, &w, &h, depth)) {
            const uint8_t *p = PicturePixels(pic);
            for (int32_t i = 0; i < w * h; ++i, p += 4)
                out.push_back(uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]);
        }
        DisposeHandle(pic);
        return out;
    }
    // Drawn over opaque white in `mode`, as 0xRRGGBB.
    std::vector<uint32_t> drawnOverWhite(int32_t mode, int32_t w, int32_t h) {
        Rect r{0, 0, h, w};
        GWorldRef world = 0;
        EXPECT_EQ(NewGWorld(&world, 32, &r, 0), noErr);
        EXPECT_EQ(GraphicsImportSetGraphicsMode(ci, mode, nullptr), noErr);
        EXPECT_EQ(GraphicsImportSetGWorld(ci, world), noErr);
        EXPECT_EQ(GraphicsImportDraw(ci), noErr);
        PixMapInfo pm{};
        GetGWorldPixMap(world, &pm);
        std::vector<uint32_t> out;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const uint8_t *p = pm.baseAddr + size_t(y) * pm.rowBytes + size_t(x) * 4;
                out.push_back(uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]);
            }
        DisposeGWorld(world);
        return out;
    }
};

// ---- TIFF alpha ------------------------------------------------------------------------

// Two pixels, R G B A: a red at alpha 0x82, a dark blue at alpha 0x20.
const uint8_t kStraight[2][4] = {{0xFF, 0x00, 0x00, 0x82}, {0x12, 0x34, 0x56, 0x20}};

// A 2x1 RGBA TIFF of kStraight, its colour stored straight (unassociated)
// or multiplied by the alpha (associated), as libtiff writes it.
std::vector<uint8_t> alphaTiff(uint16_t kind) {
    TempFile file(".tif");
    TIFF *tif = TIFFOpen(file.path.c_str(), "w");
    EXPECT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 2);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &kind);
    uint8_t row[8];
    for (int i = 0; i < 2; ++i)
        for (int c = 0; c < 4; ++c) {
            unsigned v = kStraight[i][c], a = kStraight[i][3];
            row[i * 4 + c] = uint8_t(c < 3 && kind == EXTRASAMPLE_ASSOCALPHA ? (v * a + 127) / 255 : v);
        }
    TIFFWriteScanline(tif, row, 0, 0);
    TIFFClose(tif);
    return readFile(file.path);
}

TEST(TiffAlpha, ComesOutStraightWhicheverWayTheFileStoresIt) {
    Imported unassociated(alphaTiff(EXTRASAMPLE_UNASSALPHA));
    int16_t depth = 0;
    EXPECT_EQ(unassociated.pixels(&depth), (std::vector<uint32_t>{0x82FF0000u, 0x20123456u})) << "exactly as stored";
    EXPECT_EQ(depth, 32);

    Imported associated(alphaTiff(EXTRASAMPLE_ASSOCALPHA));
    std::vector<uint32_t> px = associated.pixels();
    ASSERT_EQ(px.size(), 2u);
    EXPECT_EQ(px[0], 0x82FF0000u);
    // Dividing the alpha out of 8-bit values loses what the multiplying lost.
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(int(px[1] >> (16 - 8 * c) & 0xFF), kStraight[1][c], 4) << c;
}

TEST(TiffAlpha, DrawnWithStraightAlphaOverWhite) {
    for (uint16_t kind : {uint16_t(EXTRASAMPLE_UNASSALPHA), uint16_t(EXTRASAMPLE_ASSOCALPHA)}) {
        SCOPED_TRACE(kind);
        Imported im(alphaTiff(kind));
        // Red at 0x82 over white: red stays, green and blue keep 0x7D of white.
        EXPECT_EQ(im.drawnOverWhite(graphicsModeStraightAlpha, 2, 1)[0], 0xFF7D7Du);
    }
}

TEST(TiffAlpha, SavedAsImageItKeepsItsColourAndSaysSo) {
    Imported im(alphaTiff(EXTRASAMPLE_ASSOCALPHA));
    TempFile saved(".tif");
    FSSpec spec{};
    std::snprintf(spec.path, sizeof spec.path, "%s", saved.path.c_str());
    ASSERT_EQ(GraphicsImportSaveAsQuickTimeImageFile(im.ci, &spec, -1), noErr);

    TIFFSetErrorHandler(nullptr);
    TIFF *tif = TIFFOpen(saved.path.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    uint16_t extra = 0, *kinds = nullptr;
    ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extra, &kinds));
    ASSERT_EQ(extra, 1);
    EXPECT_EQ(kinds[0], EXTRASAMPLE_UNASSALPHA) << "what is written is straight";
    std::vector<uint8_t> row(size_t(TIFFScanlineSize(tif)));
    ASSERT_EQ(TIFFReadScanline(tif, row.data(), 0, 0), 1);
    EXPECT_EQ(std::vector<uint8_t>(row.begin(), row.begin() + 4), (std::vector<uint8_t>{0xFF, 0x00, 0x00, 0x82}))
        << "a red pixel is saved red";
    TIFFClose(tif);

    Imported again(readFile(saved.path));
    EXPECT_EQ(again.pixels()[0], 0x82FF0000u);
}

// ---- TIFF pages of one large strip ------------------------------------------------------

// A 4096x5600 page in one strip, as many programs write it: 16-bit RGB with
// Deflate, or JPEG of YCbCr, which libjpeg hands over as RGB (three bytes a
// pixel, where the subsampled YCbCr takes one and a half). Either strip,
// decoded, is over the 64 MiB libtiff may otherwise take at once. With the
// planes apart (Deflate), each plane is one strip of 44 MiB, and libtiff
// takes the three together. Each row is a grey of its own: (y / 22) in
// every sample.
constexpr uint32_t kStripWidth = 4096, kStripHeight = 5600;
uint8_t greyOfRow(uint32_t y) { return uint8_t(y / 22); }

std::vector<uint8_t> oneStripTiff(uint16_t compression, uint16_t planar = PLANARCONFIG_CONTIG) {
    TempFile file(".tif");
    TIFF *tif = TIFFOpen(file.path.c_str(), "w");
    EXPECT_NE(tif, nullptr);
    const uint16_t bits = compression == COMPRESSION_JPEG ? 8 : 16;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kStripWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kStripHeight);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, kStripHeight);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, planar);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    if (compression == COMPRESSION_JPEG) {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);  // RGB given, YCbCr stored
    } else {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    }
    const bool apart = planar == PLANARCONFIG_SEPARATE;
    std::vector<uint8_t> row(size_t(kStripWidth) * (apart ? 1 : 3) * bits / 8);
    for (uint16_t plane = 0; plane < (apart ? 3 : 1); ++plane)
        for (uint32_t y = 0; y < kStripHeight; ++y) {
            std::fill(row.begin(), row.end(), greyOfRow(y));  // a 16-bit sample: 257 times the grey
            EXPECT_EQ(TIFFWriteScanline(tif, row.data(), y, plane), 1);
        }
    TIFFClose(tif);
    return readFile(file.path);
}

TEST(TiffOneStrip, LargerThanTheUsualCapItOpens) {
    struct Kind {
        const char *name;
        uint16_t compression, planar;
    };
    for (Kind k : {Kind{"Deflate", COMPRESSION_ADOBE_DEFLATE, PLANARCONFIG_CONTIG},
                   Kind{"JPEG", COMPRESSION_JPEG, PLANARCONFIG_CONTIG},
                   Kind{"Deflate, planes apart", COMPRESSION_ADOBE_DEFLATE, PLANARCONFIG_SEPARATE}}) {
        SCOPED_TRACE(k.name);
        Imported im(oneStripTiff(k.compression, k.planar));
        std::vector<uint32_t> px = im.pixels();
        ASSERT_EQ(px.size(), size_t(kStripWidth) * kStripHeight);
        for (uint32_t y : {0u, 1000u, 4321u, kStripHeight - 1}) {
            uint32_t grey = greyOfRow(y), got = px[size_t(y) * kStripWidth + kStripWidth / 2];
            EXPECT_EQ(got >> 24, 0xFFu) << y;
            for (int shift : {16, 8, 0}) EXPECT_NEAR(int(got >> shift & 0xFF), int(grey), 2) << y;
        }
    }
}

// A 2048x2048 page of 16-bit RGB, an alpha and `samples` - 4 channels more,
// in Deflate strips of `rows` rows: white, opaque. RGB and alpha with one
// channel more, ten bytes a pixel, is the widest pixel a strip may hold
// whatever its size; a strip of wider pixels only 16 MiB.
std::vector<uint8_t> channelsTiff(uint16_t samples, uint32_t rows) {
    constexpr uint32_t kSide = 2048;
    TempFile file(".tif");
    TIFF *tif = TIFFOpen(file.path.c_str(), "w");
    EXPECT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kSide);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kSide);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    std::vector<uint16_t> extra(samples - 3u, EXTRASAMPLE_UNSPECIFIED);
    extra[0] = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, uint16_t(extra.size()), extra.data());
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    std::vector<uint16_t> row(size_t(kSide) * samples, 0xFFFF);
    for (uint32_t y = 0; y < kSide; ++y) EXPECT_EQ(TIFFWriteScanline(tif, row.data(), y, 0), 1);
    TIFFClose(tif);
    return readFile(file.path);
}

TEST(TiffOneStrip, TheWidestPixelOpensAndWiderOnesInSmallStrips) {
    Imported widest(channelsTiff(5, 2048));  // a strip of 40 MiB
    std::vector<uint32_t> px = widest.pixels();
    ASSERT_EQ(px.size(), size_t(2048) * 2048);
    EXPECT_EQ(px[2048 * 1000 + 1000], 0xFFFFFFFFu);
    EXPECT_TRUE(Imported(channelsTiff(6, 2048)).pixels().empty()) << "a strip of 48 MiB for 16 MiB of pixels";
    EXPECT_EQ(Imported(channelsTiff(6, 64)).pixels().size(), size_t(2048) * 2048);
}

// ---- CMYK and YCCK JPEG ----------------------------------------------------------------

// A 16x8 JPEG of CMYK inks, left half red (magenta and yellow), right half
// half black, stored inverted with an Adobe marker as Adobe's programs
// write them, in CMYK or converted to YCCK.
std::vector<uint8_t> cmykJpeg(J_COLOR_SPACE stored) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = 16, cinfo.image_height = 8;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, stored);
    jpeg_set_quality(&cinfo, 100, TRUE);
    cinfo.write_Adobe_marker = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row;
    for (int x = 0; x < 16; ++x) {
        const uint8_t inks[4] = {0, uint8_t(x < 8 ? 255 : 0), uint8_t(x < 8 ? 255 : 0), uint8_t(x < 8 ? 0 : 128)};
        for (uint8_t ink : inks) row.push_back(uint8_t(255 - ink));
    }
    while (cinfo.next_scanline < 8) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> bytes(out, out + size);
    free(out);
    return bytes;
}

TEST(CmykJpeg, OpensAndDrawsAsRgb) {
    for (J_COLOR_SPACE stored : {JCS_CMYK, JCS_YCCK}) {
        SCOPED_TRACE(stored == JCS_CMYK ? "CMYK" : "YCCK");
        Imported im(cmykJpeg(stored));
        ImageDescriptionHandle desc = nullptr;
        ASSERT_EQ(GraphicsImportGetImageDescription(im.ci, &desc), noErr);
        ImageDescription d;
        std::memcpy(&d, HandleData(desc), sizeof d);
        DisposeHandle(desc);
        EXPECT_EQ(d.depth, 24);
        std::vector<uint32_t> drawn = im.drawnOverWhite(ditherCopy, 16, 8);
        ASSERT_EQ(drawn.size(), 128u) << "drawing a CMYK JPEG used to fail with -8960";
        auto near = [](uint32_t got, uint32_t want) {
            for (int shift : {16, 8, 0})
                if (std::abs(int(got >> shift & 0xFF) - int(want >> shift & 0xFF)) > 3) return false;
            return true;
        };
        EXPECT_PRED2(near, drawn[3 * 16 + 2], 0xFF0000u) << "magenta and yellow make red";
        EXPECT_PRED2(near, drawn[3 * 16 + 13], 0x7F7F7Fu) << "half black leaves half of white";
    }
}

// ---- 16-bit PNG ------------------------------------------------------------------------

void chunk(std::vector<uint8_t> &png, const char *type, const std::vector<uint8_t> &data) {
    auto be32 = [&](uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) png.push_back(uint8_t(v >> s));
    };
    be32(uint32_t(data.size()));
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    be32(uint32_t(crc32(0, png.data() + start, uInt(png.size() - start))));
}

// A 3x2 PNG of 16-bit samples with nothing said of its gamma: grey (colour
// type 0) or RGB (2), every pixel the given 16-bit samples.
std::vector<uint8_t> png16(int colourType, std::vector<uint16_t> samples) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    chunk(png, "IHDR", {0, 0, 0, 3, 0, 0, 0, 2, 16, uint8_t(colourType), 0, 0, 0});
    std::vector<uint8_t> raw;
    for (int y = 0; y < 2; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < 3; ++x)
            for (uint16_t s : samples) raw.push_back(uint8_t(s >> 8)), raw.push_back(uint8_t(s));
    }
    std::vector<uint8_t> z(compressBound(uLong(raw.size())));
    uLongf n = uLongf(z.size());
    compress(z.data(), &n, raw.data(), uLong(raw.size()));
    z.resize(n);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", {});
    return png;
}

TEST(Png16, SamplesWithoutGammaAreTakenAsStored) {
    // 0x3333 used to come out as 0x7B, taken as linear light.
    Imported grey(png16(0, {0x3333}));
    EXPECT_EQ(grey.pixels(), std::vector<uint32_t>(6, 0xFF333333u));
    Imported rgb(png16(2, {0x3333, 0x8080, 0xCCCC}));
    EXPECT_EQ(rgb.pixels(), std::vector<uint32_t>(6, 0xFF3380CCu));
}

}  // namespace
