// Files nobody here wrote, decoded by the importer and by an independent
// decoder run now (ImageMagick): the PNG suite in the tree (every colour
// type and depth, interlaced or not, with transparency and gamma) and the
// TIFF and JPEG kinds ImageMagick writes (make-samples). Every image must
// match, page by page.
#include "imaging/importer.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

using namespace imaging;
namespace fs = std::filesystem;

namespace {

const std::string kImagingTests = TEST_IMAGING_DIR;

// A command's standard output; `ok` is false when it did not exit 0.
std::string run(const std::string &command, bool *ok) {
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    if (!p) {
        *ok = false;
        return out;
    }
    char buf[65536];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    *ok = pclose(p) == 0;
    return out;
}

// ImageMagick's convert (a stand-in of that name may come first on the PATH).
std::string convertCommand() {
    for (const char *c : {"/usr/bin/convert", "convert"}) {
        bool ok = false;
        if (run(std::string(c) + " -version 2>/dev/null", &ok).find("ImageMagick") != std::string::npos && ok) return c;
    }
    return std::string();
}

std::string shellQuoted(const std::string &s) { return "'" + s + "'"; }

struct Pixels {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgba;
};

// Page `page` (from 0) of a file through the importer, as a picture.
bool importerPixels(const std::string &path, uint32_t page, Pixels &out, uint32_t *pages) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Handle data = nullptr;
    if (PtrToHand(bytes.data(), &data, bytes.size())) return false;
    ComponentInstance ci = 0;
    OpenADefaultComponent(GraphicsImporterComponentType, 0, &ci);
    GraphicsImportSetDataHandle(ci, data);
    GraphicsImportGetImageCount(ci, pages);
    PicHandle pic = nullptr;
    bool ok = GraphicsImportSetImageIndex(ci, page + 1) == noErr && GraphicsImportGetAsPicture(ci, &pic) == noErr &&
              GetPictureInfo(pic, &out.width, &out.height, nullptr);
    if (ok) {
        const uint8_t *p = PicturePixels(pic);
        for (size_t i = 0, n = size_t(out.width) * out.height; i < n; ++i, p += 4)
            out.rgba.insert(out.rgba.end(), {p[1], p[2], p[3], p[0]});
    }
    DisposeHandle(pic);
    CloseComponent(ci);
    DisposeHandle(data);
    return ok;
}

double linear(int v) {
    double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// Whether a colour sample agrees, each weighed by its alpha: within a level
// and a half, or within 1.5% of full scale in linear light. libpng encodes
// the gamma it applies with a 2.2 power, ImageMagick with the sRGB curve:
// they part by up to eight levels in the darks, under 1.4% in linear light.
bool sampleAgrees(int a, int alphaA, int b, int alphaB) {
    if (std::abs(a * alphaA - b * alphaB) <= 1.5 * 255) return true;
    return std::abs(linear(a) * alphaA - linear(b) * alphaB) <= 0.015 * 255;
}

// Empty when the two agree, else what differs first and how often.
std::string difference(const Pixels &ours, const std::string &theirs) {
    if (ours.rgba.size() != theirs.size())
        return "ImageMagick gave " + std::to_string(theirs.size()) + " bytes for " + std::to_string(ours.width) + "x" +
               std::to_string(ours.height);
    size_t wrong = 0;
    std::string first;
    for (size_t i = 0; i < theirs.size(); i += 4) {
        const uint8_t *a = &ours.rgba[i], *b = reinterpret_cast<const uint8_t *>(&theirs[i]);
        bool bad = std::abs(a[3] - b[3]) > 1;
        if (a[3] || b[3])
            for (int c = 0; c < 3; ++c) bad = bad || !sampleAgrees(a[c], a[3], b[c], b[3]);
        if (bad && !wrong++) {
            char text[160];
            std::snprintf(text, sizeof text, "pixel (%zu, %zu): ours %02x%02x%02x/%02x, ImageMagick %02x%02x%02x/%02x",
                          i / 4 % ours.width, i / 4 / ours.width, a[0], a[1], a[2], a[3], b[0], b[1], b[2], b[3]);
            first = text;
        }
    }
    return wrong ? std::to_string(wrong) + " pixels differ, first " + first : std::string();
}

std::vector<std::string> filesIn(const std::string &dir, const char *ending) {
    std::vector<std::string> out;
    for (const auto &e : fs::directory_iterator(dir))
        if (e.path().extension() == ending) out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

class AgainstImageMagick : public ::testing::Test {
protected:
    static std::string convert, samples;
    static void SetUpTestSuite() {
        convert = convertCommand();
        if (convert.empty()) return;
        char dir[] = "/tmp/importer-samplesXXXXXX";
        samples = mkdtemp(dir);
        bool ok = false;
        run(kImagingTests + "/make-samples " + shellQuoted(samples) + " 2>&1", &ok);
        if (!ok) samples.clear();
    }
    static void TearDownTestSuite() {
        if (!samples.empty()) fs::remove_all(samples);
    }

    // Every page of every file matches; returns how many pages were compared.
    int compareAll(const std::vector<std::string> &files) {
        int compared = 0;
        for (const std::string &path : files) {
            uint32_t pages = 1;
            for (uint32_t page = 0; page < pages; ++page) {
                SCOPED_TRACE(fs::path(path).filename().string() + " page " + std::to_string(page + 1));
                Pixels ours;
                EXPECT_TRUE(importerPixels(path, page, ours, &pages)) << "the importer refuses it";
                bool ok = false;
                std::string theirs =
                    run(convert + " " + shellQuoted(path + "[" + std::to_string(page) + "]") + " -depth 8 rgba:-", &ok);
                if (ok) EXPECT_EQ(difference(ours, theirs), "");
                else ADD_FAILURE() << "ImageMagick refuses it";
                ++compared;
            }
        }
        return compared;
    }
};
std::string AgainstImageMagick::convert, AgainstImageMagick::samples;

TEST_F(AgainstImageMagick, EveryFileOfThePngSuite) {
    ASSERT_FALSE(convert.empty()) << "ImageMagick's convert is needed (scripts/deps installs it)";
    EXPECT_EQ(compareAll(filesIn(kImagingTests + "/pngsuite", ".png")), 60);
}

TEST_F(AgainstImageMagick, TiffAndJpegKindsImageMagickWrites) {
    ASSERT_FALSE(samples.empty()) << "make-samples needs ImageMagick's convert";
    std::vector<std::string> files = filesIn(samples, ".tif"), jpegs = filesIn(samples, ".jpg");
    files.insert(files.end(), jpegs.begin(), jpegs.end());
    EXPECT_EQ(compareAll(files), 27) << "every sample, the three pages of pages.tif each";
}

// ---- eight-bit PNGs decode exactly as they always have ------------------------------

uint64_t fnv1a(const uint8_t *p, size_t n) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 0x100000001b3ull;
    return h;
}

TEST(PngSuite, EightBitFilesKeepTheirPixels) {
    // The A R G B pixels of each picture, hashed, as the importer gave them
    // before it read PNGs through libpng's full interface.
    const std::map<std::string, uint64_t> kBefore = {
        {"basn0g01.png", 0x6d7a854f209afc3dull},
        {"basn0g02.png", 0x77e64998c5b06325ull},
        {"basn0g04.png", 0xe90686f5a77a2e65ull},
        {"basn0g08.png", 0xf902267b50b6c75aull},
        {"basn2c08.png", 0x13e17acc334f06b5ull},
        {"basn3p01.png", 0x8048852ac7d66b25ull},
        {"basn3p02.png", 0x7f32087996281725ull},
        {"basn3p04.png", 0x9a914c0ec93b1ac5ull},
        {"basn3p08.png", 0x1f16486c79c190ddull},
        {"basn4a08.png", 0xe88758aa9d083a05ull},
        {"basn6a08.png", 0xe76ed13d5cece0d5ull},
        {"ftbbn0g01.png", 0x375832c5d544f7a1ull},
        {"ftbbn0g02.png", 0x47b7a9fdb25904f8ull},
        {"ftbbn0g04.png", 0x718eb9d97635a234ull},
        {"ftbbn3p08.png", 0x08a4c75c0b2e5164ull},
        {"ftbgn3p08.png", 0x08a4c75c0b2e5164ull},
        {"ftbrn2c08.png", 0xfb84259f27f56bacull},
        {"ftbwn3p08.png", 0x08a4c75c0b2e5164ull},
        {"ftbyn3p08.png", 0x08a4c75c0b2e5164ull},
        {"ftp0n0g08.png", 0x83568c43e3485db2ull},
        {"ftp0n2c08.png", 0xe9c4dce83af0291eull},
        {"ftp0n3p08.png", 0x93d851e40b2985e1ull},
        {"ftp1n3p08.png", 0x08a4c75c0b2e5164ull},
        {"ibasn0g08.png", 0x03ff5b494373fdd5ull},
        {"ibasn2c08.png", 0xfadd9f0d8858bb25ull},
        {"ibasn3p08.png", 0xe479a37a57590805ull},
        {"ibasn4a08.png", 0xec8b716324c1eef5ull},
        {"ibasn6a08.png", 0x13271c793895fcd5ull},
        {"iftbbn3p08.png", 0x4d1f7f740191f757ull},
        {"iftbgn3p08.png", 0x4d1f7f740191f757ull},
        {"iftbrn2c08.png", 0x8c2e52043cbc2036ull},
        {"iftbwn3p08.png", 0x4d1f7f740191f757ull},
        {"iftbyn3p08.png", 0x4d1f7f740191f757ull},
        {"iftp0n0g08.png", 0xbe5f29e069ff3d38ull},
        {"iftp0n2c08.png", 0x1bf58add88aae2e9ull},
        {"iftp0n3p08.png", 0x2d55b193b49153ffull},
        {"iftp1n3p08.png", 0x4d1f7f740191f757ull},
        {"interlaced_ibasn0g01.png", 0x6d7a854f209afc3dull},
        {"interlaced_ibasn0g02.png", 0x9bf7ea29e9494b25ull},
        {"interlaced_ibasn0g04.png", 0x0c47c07c06d08625ull},
        {"interlaced_ibasn3p01.png", 0xae3b2047ce0fdf25ull},
        {"interlaced_ibasn3p02.png", 0x7f32087996281725ull},
        {"interlaced_ibasn3p04.png", 0x9cdede9459d6ae05ull},
        {"interlaced_iftbbn0g01.png", 0x375832c5d544f7a1ull},
        {"interlaced_iftbbn0g02.png", 0x47b7a9fdb25904f8ull},
        {"interlaced_iftbbn0g04.png", 0x4f2af013e64b4ce6ull},
    };
    for (const auto &[name, hash] : kBefore) {
        SCOPED_TRACE(name);
        Pixels ours;
        uint32_t pages = 0;
        ASSERT_TRUE(importerPixels(kImagingTests + "/pngsuite/" + name, 0, ours, &pages));
        std::vector<uint8_t> argb;
        for (size_t i = 0; i < ours.rgba.size(); i += 4)
            argb.insert(argb.end(), {ours.rgba[i + 3], ours.rgba[i], ours.rgba[i + 1], ours.rgba[i + 2]});
        EXPECT_EQ(fnv1a(argb.data(), argb.size()), hash);
    }
}

}  // namespace
