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
    const size_t rowBytes = size_t(width) * 3;
    uint8_t *rgb = new (std::nothrow) uint8_t[rowBytes * size_t(height)];
    if (!rgb) return nullptr;
    try {
        f->rgb_.reset(rgb);
    } catch (const std::bad_alloc &) {  // the shared count; the rows are freed
        return nullptr;
    }
    f->width_ = width;
    f->height_ = height;
    // The grabber's rows are A R G B: one pass a row drops the alpha bytes.
    int32_t sw = imaging::RectWidth(pm.bounds), sh = imaging::RectHeight(pm.bounds);
    int32_t cw = std::min(width, sw), ch = std::min(height, sh);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t *out = rgb + size_t(y) * rowBytes;
        int32_t x = 0;
        if (y < ch) {
            imaging::ConvertPixelRow(pm.baseAddr + size_t(y) * size_t(pm.rowBytes), imaging::OSType(pm.pixelSize), out,
                                     imaging::k24RGBPixelFormat, cw);
            x = cw;
        }
        std::memset(out + size_t(x) * 3, 0xFF, size_t(width - x) * 3);
    }
    return f;
}

rb::ObjRef StillFrame::picture() const { return rb::newPictureOverRows(rgb_, width_, height_, width_ * 3); }

uint32_t StillFrame::pixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    const uint8_t *p = rgb_.get() + (size_t(y) * size_t(width_) + size_t(x)) * 3;
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}

}  // namespace tavrin
