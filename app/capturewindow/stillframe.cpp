#include "capturewindow/stillframe.h"

#include <rb/picture.h>

#include <imaging/imaging.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace tavrin {

namespace {

bool pixMap(REALobject pic, imaging::PixMapInfo &pm) {
    uint32_t world = rb::pictureWorld(pic);
    return world && imaging::GetGWorldPixMap(world, &pm) && pm.baseAddr;
}

}  // namespace

std::shared_ptr<StillFrame> StillFrame::fromPicture(REALobject pic, int32_t width, int32_t height) {
    imaging::PixMapInfo pm{};
    if (width < 1 || height < 1 || !pixMap(pic, pm)) return nullptr;
    std::shared_ptr<StillFrame> f(new (std::nothrow) StillFrame);
    if (!f) return nullptr;
    size_t bytes = size_t(width) * size_t(height) * 3;
    f->rgb_.reset(new (std::nothrow) uint8_t[bytes]);
    if (!f->rgb_) return nullptr;
    f->width_ = width;
    f->height_ = height;
    int32_t sw = imaging::RectWidth(pm.bounds), sh = imaging::RectHeight(pm.bounds);
    int32_t cw = std::min(width, sw), ch = std::min(height, sh);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t *out = f->rgb_.get() + size_t(y) * size_t(width) * 3;
        int32_t x = 0;
        if (y < ch) {
            const uint8_t *in = pm.baseAddr + size_t(y) * size_t(pm.rowBytes);
            for (; x < cw; ++x, in += 4) {  // ARGB: the alpha byte is dropped
                *out++ = in[1];
                *out++ = in[2];
                *out++ = in[3];
            }
        }
        std::memset(out, 0xFF, size_t(width - x) * 3);
    }
    return f;
}

rb::ObjRef StillFrame::picture() const {
    rb::ObjRef pic = rb::newPicture(width_, height_, 24);
    imaging::PixMapInfo pm{};
    if (!pic || !pixMap(pic.get(), pm)) return {};
    for (int32_t y = 0; y < height_; ++y) {
        const uint8_t *in = rgb_.get() + size_t(y) * size_t(width_) * 3;
        uint8_t *out = pm.baseAddr + size_t(y) * size_t(pm.rowBytes);
        for (int32_t x = 0; x < width_; ++x, in += 3, out += 4) {
            out[0] = 0xFF;
            out[1] = in[0];
            out[2] = in[1];
            out[3] = in[2];
        }
    }
    return pic;
}

uint32_t StillFrame::pixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    const uint8_t *p = rgb_.get() + (size_t(y) * size_t(width_) + size_t(x)) * 3;
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}

}  // namespace tavrin
