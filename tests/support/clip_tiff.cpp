// The frame a saved TIFF file shows: its middle pixel read back through
// libtiff, as a person opening the file would see it.
#include "clips.h"

#include <tiffio.h>

#include <vector>

namespace testclips {

int frameInTiff(const std::string &path) {
    TIFF *tif = TIFFOpen(path.c_str(), "r");
    if (!tif) return -1;
    uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    std::vector<uint32_t> px(size_t(w) * h);
    int n = -1;
    if (w && h && TIFFReadRGBAImageOriented(tif, w, h, px.data(), ORIENTATION_TOPLEFT, 0)) {
        uint32_t p = px[size_t(h / 2) * w + w / 2];  // ABGR
        n = frameNumber((p & 0xFF) << 16 | (p >> 8 & 0xFF) << 8 | (p >> 16 & 0xFF));
    }
    TIFFClose(tif);
    return n;
}

}  // namespace testclips
