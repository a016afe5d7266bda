// TIFF pages whose data is broken: the codec reports an error, or the data
// ends before the page's rows do. Each is an error and gives no picture, as
// a file cut short does; none is drawn as whatever came out of the codec.
// The same pages with their data whole are drawn.
#include "forged_tiff.h"
#include "imaging/importer.h"
#include "small_world_import.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace imaging;

namespace {

// A 256x256 RGB page, in one strip or in four 128x128 tiles.
constexpr uint32_t kSide = 256, kTile = 128;
constexpr uint64_t kStripBytes = uint64_t(kSide) * kSide * 3, kTileBytes = uint64_t(kTile) * kTile * 3;

std::vector<uint8_t> rgbPage(uint16_t compression, bool tiled, std::vector<uint8_t> stored) {
    forged::Page page;
    page.width = page.height = kSide;
    page.samples = 3, page.photometric = PHOTOMETRIC_RGB, page.compression = compression;
    if (tiled) page.tileWidth = page.tileLength = kTile;
    page.blocks = {std::move(stored)};
    return forged::tiffOf(page);
}

// What drawing the page into a small world answers, and whether it gave a
// picture.
struct Outcome {
    ComponentResult drawn = noErr, picture = noErr;
    bool hasPicture = false;
};

Outcome importOf(const std::vector<uint8_t> &bytes) {
    Outcome out;
    SmallWorldImport im(bytes);
    out.drawn = im.draw();
    PicHandle pic = nullptr;
    out.picture = GraphicsImportGetAsPicture(im.ci, &pic);
    out.hasPicture = pic != nullptr;
    DisposeHandle(pic);
    return out;
}

void expectError(const std::vector<uint8_t> &bytes) {
    Outcome o = importOf(bytes);
    EXPECT_EQ(o.drawn, codecErr);
    EXPECT_EQ(o.picture, codecErr);
    EXPECT_FALSE(o.hasPicture);
}

struct Codec {
    const char *name;
    uint16_t compression;
};
const Codec kCodecs[] = {{"LZMA", COMPRESSION_LZMA},
                         {"ZSTD", COMPRESSION_ZSTD},
                         {"Deflate", COMPRESSION_ADOBE_DEFLATE},
                         {"LZW", COMPRESSION_LZW},
                         {"PackBits", COMPRESSION_PACKBITS}};

TEST(BrokenTiffData, WholeStreamsAreDrawn) {
    for (const Codec &c : kCodecs) {
        SCOPED_TRACE(c.name);
        for (bool tiled : {false, true}) {
            Outcome o = importOf(
                rgbPage(c.compression, tiled, forged::zerosStoredAs(c.compression, tiled ? kTileBytes : kStripBytes)));
            EXPECT_EQ(o.drawn, noErr) << (tiled ? "tiles" : "strip");
            EXPECT_TRUE(o.hasPicture);
        }
    }
}

TEST(BrokenTiffData, AStreamEndingBeforeTheRowsIsAnError) {
    for (const Codec &c : kCodecs) {
        SCOPED_TRACE(c.name);
        for (bool tiled : {false, true}) {
            SCOPED_TRACE(tiled ? "tiles" : "strip");
            // A third of the rows, whole, then nothing.
            expectError(rgbPage(c.compression, tiled,
                                forged::zerosStoredAs(c.compression, (tiled ? kTileBytes : kStripBytes) / 3)));
        }
    }
    // Stored rows cut short: a strip that holds half the page.
    expectError(rgbPage(COMPRESSION_NONE, false, std::vector<uint8_t>(kStripBytes / 2)));
}

TEST(BrokenTiffData, NoiseAfterOrInsteadOfTheStreamIsAnError) {
    for (const Codec &c : {kCodecs[0], kCodecs[1], kCodecs[2]}) {
        SCOPED_TRACE(c.name);
        for (bool tiled : {false, true}) {
            SCOPED_TRACE(tiled ? "tiles" : "strip");
            uint64_t bytes = tiled ? kTileBytes : kStripBytes;
            // Part of the rows, then bytes that are not the codec's.
            expectError(rgbPage(c.compression, tiled,
                                forged::joined(forged::zerosStoredAs(c.compression, bytes / 2), forged::noise(4096))));
            expectError(rgbPage(c.compression, tiled, forged::noise(4096)));
        }
    }
}

TEST(BrokenTiffData, AFileCutShortIsAnError) {
    std::vector<uint8_t> file = rgbPage(COMPRESSION_NONE, false, std::vector<uint8_t>(kStripBytes));
    ASSERT_EQ(importOf(file).drawn, noErr);
    for (size_t cut : {file.size() / 2, file.size() - 1}) {
        SCOPED_TRACE(cut);
        std::vector<uint8_t> part(file.begin(), file.begin() + ptrdiff_t(cut));
        expectError(part);
    }
}

}  // namespace
