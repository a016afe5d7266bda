// The graphics exporter component: formats, settings, progress, lifetime.
#include "imaging/imaging.h"

#include "fingerprint.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using namespace imaging;

namespace {

struct Frame {
    GWorldRef world = 0;
    PixMapInfo pm{};
    Frame(int32_t w, int32_t h, int16_t depth = 24) {
        Rect r{0, 0, h, w};
        EXPECT_EQ(NewGWorld(&world, depth, &r, 0), noErr);
        GetGWorldPixMap(world, &pm);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                uint8_t *p = pm.baseAddr + size_t(y) * pm.rowBytes + size_t(x) * 4;
                p[0] = 0xFF, p[1] = uint8_t(x * 3 + y), p[2] = uint8_t(y * 5), p[3] = uint8_t(x ^ y);
            }
    }
    ~Frame() { DisposeGWorld(world); }
};

struct Exporter {
    ComponentInstance ci = 0;
    Handle out = NewEmptyHandle();
    explicit Exporter(const char (&type)[5]) {
        EXPECT_EQ(OpenADefaultComponent(GraphicsExporterComponentType, FourCC(type), &ci), noErr);
        GraphicsExportSetOutputHandle(ci, out);
    }
    ~Exporter() {
        CloseComponent(ci);
        DisposeHandle(out);
    }
    ComponentResult run(GWorldRef w) {
        GraphicsExportSetInputGWorld(ci, w);
        uint32_t n;
        return GraphicsExportDoExport(ci, &n);
    }
    std::vector<uint8_t> bytes() const { return {HandleData(out), HandleData(out) + GetHandleSize(out)}; }
};

// The tags of a TIFF file by name.
struct TiffTags {
    uint32_t width = 0, height = 0;
    uint16_t bitsPerSample = 0, samplesPerPixel = 0, photometric = 0, compression = 0, planar = 0, orientation = 0;
    std::vector<uint16_t> extraSamples;
};

TiffTags tiffTags(const std::vector<uint8_t> &bytes) {
    TiffTags t;
    char path[] = "/tmp/imgtest-tags-XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    close(fd);
    TIFF *tif = TIFFOpen(path, "r");
    EXPECT_NE(tif, nullptr);
    if (tif) {
        uint16_t n = 0, *extra = nullptr;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &t.width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &t.height);
        TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &t.bitsPerSample);
        TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &t.samplesPerPixel);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &t.photometric);
        TIFFGetField(tif, TIFFTAG_COMPRESSION, &t.compression);
        TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &t.planar);
        TIFFGetField(tif, TIFFTAG_ORIENTATION, &t.orientation);
        if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &n, &extra)) t.extraSamples.assign(extra, extra + n);
        TIFFClose(tif);
    }
    unlink(path);
    return t;
}

// A picture as 8-bit RGB rows, top first.
struct Rgb {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

std::vector<uint8_t> rgbOf(const Frame &f) {
    std::vector<uint8_t> rgb;
    for (int32_t y = 0; y < f.pm.bounds.bottom - f.pm.bounds.top; ++y)
        for (int32_t x = 0; x < f.pm.bounds.right - f.pm.bounds.left; ++x) {
            const uint8_t *p = f.pm.baseAddr + size_t(y) * f.pm.rowBytes + size_t(x) * 4;
            rgb.insert(rgb.end(), {p[1], p[2], p[3]});
        }
    return rgb;
}

Rgb decodePng(const std::vector<uint8_t> &bytes) {
    Rgb out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        ADD_FAILURE() << "not a PNG: " << image.message;
        return out;
    }
    image.format = PNG_FORMAT_RGB;
    out.width = image.width;
    out.height = image.height;
    out.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr)) {
        ADD_FAILURE() << "the PNG does not decode: " << image.message;
        out.pixels.clear();
    }
    return out;
}

Rgb decodeJpeg(const std::vector<uint8_t> &bytes) {
    Rgb out;
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jerr.error_exit = [](j_common_ptr c) { throw std::runtime_error(std::to_string(c->err->msg_code)); };
    try {
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, bytes.data(), (unsigned long)bytes.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_RGB;
        jpeg_start_decompress(&cinfo);
        out.width = cinfo.output_width;
        out.height = cinfo.output_height;
        out.pixels.resize(size_t(out.width) * out.height * 3);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = out.pixels.data() + size_t(cinfo.output_scanline) * out.width * 3;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
    } catch (const std::exception &e) {
        ADD_FAILURE() << "the JPEG does not decode (libjpeg message " << e.what() << ")";
        out.pixels.clear();
    }
    jpeg_destroy_decompress(&cinfo);
    return out;
}

// What the exporter's default JPEG quality keeps of the test frame, whose
// sharp edges are JPEG's worst case (25.6 dB with libjpeg-turbo 2.1), with
// room below it; a picture with its channels or rows out of place is far
// below (under 12 dB).
constexpr double kJpegMinPsnr = 22.0;

// Reads TIFF bytes with libtiff through a temporary file.
struct TiffFile {
    TIFF *tif = nullptr;
    std::string path;
    explicit TiffFile(const std::vector<uint8_t> &bytes) {
        char name[] = "/tmp/imgtestXXXXXX";
        int fd = mkstemp(name);
        path = name;
        FILE *f = fdopen(fd, "wb");
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
        TIFFSetErrorHandler(nullptr);
        tif = TIFFOpen(path.c_str(), "r");
    }
    ~TiffFile() {
        if (tif) TIFFClose(tif);
        std::remove(path.c_str());
    }
};

void expectSameTiffPixels(const Frame &f, int32_t w, int32_t h) {
    Exporter ex("TIFF");
    ASSERT_EQ(ex.run(f.world), noErr);
    TiffFile t(ex.bytes());
    ASSERT_NE(t.tif, nullptr);
    uint32_t tw = 0, th = 0;
    uint16_t spp = 0, bps = 0, photometric = 0, unit = 0;
    float xres = 0;
    TIFFGetField(t.tif, TIFFTAG_IMAGEWIDTH, &tw);
    TIFFGetField(t.tif, TIFFTAG_IMAGELENGTH, &th);
    TIFFGetField(t.tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(t.tif, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetField(t.tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetField(t.tif, TIFFTAG_XRESOLUTION, &xres);
    TIFFGetField(t.tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    EXPECT_EQ(tw, uint32_t(w));
    EXPECT_EQ(th, uint32_t(h));
    EXPECT_EQ(spp, 3);
    EXPECT_EQ(bps, 8);
    EXPECT_EQ(photometric, PHOTOMETRIC_RGB);
    EXPECT_FLOAT_EQ(xres, 72.f);
    EXPECT_EQ(unit, RESUNIT_INCH);
    std::vector<uint8_t> row(TIFFScanlineSize(t.tif));
    int mismatches = 0;
    for (int32_t y = 0; y < h; ++y) {
        ASSERT_EQ(TIFFReadScanline(t.tif, row.data(), uint32_t(y), 0), 1);
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t *p = f.pm.baseAddr + size_t(y) * f.pm.rowBytes + size_t(x) * 4;
            mismatches += std::memcmp(&row[size_t(x) * 3], p + 1, 3) != 0;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace

TEST(ExportTiff, SamePixelsThreeSamplesAt72Dpi) {
    Frame big(720, 480);
    expectSameTiffPixels(big, 720, 480);
    Frame one(1, 1);
    expectSameTiffPixels(one, 1, 1);
    Frame odd(33, 7);
    expectSameTiffPixels(odd, 33, 7);
}

TEST(ExportTiff, BytesAreDeterministic) {
    Frame f(64, 48);
    Exporter a("TIFF"), b("TIFF");
    ASSERT_EQ(a.run(f.world), noErr);
    ASSERT_EQ(b.run(f.world), noErr);
    EXPECT_EQ(a.bytes(), b.bytes());
}

TEST(ExportTiff, AlphaOnlyWhenItCarriesSomething) {
    Frame f(8, 8, 32);  // all alpha 0xFF: colour only
    {
        Exporter ex("TIFF");
        ASSERT_EQ(ex.run(f.world), noErr);
        TiffFile t(ex.bytes());
        uint16_t spp = 0;
        TIFFGetField(t.tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
        EXPECT_EQ(spp, 3);
    }
    f.pm.baseAddr[0] = 0x10;
    Exporter ex("TIFF");
    ASSERT_EQ(ex.run(f.world), noErr);
    TiffFile t(ex.bytes());
    uint16_t spp = 0;
    TIFFGetField(t.tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    EXPECT_EQ(spp, 4);
}

TEST(ExportTiff, SettingsTakeEffect) {
    Frame f(20, 10);
    Exporter ex("TIFF");
    EXPECT_EQ(GraphicsExportSetCompressionMethod(ex.ci, 5), noErr);
    EXPECT_EQ(GraphicsExportSetCompressionMethod(ex.ci, 7), paramErr);  // old JPEG-in-TIFF: refused
    EXPECT_EQ(GraphicsExportSetDepth(ex.ci, 8), noErr);
    EXPECT_EQ(GraphicsExportSetDepth(ex.ci, 16), paramErr);
    EXPECT_EQ(GraphicsExportSetResolution(ex.ci, 300 << 16, 150 << 16), noErr);
    Handle icc;
    PtrToHand("not really a profile", &icc, 20);
    GraphicsExportSetColorSyncProfile(ex.ci, icc);
    UserData ud;
    NewUserData(&ud);
    AddUserDataText(ud, "frame 7", 0xA9646573);  // description
    AddUserDataText(ud, "(c) us", 0xA9637079);   // copyright
    GraphicsExportSetMetaData(ex.ci, ud);
    ASSERT_EQ(ex.run(f.world), noErr);
    TiffFile t(ex.bytes());
    uint16_t compression = 0, spp = 0;
    float xres = 0, yres = 0;
    char *desc = nullptr, *copyright = nullptr;
    uint32_t iccSize = 0;
    void *iccData = nullptr;
    TIFFGetField(t.tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(t.tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(t.tif, TIFFTAG_XRESOLUTION, &xres);
    TIFFGetField(t.tif, TIFFTAG_YRESOLUTION, &yres);
    TIFFGetField(t.tif, TIFFTAG_IMAGEDESCRIPTION, &desc);
    TIFFGetField(t.tif, TIFFTAG_COPYRIGHT, &copyright);
    TIFFGetField(t.tif, TIFFTAG_ICCPROFILE, &iccSize, &iccData);
    EXPECT_EQ(compression, COMPRESSION_LZW);
    EXPECT_EQ(spp, 1);
    EXPECT_FLOAT_EQ(xres, 300.f);
    EXPECT_FLOAT_EQ(yres, 150.f);
    EXPECT_STREQ(desc, "frame 7");
    EXPECT_STREQ(copyright, "(c) us");
    ASSERT_EQ(iccSize, 20u);
    EXPECT_EQ(std::memcmp(iccData, "not really a profile", 20), 0);
    DisposeUserData(ud);
    DisposeHandle(icc);
}

TEST(ExportFormats, PngInterlaceJpegTargetAndExif) {
    Frame f(64, 64);
    Exporter png("PNGf");
    ASSERT_EQ(GraphicsExportSetInterlaceStyle(png.ci, 1), noErr);
    ASSERT_EQ(png.run(f.world), noErr);
    EXPECT_EQ(png.bytes()[28], 1);  // IHDR interlace method: Adam7

    Exporter jpeg("JPEG");
    GraphicsExportSetCompressionQuality(jpeg.ci, codecLosslessQuality);
    ASSERT_EQ(jpeg.run(f.world), noErr);
    size_t full = jpeg.bytes().size();
    GraphicsExportSetTargetDataSize(jpeg.ci, uint32_t(full / 2));
    ASSERT_EQ(jpeg.run(f.world), noErr);
    EXPECT_LE(jpeg.bytes().size(), full / 2);

    EXPECT_EQ(CallComponentCanDo(jpeg.ci, kGraphicsExportSetExifEnabledSelect), 1);
    EXPECT_EQ(CallComponentCanDo(png.ci, kGraphicsExportSetExifEnabledSelect), 0);
    BundleRef qt = LoadSystemFramework("QuickTime.framework");
    auto setExif = reinterpret_cast<GraphicsExportSetExifEnabledProc>(
        BundleGetFunctionPointerForName(qt, "GraphicsExportSetExifEnabled"));
    ASSERT_NE(setExif, nullptr);
    EXPECT_EQ(setExif(jpeg.ci, true), noErr);
    EXPECT_EQ(setExif(png.ci, true), badComponentSelector);
    GraphicsExportSetTargetDataSize(jpeg.ci, 0);
    ASSERT_EQ(jpeg.run(f.world), noErr);
    std::vector<uint8_t> b = jpeg.bytes();
    EXPECT_NE(std::search(b.begin(), b.end(), std::begin("Exif"), std::begin("Exif") + 4), b.end());

    WithholdFunction("GraphicsExportSetExifEnabled");
    EXPECT_EQ(BundleGetFunctionPointerForName(qt, "GraphicsExportSetExifEnabled"), nullptr);
    WithholdFunction(nullptr);
    EXPECT_NE(BundleGetFunctionPointerForName(qt, "GraphicsExportSetExifEnabled"), nullptr);
    EXPECT_EQ(LoadSystemFramework("Other.framework"), nullptr);
}

TEST(ExportSettings, AtomContainerRoundTripAndBadContainerChangesNothing) {
    Exporter a("TIFF"), b("TIFF");
    GraphicsExportSetDepth(a.ci, 32);
    GraphicsExportSetCompressionMethod(a.ci, 32773);
    GraphicsExportSetResolution(a.ci, 200 << 16, 100 << 16);
    Handle s;
    ASSERT_EQ(GraphicsExportGetSettingsAsAtomContainer(a.ci, &s), noErr);
    ASSERT_EQ(GraphicsExportSetSettingsFromAtomContainer(b.ci, s), noErr);
    int32_t depth, method;
    Fixed h, v;
    GraphicsExportGetDepth(b.ci, &depth);
    GraphicsExportGetCompressionMethod(b.ci, &method);
    GraphicsExportGetResolution(b.ci, &h, &v);
    EXPECT_EQ(depth, 32);
    EXPECT_EQ(method, 32773);
    EXPECT_EQ(h, 200 << 16);

    Exporter c("TIFF");
    HandleData(s)[3] = 13;  // first atom claims a size past its value
    EXPECT_EQ(GraphicsExportSetSettingsFromAtomContainer(c.ci, s), paramErr);
    GraphicsExportGetDepth(c.ci, &depth);
    EXPECT_EQ(depth, 0);
    DisposeHandle(s);
}

namespace {

// Sets every setting an exporter of the format takes to a value other
// than its default.
void setEverySetting(ComponentInstance ci, bool jpeg) {
    EXPECT_EQ(GraphicsExportSetDepth(ci, 32), noErr);
    EXPECT_EQ(GraphicsExportSetResolution(ci, 300 << 16, 150 << 16), noErr);
    EXPECT_EQ(GraphicsExportSetCompressionQuality(ci, codecHighQuality), noErr);
    if (!jpeg) {
        EXPECT_EQ(GraphicsExportSetCompressionMethod(ci, 6), noErr);
    }
    EXPECT_EQ(GraphicsExportSetDontRecompress(ci, true), noErr);
    EXPECT_EQ(GraphicsExportSetInterlaceStyle(ci, 1), noErr);
    EXPECT_EQ(GraphicsExportSetTargetDataSize(ci, 12345), noErr);
    if (jpeg) {
        BundleRef qt = LoadSystemFramework("QuickTime.framework");
        auto setExif = reinterpret_cast<GraphicsExportSetExifEnabledProc>(
            BundleGetFunctionPointerForName(qt, "GraphicsExportSetExifEnabled"));
        ASSERT_NE(setExif, nullptr);
        EXPECT_EQ(setExif(ci, true), noErr);
    }
}

void expectEverySetting(ComponentInstance ci, bool jpeg) {
    int32_t depth = 0, method = 0;
    Fixed h = 0, v = 0;
    CodecQ quality = 0;
    bool dont = false, exif = false;
    uint32_t interlace = 0, target = 0;
    EXPECT_EQ(GraphicsExportGetDepth(ci, &depth), noErr);
    EXPECT_EQ(GraphicsExportGetResolution(ci, &h, &v), noErr);
    EXPECT_EQ(GraphicsExportGetCompressionQuality(ci, &quality), noErr);
    EXPECT_EQ(GraphicsExportGetCompressionMethod(ci, &method), noErr);
    EXPECT_EQ(GraphicsExportGetDontRecompress(ci, &dont), noErr);
    EXPECT_EQ(GraphicsExportGetInterlaceStyle(ci, &interlace), noErr);
    EXPECT_EQ(GraphicsExportGetTargetDataSize(ci, &target), noErr);
    EXPECT_EQ(depth, 32);
    EXPECT_EQ(h, 300 << 16);
    EXPECT_EQ(v, 150 << 16);
    EXPECT_EQ(quality, CodecQ(codecHighQuality));
    EXPECT_EQ(method, jpeg ? 0 : 6);
    EXPECT_TRUE(dont);
    EXPECT_EQ(interlace, 1u);
    EXPECT_EQ(target, 12345u);
    if (jpeg) {
        auto getExif = reinterpret_cast<GraphicsExportGetExifEnabledProc>(BundleGetFunctionPointerForName(
            LoadSystemFramework("QuickTime.framework"), "GraphicsExportGetExifEnabled"));
        ASSERT_NE(getExif, nullptr);
        EXPECT_EQ(getExif(ci, &exif), noErr);
        EXPECT_TRUE(exif);
    }
}

// The atoms of a settings container, as (type, value) pairs.
std::vector<std::pair<OSType, uint32_t>> atomsOf(Handle h) {
    std::vector<std::pair<OSType, uint32_t>> atoms;
    const uint8_t *p = HandleData(h);
    auto be32 = [](const uint8_t *q) {
        return uint32_t(q[0]) << 24 | uint32_t(q[1]) << 16 | uint32_t(q[2]) << 8 | q[3];
    };
    for (size_t at = 0; at + 12 <= GetHandleSize(h); at += 12) {
        EXPECT_EQ(be32(p + at), 12u);
        atoms.emplace_back(be32(p + at + 4), be32(p + at + 8));
    }
    return atoms;
}

Handle containerOf(std::vector<std::pair<OSType, uint32_t>> atoms) {
    Handle h = NewHandle(atoms.size() * 12);
    uint8_t *p = HandleData(h);
    for (const auto &[type, value] : atoms) {
        for (int i = 0; i < 4; ++i) p[i] = uint8_t(12 >> (24 - 8 * i));
        for (int i = 0; i < 4; ++i) p[4 + i] = uint8_t(type >> (24 - 8 * i));
        for (int i = 0; i < 4; ++i) p[8 + i] = uint8_t(value >> (24 - 8 * i));
        p += 12;
    }
    return h;
}

}  // namespace

// Every setting, set away from its default, comes back through the atom
// container into a fresh exporter: none is dropped on the way.
TEST(ExportSettings, EverySettingSurvivesTheAtomContainer) {
    for (bool jpeg : {true, false}) {
        SCOPED_TRACE(jpeg ? "JPEG" : "PNG");
        Exporter a(jpeg ? "JPEG" : "PNGf"), b(jpeg ? "JPEG" : "PNGf");
        setEverySetting(a.ci, jpeg);
        expectEverySetting(a.ci, jpeg);
        Handle s = nullptr;
        ASSERT_EQ(GraphicsExportGetSettingsAsAtomContainer(a.ci, &s), noErr);
        auto atoms = atomsOf(s);
        std::vector<OSType> types;
        for (const auto &atom : atoms) types.push_back(atom.first);
        EXPECT_EQ(types,
                  (std::vector<OSType>{FourCC("dpth"), FourCC("hres"), FourCC("vres"), FourCC("qual"), FourCC("meth"),
                                       FourCC("dnrc"), FourCC("intl"), FourCC("tsiz"), FourCC("exif")}));
        ASSERT_EQ(GraphicsExportSetSettingsFromAtomContainer(b.ci, s), noErr);
        expectEverySetting(b.ci, jpeg);
        DisposeHandle(s);
    }
}

// A container is checked as the setters check each value: a value a setter
// refuses makes the whole container refused, and nothing changes.
TEST(ExportSettings, AContainerValueTheSetterRefusesChangesNothing) {
    struct Case {
        const char *what;
        OSType atom;
        uint32_t value;
    } cases[] = {
        {"depth 16", FourCC("dpth"), 16},
        {"zero resolution", FourCC("hres"), 0},
        {"negative resolution", FourCC("vres"), uint32_t(-(72 << 16))},
        {"quality past lossless", FourCC("qual"), codecLosslessQuality + 1},
        {"old JPEG-in-TIFF method", FourCC("meth"), 7},
        {"interlace style 2", FourCC("intl"), 2},
        {"EXIF into TIFF", FourCC("exif"), 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Exporter ex("TIFF");
        ASSERT_EQ(GraphicsExportSetDepth(ex.ci, 24), noErr);
        Handle h = containerOf({{FourCC("tsiz"), 999}, {c.atom, c.value}});
        EXPECT_EQ(GraphicsExportSetSettingsFromAtomContainer(ex.ci, h), paramErr);
        DisposeHandle(h);
        int32_t depth = 0, method = 0;
        uint32_t target = 0;
        GraphicsExportGetDepth(ex.ci, &depth);
        GraphicsExportGetCompressionMethod(ex.ci, &method);
        GraphicsExportGetTargetDataSize(ex.ci, &target);
        EXPECT_EQ(depth, 24);
        EXPECT_EQ(method, 1);
        EXPECT_EQ(target, 0u);
    }
    // Unknown atoms are passed over; a flag takes any non-zero value as set.
    Exporter ex("TIFF");
    Handle h = containerOf({{FourCC("zzzz"), 5}, {FourCC("dnrc"), 5}, {FourCC("meth"), 5}});
    EXPECT_EQ(GraphicsExportSetSettingsFromAtomContainer(ex.ci, h), noErr);
    DisposeHandle(h);
    bool dont = false;
    int32_t method = 0;
    GraphicsExportGetDontRecompress(ex.ci, &dont);
    GraphicsExportGetCompressionMethod(ex.ci, &method);
    EXPECT_TRUE(dont);
    EXPECT_EQ(method, 5);
    Handle s = nullptr;
    ASSERT_EQ(GraphicsExportGetSettingsAsAtomContainer(ex.ci, &s), noErr);
    for (const auto &[type, value] : atomsOf(s)) {
        if (type == FourCC("dnrc")) {
            EXPECT_EQ(value, 1u);
        }
    }
    DisposeHandle(s);
}

namespace {
struct ProgressLog {
    std::vector<int> messages;
    int cancelAfter = -1;
    ComponentInstance closeDuring = 0;
};
OSErr logProgress(int16_t message, Fixed, void *ref) {
    auto *log = static_cast<ProgressLog *>(ref);
    log->messages.push_back(message);
    if (message == codecProgressUpdatePercent && log->closeDuring) {
        CloseComponent(log->closeDuring);
        log->closeDuring = 0;
    }
    if (message == codecProgressUpdatePercent && log->cancelAfter >= 0 && int(log->messages.size()) > log->cancelAfter)
        return userCanceledErr;
    return noErr;
}
}  // namespace

TEST(ExportProgress, OpenUpdatesCloseAndCancel) {
    Frame f(40, 64);
    for (const char *type : {"TIFF", "JPEG", "PNGf", "BMPf"}) {
        ComponentInstance ci;
        OpenADefaultComponent(GraphicsExporterComponentType, FourCC(*reinterpret_cast<const char(*)[5]>(type)), &ci);
        Handle out = NewEmptyHandle();
        GraphicsExportSetOutputHandle(ci, out);
        GraphicsExportSetInputGWorld(ci, f.world);
        ProgressLog log;
        ICMProgressProcRecord rec{logProgress, &log};
        GraphicsExportSetProgressProc(ci, &rec);
        uint32_t n;
        ASSERT_EQ(GraphicsExportDoExport(ci, &n), noErr) << type;
        ASSERT_GE(log.messages.size(), 3u);
        EXPECT_EQ(log.messages.front(), codecProgressOpen);
        EXPECT_EQ(log.messages.back(), codecProgressClose);
        EXPECT_EQ(log.messages[1], codecProgressUpdatePercent);

        ProgressLog cancel;
        cancel.cancelAfter = 2;
        rec.progressRefCon = &cancel;
        GraphicsExportSetProgressProc(ci, &rec);
        SetHandleSize(out, 0);
        EXPECT_EQ(GraphicsExportDoExport(ci, &n), userCanceledErr) << type;
        EXPECT_EQ(n, 0u);
        EXPECT_EQ(GetHandleSize(out), 0u);
        EXPECT_EQ(cancel.messages.back(), codecProgressClose);
        CloseComponent(ci);
        DisposeHandle(out);
    }
}

TEST(ExportProgress, CloseDuringExportIsDeferred) {
    Frame f(40, 64);
    ComponentInstance ci;
    OpenADefaultComponent(GraphicsExporterComponentType, FourCC("TIFF"), &ci);
    Handle out = NewEmptyHandle();
    GraphicsExportSetOutputHandle(ci, out);
    GraphicsExportSetInputGWorld(ci, f.world);
    ProgressLog log;
    log.closeDuring = ci;
    ICMProgressProcRecord rec{logProgress, &log};
    GraphicsExportSetProgressProc(ci, &rec);
    uint32_t n;
    EXPECT_NE(GraphicsExportDoExport(ci, &n), noErr);
    EXPECT_FALSE(ComponentInstanceExists(ci));
    EXPECT_EQ(CloseComponent(ci), invalidComponentID);
    DisposeHandle(out);
}

TEST(Exporter, UnknownTypesStaleInstancesAndMissingInput) {
    ComponentInstance ci = 123;
    EXPECT_EQ(OpenADefaultComponent(GraphicsExporterComponentType, FourCC("GIFf"), &ci), couldntGetRequiredComponent);
    EXPECT_EQ(ci, 0u);
    EXPECT_EQ(GraphicsExportSetDepth(999, 24), badComponentInstance);
    OpenADefaultComponent(GraphicsExporterComponentType, FourCC("JPEG"), &ci);
    Handle out = NewEmptyHandle();
    GraphicsExportSetOutputHandle(ci, out);
    uint32_t n;
    EXPECT_EQ(GraphicsExportDoExport(ci, &n), paramErr);  // no input
    EXPECT_EQ(GraphicsExportSetInputGWorld(ci, 0xDEAD), paramErr);
    {
        Frame f(4, 4);
        GraphicsExportSetInputGWorld(ci, f.world);
    }
    EXPECT_EQ(GraphicsExportDoExport(ci, &n), paramErr);  // its world is gone
    OSType ext, type, creator;
    GraphicsExportGetDefaultFileNameExtension(ci, &ext);
    GraphicsExportGetDefaultFileTypeAndCreator(ci, &type, &creator);
    EXPECT_EQ(ext, FourCC("jpg "));
    EXPECT_EQ(type, FourCC("JPEG"));
    CloseComponent(ci);
    EXPECT_EQ(GraphicsExportSetDepth(ci, 24), badComponentInstance);
    DisposeHandle(out);

    // The exporters as a list.
    ComponentDescription look{GraphicsExporterComponentType, 0, 0, 0, 4096};
    std::vector<OSType> found;
    for (Component c = FindNextComponent(0, &look); c; c = FindNextComponent(c, &look)) {
        ComponentDescription d;
        GetComponentInfo(c, &d);
        found.push_back(d.componentSubType);
    }
    EXPECT_EQ(found, (std::vector<OSType>{FourCC("TIFF"), FourCC("JPEG"), FourCC("PNGf"), FourCC("BMPf")}));
}

TEST(Exporter, WritesToAFile) {
    Frame f(9, 9);
    ComponentInstance ci;
    OpenADefaultComponent(GraphicsExporterComponentType, FourCC("BMPf"), &ci);
    FSSpec spec{};
    std::snprintf(spec.path, sizeof spec.path, "/tmp/imgtest-%d.bmp", int(getpid()));
    ASSERT_EQ(GraphicsExportSetOutputFile(ci, &spec), noErr);
    GraphicsExportSetInputGWorld(ci, f.world);
    uint32_t n = 0;
    ASSERT_EQ(GraphicsExportDoExport(ci, &n), noErr);
    EXPECT_EQ(n, 54u + 28 * 9);
    FILE *file = std::fopen(spec.path, "rb");
    ASSERT_NE(file, nullptr);
    std::fseek(file, 0, SEEK_END);
    EXPECT_EQ(std::ftell(file), long(n));
    std::fclose(file);
    std::remove(spec.path);
    std::snprintf(spec.path, sizeof spec.path, "/nonexistent/dir/x.bmp");
    GraphicsExportSetOutputFile(ci, &spec);
    EXPECT_EQ(GraphicsExportDoExport(ci, &n), fnfErr);
    CloseComponent(ci);
}

// The bytes of a full-size frame in the formats whose writers are the
// program's own (the TIFF file the frames are saved as, which stored files
// and their readers rely on, and BMP), as they were written before the
// output buffers were sized up front: how the buffer is grown must never
// show in what is written. The tags of each TIFF are checked by name too.
TEST(ExportBytes, FullFrameIsByteForByteAsBefore) {
    Frame colour(720, 480), alpha(720, 480, 32);
    alpha.pm.baseAddr[0] = 0x10;  // alpha that carries something: four samples
    struct Case {
        const char *name;
        const char (&type)[5];
        const Frame &frame;
        int32_t method;
        size_t size;
        uint64_t print;
    } cases[] = {
        {"TIFF", "TIFF", colour, 0, 1037964, 0xe1eebd361910747eull},
        {"TIFF alpha", "TIFF", alpha, 0, 1384058, 0x5ab2cbf2a924cd9dull},
        {"TIFF LZW", "TIFF", colour, 5, 1047412, 0x38b71bbeeb1c5431ull},
        {"BMP", "BMPf", colour, 0, 1036854, 0x479e7fa46d3da960ull},
    };
    for (const Case &c : cases) {
        Exporter ex(c.type);
        if (c.method) {
            ASSERT_EQ(GraphicsExportSetCompressionMethod(ex.ci, c.method), noErr) << c.name;
        }
        ASSERT_EQ(ex.run(c.frame.world), noErr) << c.name;
        std::vector<uint8_t> bytes = ex.bytes();
        EXPECT_EQ(bytes.size(), c.size) << c.name;
        EXPECT_EQ(testsupport::fingerprint({reinterpret_cast<const char *>(bytes.data()), bytes.size()}), c.print)
            << c.name;
        if (std::string(c.type) != "TIFF") continue;
        TiffTags tags = tiffTags(bytes);
        EXPECT_EQ(tags.width, 720u) << c.name;
        EXPECT_EQ(tags.height, 480u) << c.name;
        EXPECT_EQ(tags.bitsPerSample, 8) << c.name;
        EXPECT_EQ(tags.samplesPerPixel, &c.frame == &alpha ? 4 : 3) << c.name;
        EXPECT_EQ(tags.extraSamples,
                  &c.frame == &alpha ? std::vector<uint16_t>{EXTRASAMPLE_UNASSALPHA} : std::vector<uint16_t>{})
            << c.name;
        EXPECT_EQ(tags.photometric, PHOTOMETRIC_RGB) << c.name;
        EXPECT_EQ(tags.compression, c.method ? COMPRESSION_LZW : COMPRESSION_NONE) << c.name;
        EXPECT_EQ(tags.planar, PLANARCONFIG_CONTIG) << c.name;
        EXPECT_EQ(tags.orientation, ORIENTATION_TOPLEFT) << c.name;
    }
}

// PNG and JPEG come from libpng and libjpeg, whose bytes may change with
// their versions: what counts is the picture they decode back to, PNG's
// exactly, JPEG's within what its compression loses.
TEST(ExportBytes, PngAndJpegDecodeBackToTheFrame) {
    Frame colour(720, 480);
    auto exported = [&](const char(&type)[5]) {
        Exporter ex(type);
        EXPECT_EQ(ex.run(colour.world), noErr) << type;
        return ex.bytes();
    };
    Rgb png = decodePng(exported("PNGf"));
    ASSERT_EQ(png.width, 720u);
    ASSERT_EQ(png.height, 480u);
    EXPECT_EQ(png.pixels, rgbOf(colour));
    Rgb jpeg = decodeJpeg(exported("JPEG"));
    ASSERT_EQ(jpeg.width, 720u);
    ASSERT_EQ(jpeg.height, 480u);
    std::vector<uint8_t> want = rgbOf(colour);
    ASSERT_EQ(jpeg.pixels.size(), want.size());
    double squared = 0;
    for (size_t i = 0; i < want.size(); ++i) squared += std::pow(double(jpeg.pixels[i]) - double(want[i]), 2);
    double psnr = 10 * std::log10(255.0 * 255.0 / (squared / double(want.size())));
    EXPECT_GT(psnr, kJpegMinPsnr) << "JPEG decodes to a picture " << psnr << " dB from the frame";
}

// Output memory is recycled from one export to the next: what an export
// gives must be its own bytes whatever was exported before, in any format,
// larger or smaller, and a stale tail of an earlier frame must never show.
TEST(ExportBytes, DoNotDependOnEarlierExports) {
    Frame small(64, 48), big(720, 480), alpha(300, 200, 32);
    alpha.pm.baseAddr[0] = 0x10;
    auto once = [](const char(&type)[5], const Frame &f) {
        Exporter ex(type);
        EXPECT_EQ(ex.run(f.world), noErr);
        return ex.bytes();
    };
    const std::vector<uint8_t> tiffSmall = once("TIFF", small), pngSmall = once("PNGf", small),
                               jpegSmall = once("JPEG", small), bmpSmall = once("BMPf", small);
    for (const Frame *before : {&big, &alpha, &small}) {
        once("TIFF", *before), once("BMPf", *before), once("JPEG", *before), once("PNGf", *before);
        EXPECT_EQ(once("TIFF", small), tiffSmall);
        EXPECT_EQ(once("PNGf", small), pngSmall);
        EXPECT_EQ(once("JPEG", small), jpegSmall);
        EXPECT_EQ(once("BMPf", small), bmpSmall);
    }
    // Two exports alive at once each keep their own bytes.
    Exporter a("TIFF"), b("TIFF");
    ASSERT_EQ(a.run(big.world), noErr);
    ASSERT_EQ(b.run(small.world), noErr);
    EXPECT_EQ(b.bytes(), tiffSmall);
    EXPECT_EQ(a.bytes().size(), 1037964u);
}

// The output handle takes the encoded bytes. A locked handle keeps its
// memory where it is: it takes bytes of its own size in place, and any
// other size fails with nothing changed, as growing a locked block does.
TEST(ExportBytes, LockedOutputHandleStaysPut) {
    Frame f(16, 16);
    Exporter probe("TIFF");
    ASSERT_EQ(probe.run(f.world), noErr);
    const std::vector<uint8_t> expected = probe.bytes();

    Exporter fits("TIFF");
    ASSERT_EQ(SetHandleSize(fits.out, expected.size()), noErr);
    HLock(fits.out);
    uint8_t *where = HandleData(fits.out);
    EXPECT_EQ(fits.run(f.world), noErr);
    EXPECT_EQ(HandleData(fits.out), where);
    EXPECT_EQ(fits.bytes(), expected);
    HUnlock(fits.out);

    Exporter wrong("TIFF");
    ASSERT_EQ(SetHandleSize(wrong.out, 10), noErr);
    std::memcpy(HandleData(wrong.out), "untouched!", 10);
    HLock(wrong.out);
    EXPECT_EQ(wrong.run(f.world), memFullErr);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(HandleData(wrong.out)), 10), "untouched!");
    HUnlock(wrong.out);

    // Unlocked, the same handle simply takes them.
    EXPECT_EQ(wrong.run(f.world), noErr);
    EXPECT_EQ(wrong.bytes(), expected);
}
