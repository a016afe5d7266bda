// Image bombs: a few bytes that claim a huge image, or chunks and tables
// far larger than the file. Each is refused with the importer's usual error
// before the memory is taken: at 16384 on a side by the size limit, at 16000
// because the data cannot hold so many pixels, a chunk because it claims
// more bytes than are left, a TIFF page because its pixels' samples pass the
// size limit or what its stored bytes can decode to, because a strip or tile
// holds more than the pixels drawn from it need, or because libtiff has no
// codec for it. Text that inflates is capped, so no file under a megabyte
// makes the importer take more than 64 MiB besides its pixels.
#include "forged_tiff.h"
#include "imaging/importer.h"
#include "small_world_import.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <ostream>
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
    SmallWorldImport im(bytes);
    uint32_t count = 1;
    GraphicsImportGetImageCount(im.ci, &count);
    ComponentResult err = noErr;
    for (uint32_t page = 1; page <= count; ++page) {
        GraphicsImportSetImageIndex(im.ci, page);
        UserData meta = nullptr;
        NewUserData(&meta);
        GraphicsImportGetMetaData(im.ci, meta);
        DisposeUserData(meta);
        ComponentResult drawn = im.draw();
        if (!err) err = drawn;
    }
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

// ---- TIFF pages forged here ---------------------------------------------------------

// One row of 32768 pixels of `samples` 8-bit samples each, in one strip
// stored as `stored`: libtiff would hold the whole strip, decoded, to draw
// 128 KiB of pixels from it.
std::vector<uint8_t> rowOfSamples(uint16_t samples, uint16_t compression, std::vector<uint8_t> stored) {
    forged::Page page;
    page.width = 32768, page.samples = samples, page.compression = compression;
    page.blocks = {std::move(stored)};
    return forged::tiffOf(page);
}

// A stream of a megabyte of zeros, padded with noise to `size` bytes.
std::vector<uint8_t> zerosThenNoise(uint16_t compression, size_t size) {
    std::vector<uint8_t> z = forged::zerosStoredAs(compression, 1 << 20);
    return forged::joined(z, forged::noise(size - std::min(size, z.size())));
}

struct Forged {
    const char *name;
    std::vector<uint8_t> (*make)();
};
void PrintTo(const Forged &f, std::ostream *os) { *os << f.name; }

// Pages whose one strip of a few kilobytes claims hundreds of megabytes:
// each is an error, and costs next to nothing.
class ForgedTiff : public ::testing::TestWithParam<Forged> {};

TEST_P(ForgedTiff, IsAnErrorThatTakesLittle) {
    std::vector<uint8_t> file = GetParam().make();
    long base = baselineMiB();
    auto [peakMiB, err] = peakOfDrawing(file);
    EXPECT_EQ(err, codecErr);
    EXPECT_LT(peakMiB - base, kAllowanceMiB) << GetParam().name << " took " << peakMiB - base << " MiB";
    RecordProperty("fileBytes", int(file.size()));
    RecordProperty("peakMiB", int(peakMiB - base));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ForgedTiff,
    ::testing::Values(
        // An 8 KB strip for 8192 samples a pixel: 256 MiB decoded.
        Forged{"lzma-8192-samples",
               [] { return rowOfSamples(8192, COMPRESSION_LZMA, zerosThenNoise(COMPRESSION_LZMA, 8 << 10)); }},
        // A 32 KB strip for 32768 samples a pixel: 1 GiB decoded.
        Forged{"lzma-32768-samples",
               [] { return rowOfSamples(32768, COMPRESSION_LZMA, zerosThenNoise(COMPRESSION_LZMA, 32 << 10)); }},
        Forged{"zstd-32768-samples",
               [] { return rowOfSamples(32768, COMPRESSION_ZSTD, zerosThenNoise(COMPRESSION_ZSTD, 32 << 10)); }},
        // 131 KB of Deflate that really decodes to its 137 MiB strip.
        Forged{"deflate-4400-samples",
               [] {
                   return rowOfSamples(4400, COMPRESSION_ADOBE_DEFLATE,
                                       forged::zerosStoredAs(COMPRESSION_ADOBE_DEFLATE, uint64_t(32768) * 4400));
               }}),
    [](const ::testing::TestParamInfo<Forged> &param) {
        std::string name = param.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

// A page libtiff has no codec for is refused before anything is taken:
// otherwise its pixels (256 MiB) and its strip (192 MiB) would be, and only
// then would the strip fail to decode.
TEST(ForgedTiffCodec, UnknownToLibtiffTakesNothing) {
    forged::Page page;
    page.width = 8192, page.height = 8192, page.samples = 3, page.photometric = PHOTOMETRIC_RGB;
    page.compression = 40123;
    page.blocks = {forged::noise(8 << 10)};
    std::vector<uint8_t> file = forged::tiffOf(page);
    long base = baselineMiB();
    auto [peakMiB, err] = peakOfDrawing(file);
    EXPECT_EQ(err, codecErr);
    EXPECT_LT(peakMiB - base, kAllowanceMiB) << "took " << peakMiB - base << " MiB";
}

// Tiles of 16x16 pixels, each of 16 MiB of samples (65535 a pixel), that
// really decode: each tile is within what any block may take, and the
// Deflate ratio would let its 1.3 MB of data decode to 1.3 GB, but the page's
// samples are past the size limit. Drawn, it would take seconds of decoding.
TEST(ForgedTiffTiles, AllTilesTogetherAreHeldToTheSizeLimit) {
    forged::Page page;
    page.width = 16, page.height = 16 * 80, page.tileWidth = 16, page.tileLength = 16;
    page.samples = 65535, page.compression = COMPRESSION_ADOBE_DEFLATE;
    page.blocks = {forged::zerosStoredAs(COMPRESSION_ADOBE_DEFLATE, uint64_t(16) * 16 * 65535)};
    std::vector<uint8_t> file = forged::tiffOf(page);
    ASSERT_LT(file.size(), size_t(2) << 20);
    EXPECT_EQ(drawBomb(file), codecErr);
}

// 64 such tiles, a gigabyte of samples within the size limit, that all share
// one tile's 16 KB: what the page stores is its 150 KB file, not 64 times the
// stream, and too little for a gigabyte of Deflate.
TEST(ForgedTiffTiles, TilesSharingOneStreamAreHeldToWhatTheFileStores) {
    forged::Page page;
    page.width = 16, page.height = 16 * 64, page.tileWidth = 16, page.tileLength = 16;
    page.samples = 65535, page.compression = COMPRESSION_ADOBE_DEFLATE;
    page.blocks = {forged::zerosStoredAs(COMPRESSION_ADOBE_DEFLATE, uint64_t(16) * 16 * 65535), {0}};
    std::vector<uint8_t> file = forged::sharingFirstBlock(forged::tiffOf(page));
    ASSERT_LT(file.size(), size_t(160) << 10);
    EXPECT_EQ(drawBomb(file), codecErr);
}

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
