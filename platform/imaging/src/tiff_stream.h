// libtiff over bytes in memory: one stream for reading and writing. Every
// file is opened with handlers of its own that keep libtiff quiet (nothing
// printed, no global handler changed per file) and with a cap on what
// libtiff may allocate at once while reading. Internal to the imaging library.
#pragma once

#include "imaging/imaging.h"

#include <vector>

typedef struct tiff TIFF;

namespace imaging::tiff {

// What libtiff may allocate at once while reading. A page that needs a
// larger block (a strip or tile decoded, or the data itself) is read again
// with a cap of that block, within the size limit.
constexpr size_t kAllocationCap = size_t(64) << 20;

// A TIFF read from `data` (not copied; it must outlive the reader), or
// written into `out`. `tif` is 0 when libtiff refuses the bytes.
class Stream {
public:
    Stream(const uint8_t *data, size_t size, size_t allocationCap = kAllocationCap);
    explicit Stream(std::vector<uint8_t> &out);
    ~Stream();
    Stream(const Stream &) = delete;
    Stream &operator=(const Stream &) = delete;

    TIFF *tif = nullptr;

    // The position and bytes libtiff's callbacks work on.
    std::vector<uint8_t> *out = nullptr;
    const uint8_t *in = nullptr;
    size_t size = 0;
    size_t pos = 0;

private:
    void open(const char *mode, size_t allocationCap);
};

}  // namespace imaging::tiff
