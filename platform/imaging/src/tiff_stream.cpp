#include "tiff_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <tiffio.h>

namespace imaging::tiff {

namespace {

Stream *streamOf(thandle_t h) { return static_cast<Stream *>(h); }

size_t totalOf(const Stream &s) { return s.out ? s.out->size() : s.size; }

tmsize_t readProc(thandle_t h, void *buf, tmsize_t n) {
    Stream &s = *streamOf(h);
    const uint8_t *base = s.out ? s.out->data() : s.in;
    size_t total = totalOf(s);
    if (n <= 0 || s.pos >= total) return 0;
    size_t k = std::min(size_t(n), total - s.pos);
    std::memcpy(buf, base + s.pos, k);
    s.pos += k;
    return tmsize_t(k);
}

tmsize_t writeProc(thandle_t h, void *buf, tmsize_t n) {
    Stream &s = *streamOf(h);
    if (!s.out || n < 0) return -1;
    if (s.pos > kMaxBlockSize || size_t(n) > kMaxBlockSize - s.pos) return -1;
    size_t end = s.pos + size_t(n);
    auto *bytes = static_cast<const uint8_t *>(buf);
    try {
        if (s.pos == s.out->size()) {  // appending, as nearly every write does
            s.out->insert(s.out->end(), bytes, bytes + n);
            s.pos = end;
            return n;
        }
        if (end > s.out->size()) s.out->resize(end);
    } catch (...) {
        return -1;
    }
    if (n) std::memcpy(s.out->data() + s.pos, bytes, size_t(n));
    s.pos = end;
    return n;
}

toff_t seekProc(thandle_t h, toff_t off, int whence) {
    Stream &s = *streamOf(h);
    uint64_t base = whence == SEEK_CUR ? s.pos : whence == SEEK_END ? totalOf(s) : 0;
    uint64_t target = base + off;
    if (target > kMaxBlockSize) return toff_t(-1);
    s.pos = size_t(target);
    return target;
}

int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t h) { return totalOf(*streamOf(h)); }
// Bytes being read are in memory already: libtiff takes them as a mapped
// file and reads strips and tiles in place.
int mapProc(thandle_t h, void **base, toff_t *size) {
    Stream &s = *streamOf(h);
    if (s.out || !s.in) return 0;
    *base = const_cast<uint8_t *>(s.in);
    *size = s.size;
    return 1;
}
void unmapProc(thandle_t, void *, toff_t) {}

// Handles the message: nothing is printed.
int quiet(TIFF *, void *, const char *, const char *, va_list) { return 1; }

}  // namespace

Stream::Stream(const uint8_t *data, size_t n, size_t allocationCap) : in(data), size(n) { open("r", allocationCap); }

// What is written is our own pixels: no cap.
Stream::Stream(std::vector<uint8_t> &bytes) : out(&bytes) { open("w", 0); }

Stream::~Stream() {
    if (tif) TIFFClose(tif);
}

void Stream::open(const char *mode, size_t allocationCap) {
    // The few messages libtiff still sends to its process-wide handlers: none
    // are printed. Set once, whichever thread opens the first file.
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
    TIFFOpenOptions *opts = TIFFOpenOptionsAlloc();
    if (!opts) return;
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, tmsize_t(allocationCap));  // 0: none
    TIFFOpenOptionsSetErrorHandlerExtR(opts, quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, quiet, nullptr);
    tif = TIFFClientOpenExt(out ? "export" : "import", mode, this, readProc, writeProc, seekProc, closeProc, sizeProc,
                            mapProc, unmapProc, opts);
    TIFFOpenOptionsFree(opts);
}

}  // namespace imaging::tiff
