// Image bombs: a few bytes that claim a huge image, or chunks and tables
// far larger than the file. Each is refused with the importer's usual error
// before the memory is taken: at 16384 on a side by the size limit, at 16000
// because the data cannot hold so many pixels, a chunk because it claims
// more bytes than are left, a TIFF page because its pixels' samples pass the
// size limit or what its stored bytes can decode to. Text that inflates is
// capped, so no file under a megabyte makes the importer take more than
// 64 MiB besides its pixels.
#include "imaging/importer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace imaging;

namespace {

const std::string kBombs = TEST_BOMB_DIR;

// What a small file may make the importer take besides its pixels. Under
// AddressSanitizer, which keeps freed blocks in quarantine (up to 256 MiB)
// and pads every block, the figure only has to stay far below the
// gigabytes a bomb asks for.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kAllowanceMiB = 320;
#else
constexpr long kAllowanceMiB = 64;
#endif

std::vector<uint8_t> fileBytes(const std::string &name) {
    std::ifstream in(kBombs + "/" + name, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

Handle fileHandle(const std::string &name) {
    std::vector<uint8_t> bytes = fileBytes(name);
    Handle h = nullptr;
    EXPECT_EQ(PtrToHand(bytes.data(), &h, bytes.size()), noErr);
    return h;
}

// Opens the bomb and draws each of its pages into a small world, as the
// plug-in does, after asking for its metadata. The first page's error that
// is not noErr is answered.
ComponentResult drawBomb(const std::vector<uint8_t> &bytes) {
    Handle data = nullptr;
    EXPECT_EQ(PtrToHand(bytes.data(), &data, bytes.size()), noErr);
    ComponentInstance ci = 0;
    EXPECT_EQ(OpenADefaultComponent(GraphicsImporterComponentType, 0, &ci), noErr);
    EXPECT_EQ(GraphicsImportSetDataHandle(ci, data), noErr);
    Rect bounds{0, 0, 16, 16};
    GWorldRef world = 0;
    EXPECT_EQ(NewGWorld(&world, 32, &bounds, 0), noErr);
    uint32_t count = 1;
    GraphicsImportGetImageCount(ci, &count);
    ComponentResult err = noErr;
    for (uint32_t page = 1; page <= count; ++page) {
        GraphicsImportSetImageIndex(ci, page);
        UserData meta = nullptr;
        NewUserData(&meta);
        GraphicsImportGetMetaData(ci, meta);
        DisposeUserData(meta);
        GraphicsImportSetGWorld(ci, world);
        GraphicsImportSetBoundsRect(ci, &bounds);
        ComponentResult drawn = GraphicsImportDraw(ci);
        if (!err) err = drawn;
    }
    CloseComponent(ci);
    DisposeGWorld(world);
    DisposeHandle(data);
    return err;
}

// Peak resident memory of a child that draws the bomb, in MiB, and its error.
// A sanitizer report in the child fails the test.
std::pair<long, ComponentResult> peakOfDrawing(const std::vector<uint8_t> &bytes) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
        ComponentResult err = drawBomb(bytes);
        (void)!write(fds[1], &err, sizeof err);
        _exit(0);
    }
    close(fds[1]);
    ComponentResult err = 1;
    EXPECT_EQ(read(fds[0], &err, sizeof err), ssize_t(sizeof err));
    close(fds[0]);
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return {ru.ru_maxrss / 1024, err};
}
std::pair<long, ComponentResult> peakOfDrawing(const std::string &name) { return peakOfDrawing(fileBytes(name)); }

// What a child takes that draws nothing (empty data is refused at once): the
// test process it was forked from.
long baselineMiB() { return peakOfDrawing(std::vector<uint8_t>()).first; }

class Bomb : public ::testing::TestWithParam<const char *> {};

TEST_P(Bomb, IsRefusedBeforeItsPixelsAreTaken) {
    auto [peakMiB, err] = peakOfDrawing(GetParam());
    EXPECT_EQ(err, codecErr);
    // The pixels claimed are a gigabyte; refusing them costs next to nothing.
    EXPECT_LT(peakMiB, 200) << GetParam();
}

TEST_P(Bomb, NaturalBoundsAreAnsweredOrRefusedWithoutDecoding) {
    Handle data = fileHandle(GetParam());
    ComponentInstance ci = 0;
    ASSERT_EQ(OpenADefaultComponent(GraphicsImporterComponentType, 0, &ci), noErr);
    GraphicsImportSetDataHandle(ci, data);
    Rect r{};
    ComponentResult err = GraphicsImportGetNaturalBounds(ci, &r);
    if (std::string(GetParam()).find("16000") != std::string::npos) {
        EXPECT_EQ(err, noErr);  // the header alone is sound
        EXPECT_EQ(RectWidth(r), 16000);
    } else {
        EXPECT_EQ(err, codecErr);  // beyond the one size limit
    }
    CloseComponent(ci);
    DisposeHandle(data);
}

INSTANTIATE_TEST_SUITE_P(Files, Bomb,
                         ::testing::Values("bomb.png", "bomb.tif", "bomb.jpg", "bomb-16000.png", "bomb-16000.tif",
                                           "bomb-16000.jpg"));

// Small files whose chunks or tables claim far more than they hold.
class Claim : public ::testing::TestWithParam<const char *> {};

TEST_P(Claim, IsRefusedWithoutTakingWhatItClaims) {
    long base = baselineMiB();
    auto [peakMiB, err] = peakOfDrawing(GetParam());
    EXPECT_EQ(err, codecErr);
    EXPECT_LT(peakMiB - base, kAllowanceMiB) << GetParam() << " took " << peakMiB << " MiB";
}

INSTANTIATE_TEST_SUITE_P(Files, Claim,
                         ::testing::Values("text-claims-2gb.png",  // 57 bytes: a tEXt chunk claiming 2 GB
                                           "itxt-claims-2gb.png", "splt-claims-2gb.png",
                                           // Tiles with a RowsPerStrip tag that counts more strips than
                                           // there are tiles: the size guard read past the tile tables.
                                           "tiled-more-strips-than-tiles.tif",
                                           // 313 bytes whose second page has 3 by 23809 pixels of 64000
                                           // samples each, in a compression libtiff does not know: one
                                           // strip of 4.57 GB.
                                           "samples-claim-4gb.tif",
                                           // The same page in LZMA, which libtiff decodes: the
                                           // samples claimed are too many for any page.
                                           "lzma-samples-claim-4gb.tif",
                                           // 1542 samples a pixel, 110 MB in all, within the size
                                           // limit but from one stored byte of LZMA.
                                           "lzma-samples-claim-110mb.tif"));

// A PNG just under a megabyte of a thousand compressed text chunks, each
// inflating to just under the megabyte libpng may take for one chunk (it
// keeps only the first few): the image opens, and what the texts take stays
// within 64 MiB.
std::vector<uint8_t> pngOfInflatingTexts(const char *type) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&](const char *name, const std::vector<uint8_t> &data) {
        for (int s = 24; s >= 0; s -= 8) png.push_back(uint8_t(data.size() >> s));
        size_t start = png.size();
        png.insert(png.end(), name, name + 4);
        png.insert(png.end(), data.begin(), data.end());
        uLong crc = crc32(0, png.data() + start, uInt(png.size() - start));
        for (int s = 24; s >= 0; s -= 8) png.push_back(uint8_t(crc >> s));
    };
    auto deflated = [](const std::vector<uint8_t> &raw) {
        std::vector<uint8_t> z(compressBound(uLong(raw.size())));
        uLongf n = uLongf(z.size());
        compress2(z.data(), &n, raw.data(), uLong(raw.size()), 9);
        z.resize(n);
        return z;
    };
    chunk("IHDR", {0, 0, 0, 1, 0, 0, 0, 1, 8, 0, 0, 0, 0});
    std::vector<uint8_t> text = {'T', 'i', 't', 'l', 'e', 0, 0};                       // zTXt: key, compression
    if (std::string(type) == "iTXt") text = {'T', 'i', 't', 'l', 'e', 0, 1, 0, 0, 0};  // and language, keyword
    std::vector<uint8_t> z = deflated(std::vector<uint8_t>(1000000, 'A'));
    text.insert(text.end(), z.begin(), z.end());
    while (png.size() + text.size() + 12 < (size_t(1) << 20) - 64) chunk(type, text);
    chunk("IDAT", deflated({0, 0x80}));
    chunk("IEND", {});
    return png;
}

TEST(InflatingText, AMegabyteFileStaysWithin64MiB) {
    long base = baselineMiB();
    for (const char *type : {"zTXt", "iTXt"}) {
        std::vector<uint8_t> png = pngOfInflatingTexts(type);
        ASSERT_LT(png.size(), size_t(1) << 20);
        auto [peakMiB, err] = peakOfDrawing(png);
        EXPECT_EQ(err, noErr) << type << ": the image itself is sound";
        EXPECT_LT(peakMiB - base, kAllowanceMiB) << type << " took " << peakMiB << " MiB";
    }
}

}  // namespace
