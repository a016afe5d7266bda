// The graphics exporter's state: its input, its output and its settings.
// Internal to the imaging library.
#pragma once

#include "imaging/imaging.h"

#include <string>
#include <vector>

namespace imaging {

struct Format;

// The settings an exporter keeps as numbers, each as the 32-bit value its
// atom carries (signed ones in two's complement). Each is a row of the
// settings table (exporter_settings.cpp), which checks, sets and gets it and
// carries it in the settings atom container.
struct ExportSettings {
    uint32_t depth = 0;                         // 0: from the input; else 8, 24, 32 or 40 (grey)
    uint32_t hres = 72 << 16, vres = 72 << 16;  // Fixed, dots per inch
    uint32_t quality = codecNormalQuality;
    uint32_t method = 0;  // int32_t; see defaultCompressionMethod
    uint32_t dontRecompress = 0;
    uint32_t interlace = 0;
    uint32_t targetSize = 0;
    uint32_t exif = 0;
};

// A resolution setting (16.16) in dots per inch.
inline double fixedToDouble(uint32_t f) { return double(int32_t(f)) / 65536.0; }

// What an exporter of a format starts with: TIFF uncompressed (1), PNG the
// library's default level (-1), none for the others (0).
int32_t defaultCompressionMethod(OSType formatType);

struct Exporter {
    const Format *format = nullptr;
    PicHandle inputPicture = nullptr;
    GWorldRef inputWorld = 0;
    ComponentInstance inputImporter = 0;
    Handle outputHandle = nullptr;
    std::string outputFile;
    bool toFile = false;
    ICMProgressProcRecord progress{nullptr, nullptr};
    ExportSettings settings;
    std::vector<uint8_t> icc;
    UserData meta = nullptr;  // owned; disposed when the component is freed
    OSType outType = 0, outCreator = 0;
};

// Whether the exporter writes EXIF data (JPEG only).
bool exporterCanDoExif(const Exporter &ex);

// The calls found only by name in the system library (BundleGetFunctionPointerForName).
namespace exporter {
ComponentResult getThumbnailEnabled(ComponentInstance ci, bool *enabled, int32_t *w, int32_t *h);
ComponentResult setThumbnailEnabled(ComponentInstance ci, bool enabled, int32_t w, int32_t h);
ComponentResult setExifEnabled(ComponentInstance ci, bool enabled);
ComponentResult getExifEnabled(ComponentInstance ci, bool *enabled);
}  // namespace exporter

}  // namespace imaging

// The exporter of `ci`, as `ex`, or the call returns badComponentInstance.
#define EXPORTER(ci)               \
    Exporter *ex = exporterOf(ci); \
    if (!ex) return badComponentInstance
