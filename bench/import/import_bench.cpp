// Import benchmark: 100 TIFF files of 720x480 (as the application writes
// them) opened and drawn into a picture through QTGraphicsImporterPlyx,
// against libtiff reading each file into an RGBA raster (the same decoding
// work) and into plain scanlines, both without memory-mapping the files
// (libtiff's mapped reads are the slower here). Prints times per file and
// the ratios, all from one run.
#include <rb/entrypoints.h>
#include <rb/graphics.h>
#include <rb/host.h>
#include <rb/object.h>
#include <rb/picture.h>
#include <rb/plugins.h>
#include <rb/string.h>

#include <tiffio.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kFiles = 100, kWidth = 720, kHeight = 480;

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

bool writeFrame(const std::string &path, int n) {
    TIFF *tif = TIFFOpen(path.c_str(), "w");
    if (!tif) return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    std::vector<uint8_t> row(kWidth * 3);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            row[x * 3] = uint8_t(x + n), row[x * 3 + 1] = uint8_t(y * 2), row[x * 3 + 2] = uint8_t(x ^ y);
        }
        TIFFWriteScanline(tif, row.data(), uint32_t(y), 0);
    }
    TIFFClose(tif);
    return true;
}

}  // namespace

int main() {
    rb::PluginLoad load = rb::loadPlugin(GRAPHICSPLUGIN_PATH);
    if (!load.ok) {
        std::fprintf(stderr, "%s\n", load.error.c_str());
        return 1;
    }
    char dirName[] = "/tmp/importbenchXXXXXX";
    std::string dir = mkdtemp(dirName);
    std::vector<std::string> files;
    for (int i = 0; i < kFiles; ++i) {
        files.push_back(dir + "/frame" + std::to_string(i) + ".tif");
        if (!writeFrame(files.back(), i)) return 1;
    }
    auto folderItemFromPath = reinterpret_cast<REALobject (*)(const char *)>(rb::resolve("FolderItemFromPath"));
    auto openFile = rb::lookup<"QTGraphicsImporterPlyx.OpenFile(file as folderitem)">();
    auto draw = rb::lookup<"QTGraphicsImporterPlyx.Draw(g as graphics)">();
    auto close = rb::lookup<"QTGraphicsImporterPlyx.Close">();
    rb::ObjRef target = rb::newPicture(kWidth, kHeight, 24);
    rb::ObjRef g = rb::newPictureGraphics(target.get());
    rb::ObjRef importer = rb::make("QTGraphicsImporterPlyx");
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    std::vector<uint32_t> raster(size_t(kWidth) * kHeight);
    std::vector<uint8_t> scan(size_t(kWidth) * 3);
    uint64_t check = 0;

    double best[3] = {1e9, 1e9, 1e9};
    for (int round = 0; round < 3; ++round) {
        double t0 = now();
        for (const std::string &f : files) {
            rb::ObjRef item = rb::ObjRef::adopt(folderItemFromPath(f.c_str()));
            rb::call(openFile, importer.get(), item);
            rb::call(draw, importer.get(), g);
            if (rb::direct<int32_t>(importer.get(), 8) != 0) {
                std::fprintf(stderr, "import failed: %s\n", f.c_str());
                return 1;
            }
            rb::call(close, importer.get());
            check += rb::pixel(target.get(), 1, 1);
        }
        double t1 = now();
        for (const std::string &f : files) {
            TIFF *tif = TIFFOpen(f.c_str(), "rm");
            if (!tif || !TIFFReadRGBAImageOriented(tif, kWidth, kHeight, raster.data(), ORIENTATION_TOPLEFT, 0))
                return 1;
            check += raster[kWidth + 1];
            TIFFClose(tif);
        }
        double t2 = now();
        for (const std::string &f : files) {
            TIFF *tif = TIFFOpen(f.c_str(), "rm");
            if (!tif) return 1;
            for (uint32_t y = 0; y < uint32_t(kHeight); ++y) TIFFReadScanline(tif, scan.data(), y, 0);
            check += scan[3];
            TIFFClose(tif);
        }
        double t3 = now();
        best[0] = std::min(best[0], t1 - t0);
        best[1] = std::min(best[1], t2 - t1);
        best[2] = std::min(best[2], t3 - t2);
    }
    std::system(("rm -rf '" + dir + "'").c_str());
    std::printf("open and draw %d %dx%d TIFFs (best of 3 rounds)\n", kFiles, kWidth, kHeight);
    std::printf("importer (OpenFile + Draw):        %.3f ms per file\n", best[0] * 1000 / kFiles);
    std::printf("libtiff RGBA raster:               %.3f ms per file\n", best[1] * 1000 / kFiles);
    std::printf("libtiff scanlines:                 %.3f ms per file\n", best[2] * 1000 / kFiles);
    std::printf("ratio importer / libtiff raster:   %.2f\n", best[0] / best[1]);
    std::printf("ratio importer / libtiff scanlines: %.2f\n", best[0] / best[2]);
    std::printf("(check %llu)\n", static_cast<unsigned long long>(check));
    return 0;
}
