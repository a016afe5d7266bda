// The helpers the encoders of every format share: progress, the output
// buffer and the metadata texts (pixel rows: pixel_rows.cpp).
#include "codecs.h"
#include "handles.h"

#include <algorithm>
#include <new>

namespace imaging::codec {

int samplesFor(int depth) { return depth == 8 ? 1 : depth == 32 ? 4 : 3; }

OSErr report(const Options &opt, int32_t done, int32_t total) {
    return opt.progress ? opt.progress(done, total) : OSErr(noErr);
}

bool progressDue(int32_t done, int32_t total) {
    int32_t step = total / 32 > 0 ? total / 32 : 1;
    return done == total || done % step == 0;
}

void reserveOutput(std::vector<uint8_t> &out, const Image &img, const Options &opt) {
    uint64_t size = uint64_t(img.width) * uint64_t(img.height) * uint64_t(samplesFor(opt.depth));
    size += 4096 + uint64_t(img.height) * 16 + opt.icc.size();
    for (const auto &m : opt.meta) size += m.second.size() + 16;
    size = std::min<uint64_t>(size, kMaxBlockSize);
    if (out.capacity() >= size) return;
    try {
        out = TakeOutputBuffer(size_t(size));
    } catch (const std::bad_alloc &) {
        // Left to grow as it goes.
    }
}

void fitOutput(std::vector<uint8_t> &out) {
    if (out.capacity() / 2 <= out.size()) return;
    try {
        std::vector<uint8_t> fitted(out.begin(), out.end());
        out.swap(fitted);
        KeepSpareBuffer(std::move(fitted));
    } catch (const std::bad_alloc &) {
        // Keeps the larger buffer.
    }
}

const std::string *metaText(const Options &opt, OSType type) {
    for (const auto &m : opt.meta)
        if (m.first == type) return &m.second;
    return type == kDescription ? metaText(opt, kInfo) : nullptr;
}

}  // namespace imaging::codec
