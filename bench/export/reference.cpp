#include "reference.h"

#include <tiffio.h>

#include <cstring>
#include <vector>

namespace {

// A memory buffer for libtiff, reserved once for the frame.
struct Mem {
    std::vector<uint8_t> bytes;
    size_t pos = 0;
};
tmsize_t rd(thandle_t, void *, tmsize_t) { return 0; }
tmsize_t wr(thandle_t h, void *buf, tmsize_t n) {
    auto *m = static_cast<Mem *>(h);
    auto *p = static_cast<const uint8_t *>(buf);
    if (m->pos == m->bytes.size()) {
        m->bytes.insert(m->bytes.end(), p, p + n);
    } else {
        if (m->pos + size_t(n) > m->bytes.size()) m->bytes.resize(m->pos + size_t(n));
        std::memcpy(m->bytes.data() + m->pos, p, size_t(n));
    }
    m->pos += size_t(n);
    return n;
}
toff_t sk(thandle_t h, toff_t off, int whence) {
    auto *m = static_cast<Mem *>(h);
    m->pos = size_t(whence == SEEK_CUR ? m->pos + off : whence == SEEK_END ? m->bytes.size() + off : off);
    return m->pos;
}
int cl(thandle_t) { return 0; }
toff_t sz(thandle_t h) { return static_cast<Mem *>(h)->bytes.size(); }
int mp(thandle_t, void **, toff_t *) { return 0; }
void ump(thandle_t, void *, toff_t) {}

bool writeFrame(TIFF *t, const uint8_t *rgb, int32_t width, int32_t height) {
    if (!t) return false;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
    bool ok = true;
    for (int32_t y = 0; y < height && ok; ++y)  // uncompressed: libtiff only reads the row
        ok = TIFFWriteScanline(t, const_cast<uint8_t *>(rgb + size_t(y) * size_t(width) * 3), uint32_t(y), 0) >= 0;
    TIFFClose(t);
    return ok;
}

}  // namespace

size_t libtiffToMemory(const uint8_t *rgb, int32_t width, int32_t height) {
    // Sized once for the frame and kept: no frame pays for fresh pages.
    static Mem m;
    m.bytes.clear();
    m.pos = 0;
    m.bytes.reserve(size_t(width) * size_t(height) * 3 + 4096);  // the pixels and room for the header and tags
    writeFrame(TIFFClientOpen("bench", "w", &m, rd, wr, sk, cl, sz, mp, ump), rgb, width, height);
    return m.bytes.size();
}

bool libtiffToFile(const std::string &path, const uint8_t *rgb, int32_t width, int32_t height) {
    return writeFrame(TIFFOpen(path.c_str(), "w"), rgb, width, height);
}
