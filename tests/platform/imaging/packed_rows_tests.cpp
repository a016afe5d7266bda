// Worlds over packed R G B rows: made without a copy, read everywhere an
// A R G B world is read (exports, compression, copies), never drawn into, and
// exported byte for byte as the A R G B world of the same pixels.
#include "imaging/imaging.h"
#include "imaging/importer.h"

#include "fingerprint.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

using namespace imaging;

namespace {

// The same pixels twice: packed rows (with `pad` spare bytes after each
// row) under a world over them, and an A R G B world.
struct Pair {
    int32_t w, h;
    std::vector<uint8_t> rows;
    GWorldRef packed = 0, argb = 0;
    Pair(int32_t width, int32_t height, int32_t pad = 0) : w(width), h(height) {
        const int32_t rowBytes = w * 3 + pad;
        rows.assign(size_t(rowBytes) * size_t(h), 0xEE);  // padding that must never show
        Rect r{0, 0, h, w};
        EXPECT_EQ(NewGWorld(&argb, 24, &r, 0), noErr);
        PixMapInfo pm{};
        GetGWorldPixMap(argb, &pm);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const uint8_t c[3] = {uint8_t(x * 3 + y), uint8_t(y * 5), uint8_t(x ^ y)};
                std::memcpy(&rows[size_t(y) * size_t(rowBytes) + size_t(x) * 3], c, 3);
                uint8_t *p = pm.baseAddr + size_t(y) * size_t(pm.rowBytes) + size_t(x) * 4;
                p[0] = 0xFF, p[1] = c[0], p[2] = c[1], p[3] = c[2];
            }
        EXPECT_EQ(NewGWorldFromPtr(&packed, k24RGBPixelFormat, &r, rows.data(), rowBytes), noErr);
    }
    ~Pair() {
        DisposeGWorld(packed);
        DisposeGWorld(argb);
    }
};

struct Export {
    OSErr err = noErr;
    std::vector<uint8_t> bytes;
    std::vector<Fixed> progress;
};

OSErr logProgress(int16_t message, Fixed done, void *ref) {
    if (message == codecProgressUpdatePercent) static_cast<std::vector<Fixed> *>(ref)->push_back(done);
    return noErr;
}

// One export of `world` with the given settings (0: left as they are).
Export exportOf(GWorldRef world, OSType type, int32_t depth = 0, int32_t method = 0) {
    Export e;
    ComponentInstance ci = 0;
    EXPECT_EQ(OpenADefaultComponent(GraphicsExporterComponentType, type, &ci), noErr);
    Handle out = NewEmptyHandle();
    GraphicsExportSetOutputHandle(ci, out);
    if (depth) {
        EXPECT_EQ(GraphicsExportSetDepth(ci, depth), noErr);
    }
    if (method) {
        EXPECT_EQ(GraphicsExportSetCompressionMethod(ci, method), noErr);
    }
    ICMProgressProcRecord rec{logProgress, &e.progress};
    GraphicsExportSetProgressProc(ci, &rec);
    GraphicsExportSetInputGWorld(ci, world);
    uint32_t n = 0;
    e.err = OSErr(GraphicsExportDoExport(ci, &n));
    if (HandleData(out)) e.bytes.assign(HandleData(out), HandleData(out) + GetHandleSize(out));
    EXPECT_EQ(n, e.bytes.size());
    CloseComponent(ci);
    DisposeHandle(out);
    return e;
}

}  // namespace

TEST(PackedRows, AWorldIsMadeOnlyOverSoundRows) {
    std::vector<uint8_t> rows(64 * 3 * 4);
    Rect r{0, 0, 4, 64};
    GWorldRef w = 7;
    EXPECT_EQ(NewGWorldFromPtr(&w, k32ARGBPixelFormat, &r, rows.data(), 64 * 4), paramErr) << "packed RGB only";
    EXPECT_EQ(w, 0u);
    EXPECT_EQ(NewGWorldFromPtr(&w, k24RGBPixelFormat, &r, nullptr, 64 * 3), paramErr);
    EXPECT_EQ(NewGWorldFromPtr(&w, k24RGBPixelFormat, &r, rows.data(), 64 * 3 - 1), paramErr) << "rows too short";
    const Rect empty{0, 0, 0, 64}, tooWide{0, 0, 1, kMaxImageSide + 1};
    EXPECT_EQ(NewGWorldFromPtr(&w, k24RGBPixelFormat, &empty, rows.data(), 64 * 3), paramErr);
    EXPECT_EQ(NewGWorldFromPtr(&w, k24RGBPixelFormat, &tooWide, rows.data(), INT32_MAX), paramErr);
    EXPECT_EQ(NewGWorldFromPtr(nullptr, k24RGBPixelFormat, &r, rows.data(), 64 * 3), paramErr);

    ASSERT_EQ(NewGWorldFromPtr(&w, k24RGBPixelFormat, &r, rows.data(), 64 * 3), noErr);
    PixMapInfo pm{};
    ASSERT_TRUE(GetGWorldPixMap(w, &pm));
    EXPECT_EQ(pm.baseAddr, rows.data()) << "the rows themselves, not a copy";
    EXPECT_EQ(pm.rowBytes, 64 * 3);
    EXPECT_EQ(pm.depth, 24);
    EXPECT_EQ(pm.pixelSize, 24);
    DisposeGWorld(w);  // the rows are the caller's: not freed (the sanitizers would say)
    EXPECT_FALSE(GWorldExists(w));
    rows[0] = 1;

    GWorldRef plain = 0;
    ASSERT_EQ(NewGWorld(&plain, 24, &r, 0), noErr);
    ASSERT_TRUE(GetGWorldPixMap(plain, &pm));
    EXPECT_EQ(pm.pixelSize, 32) << "every other world stays A R G B";
    DisposeGWorld(plain);
}

// Every format, depth and method gives the same bytes and the same progress
// from packed rows as from the A R G B world, for a height that does not
// fill the last strip and for rows with padding.
TEST(PackedRows, ExportAsTheARGBWorldOfTheSamePixels) {
    struct Case {
        OSType type;
        int32_t depth, method;
    } cases[] = {
        {FourCC("TIFF"), 0, 0},  {FourCC("TIFF"), 0, 5}, {FourCC("TIFF"), 0, 32773}, {FourCC("TIFF"), 8, 0},
        {FourCC("TIFF"), 32, 0}, {FourCC("PNGf"), 0, 0}, {FourCC("PNGf"), 32, 0},    {FourCC("JPEG"), 0, 0},
        {FourCC("JPEG"), 8, 0},  {FourCC("BMPf"), 0, 0}, {FourCC("BMPf"), 8, 0},     {FourCC("BMPf"), 32, 0},
    };
    for (auto [w, h, pad] : {std::tuple{720, 480, 0}, {37, 101, 0}, {37, 101, 5}, {1, 1, 0}}) {
        Pair p(w, h, pad);
        for (const Case &c : cases) {
            Export a = exportOf(p.argb, c.type, c.depth, c.method), b = exportOf(p.packed, c.type, c.depth, c.method);
            const std::string what = std::to_string(w) + "x" + std::to_string(h) + "+" + std::to_string(pad) + " " +
                                     std::to_string(c.type) + " depth " + std::to_string(c.depth) + " method " +
                                     std::to_string(c.method);
            ASSERT_EQ(a.err, noErr) << what;
            EXPECT_EQ(b.err, noErr) << what;
            EXPECT_FALSE(a.bytes.empty()) << what;
            EXPECT_TRUE(a.bytes == b.bytes) << what;
            EXPECT_EQ(a.progress, b.progress) << what;
        }
    }
    // The full frame as the exporter tests pin it.
    Pair frame(720, 480);
    Export tiff = exportOf(frame.packed, FourCC("TIFF"));
    EXPECT_EQ(tiff.bytes.size(), 1037964u);
    EXPECT_EQ(testsupport::fingerprint({reinterpret_cast<const char *>(tiff.bytes.data()), tiff.bytes.size()}),
              0xe1eebd361910747eull);
}

// The PNG suite's images (sizes and colours nobody here chose), their colour
// as packed rows and as an opaque A R G B world: the same bytes in every
// format.
TEST(PackedRows, ExportThePNGSuiteAsTheARGBWorlds) {
    int images = 0;
    for (const auto &entry : std::filesystem::directory_iterator(std::string(TEST_IMAGING_DIR) + "/pngsuite")) {
        if (entry.path().extension() != ".png") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Handle data = nullptr;
        ASSERT_EQ(PtrToHand(bytes.data(), &data, bytes.size()), noErr);
        ComponentInstance im = 0;
        OpenADefaultComponent(GraphicsImporterComponentType, 0, &im);
        GraphicsImportSetDataHandle(im, data);
        PicHandle pic = nullptr;
        int32_t w = 0, h = 0;
        if (GraphicsImportGetAsPicture(im, &pic) == noErr && GetPictureInfo(pic, &w, &h, nullptr)) {
            ++images;
            std::vector<uint8_t> rgb(size_t(w) * size_t(h) * 3);
            Rect r{0, 0, h, w};
            GWorldRef argb = 0, packed = 0;
            ASSERT_EQ(NewGWorld(&argb, 24, &r, 0), noErr);
            PixMapInfo pm{};
            GetGWorldPixMap(argb, &pm);
            const uint8_t *p = PicturePixels(pic);
            for (int32_t y = 0; y < h; ++y)
                for (int32_t x = 0; x < w; ++x, p += 4) {
                    std::memcpy(&rgb[(size_t(y) * size_t(w) + size_t(x)) * 3], p + 1, 3);
                    uint8_t *q = pm.baseAddr + size_t(y) * size_t(pm.rowBytes) + size_t(x) * 4;
                    q[0] = 0xFF, q[1] = p[1], q[2] = p[2], q[3] = p[3];
                }
            ASSERT_EQ(NewGWorldFromPtr(&packed, k24RGBPixelFormat, &r, rgb.data(), w * 3), noErr);
            for (OSType type : {FourCC("TIFF"), FourCC("PNGf"), FourCC("JPEG"), FourCC("BMPf")}) {
                Export a = exportOf(argb, type), b = exportOf(packed, type);
                EXPECT_EQ(a.err, noErr) << entry.path();
                EXPECT_TRUE(a.bytes == b.bytes) << entry.path() << " " << type;
            }
            DisposeGWorld(packed);
            DisposeGWorld(argb);
        }
        DisposeHandle(pic);
        CloseComponent(im);
        DisposeHandle(data);
    }
    EXPECT_GE(images, 50);
}

TEST(PackedRows, AreReadAsOpaquePixelsAndNeverDrawnInto) {
    Pair p(5, 3, 2);
    // Copied into an A R G B world: opaque, at the place asked for.
    Rect big{0, 0, 4, 7};
    GWorldRef dst = 0;
    ASSERT_EQ(NewGWorld(&dst, 32, &big, 0), noErr);
    ASSERT_EQ(CopyWorld(p.packed, dst, 1, 1), noErr);
    PixMapInfo d{}, a{};
    GetGWorldPixMap(dst, &d);
    GetGWorldPixMap(p.argb, &a);
    for (int32_t y = 0; y < 3; ++y)
        EXPECT_EQ(std::memcmp(d.baseAddr + size_t(y + 1) * d.rowBytes + 4, a.baseAddr + size_t(y) * a.rowBytes, 5 * 4),
                  0);
    EXPECT_EQ(d.baseAddr[0], 0xFF) << "outside: untouched white";

    // As a picture handle: the A R G B pixels.
    PicHandle pic = PictureFromGWorld(p.packed);
    int32_t pw = 0, ph = 0;
    int16_t pd = 0;
    ASSERT_TRUE(GetPictureInfo(pic, &pw, &ph, &pd));
    EXPECT_EQ(pw, 5);
    EXPECT_EQ(ph, 3);
    EXPECT_EQ(pd, 24);
    EXPECT_EQ(std::memcmp(PicturePixels(pic), a.baseAddr, 5 * 4 * 3), 0);

    // Nothing draws into them: the rows stay as they were.
    const std::vector<uint8_t> before = p.rows;
    EXPECT_EQ(CopyWorld(dst, p.packed, 0, 0), paramErr);
    EXPECT_EQ(DrawPicture(pic, p.packed), paramErr);
    Handle tiff = NewEmptyHandle();
    ComponentInstance ex = 0;
    OpenADefaultComponent(GraphicsExporterComponentType, FourCC("TIFF"), &ex);
    GraphicsExportSetOutputHandle(ex, tiff);
    GraphicsExportSetInputGWorld(ex, dst);
    uint32_t n = 0;
    ASSERT_EQ(GraphicsExportDoExport(ex, &n), noErr);
    ComponentInstance im = 0;
    ASSERT_EQ(OpenADefaultComponent(GraphicsImporterComponentType, 0, &im), noErr);
    ASSERT_EQ(GraphicsImportSetDataHandle(im, tiff), noErr);
    ASSERT_EQ(GraphicsImportSetGWorld(im, p.packed), noErr);
    EXPECT_EQ(GraphicsImportDraw(im), paramErr);
    EXPECT_EQ(p.rows, before);
    CloseComponent(im);
    CloseComponent(ex);
    DisposeHandle(tiff);
    DisposeHandle(pic);
    DisposeGWorld(dst);
}

TEST(PackedRows, CompressAsTheARGBWorld) {
    Pair p(33, 17, 3);
    PixMapInfo packed{}, argb{};
    GetGWorldPixMap(p.packed, &packed);
    GetGWorldPixMap(p.argb, &argb);
    const Rect part{2, 3, 15, 30};
    for (OSType codec : {FourCC("tiff"), FourCC("png "), FourCC("jpeg"), FourCC("raw ")}) {
        std::vector<uint8_t> out[2];
        int32_t dataSize[2] = {};
        const PixMapInfo *src[2] = {&argb, &packed};
        for (int i = 0; i < 2; ++i) {
            int32_t max = 0;
            ASSERT_EQ(GetMaxCompressionSize(src[i], &part, 24, codecNormalQuality, codec, anyCodec, &max), noErr);
            out[i].assign(size_t(max), 0);
            Handle desc = NewHandle(0);
            ASSERT_EQ(CompressImage(src[i], &part, codecNormalQuality, codec, desc, out[i].data(), out[i].size()),
                      noErr);
            ImageDescription d;
            std::memcpy(&d, HandleData(desc), sizeof d);
            dataSize[i] = d.dataSize;
            DisposeHandle(desc);
        }
        EXPECT_EQ(dataSize[0], dataSize[1]) << codec;
        EXPECT_TRUE(std::equal(out[0].begin(), out[0].begin() + dataSize[0], out[1].begin())) << codec;
    }
}

TEST(PixelRows, ConvertBetweenTheFormatsWorldsStore) {
    // Widths around the vector sizes, so that the loops' tails are covered.
    for (int32_t w : {1, 3, 15, 16, 17, 31, 32, 33, 64, 65, 720}) {
        std::vector<uint8_t> argb(size_t(w) * 4), rgb(size_t(w) * 3 + 1, 0x5A), back(size_t(w) * 4 + 1, 0x5A);
        for (size_t i = 0; i < argb.size(); ++i) argb[i] = uint8_t(i * 7 + 1);
        ConvertPixelRow(argb.data(), k32ARGBPixelFormat, rgb.data(), k24RGBPixelFormat, w);
        for (int32_t x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(rgb[size_t(x) * 3 + size_t(c)], argb[size_t(x) * 4 + size_t(c) + 1]) << w;
        EXPECT_EQ(rgb.back(), 0x5A) << "nothing past the row";
        ConvertPixelRow(rgb.data(), k24RGBPixelFormat, back.data(), k32ARGBPixelFormat, w);
        for (int32_t x = 0; x < w; ++x) {
            ASSERT_EQ(back[size_t(x) * 4], 0xFF) << w;
            ASSERT_EQ(std::memcmp(&back[size_t(x) * 4 + 1], &argb[size_t(x) * 4 + 1], 3), 0) << w;
        }
        EXPECT_EQ(back.back(), 0x5A);
        std::vector<uint8_t> same(size_t(w) * 3);
        ConvertPixelRow(rgb.data(), k24RGBPixelFormat, same.data(), k24RGBPixelFormat, w);
        EXPECT_TRUE(std::equal(same.begin(), same.end(), rgb.begin()));
    }
}
