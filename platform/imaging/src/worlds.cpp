// Offscreen worlds and picture handles.
#include "imaging/imaging.h"

#include "handles.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

namespace imaging {

namespace {

struct World {
    uint8_t *pixels = nullptr;
    int32_t rowBytes = 0;
    Rect bounds{};
    int16_t depth = 32;
    int16_t pixelSize = 32;  // 24: packed rows of the caller's, not freed here
};

std::map<GWorldRef, World> &worlds() {
    static std::map<GWorldRef, World> w;
    return w;
}
GWorldRef gNextWorld = 1;
GWorldRef gCurrentPort = 0;

bool validDepth(int16_t depth) { return depth == 8 || depth == 24 || depth == 32 || depth == 40; }

GWorldRef addWorld(const World &world) {
    GWorldRef ref = gNextWorld++;
    if (gNextWorld == 0) gNextWorld = 1;
    worlds()[ref] = world;
    return ref;
}

}  // namespace

OSErr NewGWorld(GWorldRef *out, int16_t depth, const Rect *bounds, uint32_t flags) {
    (void)flags;  // temporary memory and ordinary memory are the same here
    if (!out || !bounds) return paramErr;
    *out = 0;
    if (depth == 0) depth = 32;
    int32_t w = RectWidth(*bounds), h = RectHeight(*bounds);
    if (!validDepth(depth) || w <= 0 || h <= 0 || w > kMaxImageSide || h > kMaxImageSide) return paramErr;
    size_t bytes = size_t(w) * size_t(h) * 4;
    if (bytes > kMaxBlockSize) return memFullErr;
    World world;
    world.pixels = static_cast<uint8_t *>(std::malloc(bytes));
    if (!world.pixels) return memFullErr;
    // Opaque white, as a fresh world is drawn on.
    std::memset(world.pixels, 0xFF, bytes);
    world.rowBytes = w * 4;
    world.bounds = *bounds;
    world.depth = depth;
    *out = addWorld(world);
    return noErr;
}

OSErr NewGWorldFromPtr(GWorldRef *out, OSType pixelFormat, const Rect *bounds, const uint8_t *buffer,
                       int32_t rowBytes) {
    if (!out || !bounds) return paramErr;
    *out = 0;
    int32_t w = RectWidth(*bounds), h = RectHeight(*bounds);
    if (pixelFormat != k24RGBPixelFormat || !buffer || w <= 0 || h <= 0 || w > kMaxImageSide || h > kMaxImageSide ||
        rowBytes < w * 3)
        return paramErr;
    World world;
    world.pixels = const_cast<uint8_t *>(buffer);  // only ever read
    world.rowBytes = rowBytes;
    world.bounds = *bounds;
    world.depth = 24;
    world.pixelSize = 24;
    *out = addWorld(world);
    return noErr;
}

void DisposeGWorld(GWorldRef ref) {
    auto it = worlds().find(ref);
    if (it == worlds().end()) return;
    if (it->second.pixelSize == 32) std::free(it->second.pixels);
    worlds().erase(it);
    if (gCurrentPort == ref) gCurrentPort = 0;
}

bool GWorldExists(GWorldRef ref) { return ref && worlds().count(ref); }

bool GetGWorldPixMap(GWorldRef ref, PixMapInfo *out) {
    auto it = worlds().find(ref);
    if (it == worlds().end() || !out) return false;
    out->baseAddr = it->second.pixels;
    out->rowBytes = it->second.rowBytes;
    out->bounds = it->second.bounds;
    out->depth = it->second.depth;
    out->pixelSize = it->second.pixelSize;
    return true;
}

GWorldRef GetGWorld() { return gCurrentPort; }
void SetGWorld(GWorldRef ref) { gCurrentPort = GWorldExists(ref) ? ref : 0; }

// ---- pictures ---------------------------------------------------------------------

namespace {
struct PicHeader {
    uint32_t tag;
    int32_t width, height, depth;
};
static_assert(sizeof(PicHeader) == kPictureHeaderSize);
}  // namespace

// A picture handle with its header; its pixels are zero, or whatever the
// memory held when `forOverwrite`.
static PicHandle newPictureHandle(int32_t width, int32_t height, int16_t depth, bool forOverwrite) {
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide || !validDepth(depth))
        return nullptr;
    size_t pix = size_t(width) * size_t(height) * 4;
    if (pix > kMaxBlockSize - kPictureHeaderSize) return nullptr;
    Handle h = forOverwrite ? NewHandleForOverwrite(kPictureHeaderSize + pix) : NewHandle(kPictureHeaderSize + pix);
    if (!h) return nullptr;
    PicHeader head{kPictureTag, width, height, depth};
    std::memcpy(HandleData(h), &head, sizeof head);
    return h;
}

PicHandle NewPicture(int32_t width, int32_t height, int16_t depth) {
    PicHandle h = newPictureHandle(width, height, depth, false);
    if (!h) return nullptr;
    uint8_t *p = HandleData(h) + kPictureHeaderSize;
    size_t pix = size_t(width) * size_t(height) * 4;
    for (size_t i = 0; i < pix; i += 4) p[i] = 0xFF;  // opaque black
    return h;
}

PicHandle NewPictureForOverwrite(int32_t width, int32_t height, int16_t depth) {
    return newPictureHandle(width, height, depth, true);
}

bool GetPictureInfo(PicHandle pic, int32_t *width, int32_t *height, int16_t *depth) {
    size_t size = GetHandleSize(pic);
    if (size < kPictureHeaderSize) return false;
    PicHeader head;
    std::memcpy(&head, HandleData(pic), sizeof head);
    if (head.tag != kPictureTag || head.width <= 0 || head.height <= 0 || head.width > kMaxImageSide ||
        head.height > kMaxImageSide || !validDepth(int16_t(head.depth)))
        return false;
    if (size != kPictureHeaderSize + size_t(head.width) * size_t(head.height) * 4) return false;
    if (width) *width = head.width;
    if (height) *height = head.height;
    if (depth) *depth = int16_t(head.depth);
    return true;
}

uint8_t *PicturePixels(PicHandle pic) {
    return GetPictureInfo(pic, nullptr, nullptr, nullptr) ? HandleData(pic) + kPictureHeaderSize : nullptr;
}

PicHandle PictureFromGWorld(GWorldRef ref) {
    PixMapInfo pm;
    if (!GetGWorldPixMap(ref, &pm)) return nullptr;
    int32_t w = RectWidth(pm.bounds), h = RectHeight(pm.bounds);
    PicHandle pic = NewPicture(w, h, pm.depth);
    if (!pic) return nullptr;
    uint8_t *dst = PicturePixels(pic);
    for (int32_t y = 0; y < h; ++y)
        ConvertPixelRow(pm.baseAddr + size_t(y) * pm.rowBytes, OSType(pm.pixelSize), dst + size_t(y) * w * 4,
                        k32ARGBPixelFormat, w);
    return pic;
}

// Source pixels of `srcFormat` into an ARGB world.
static void blit(const uint8_t *src, OSType srcFormat, int32_t srcRow, int32_t sw, int32_t sh, const PixMapInfo &dst,
                 int32_t left, int32_t top) {
    // In 64 bits: an origin anywhere in the 32-bit range must not overflow.
    int64_t dw = RectWidth(dst.bounds), dh = RectHeight(dst.bounds);
    int64_t x0 = std::max<int64_t>(0, left), y0 = std::max<int64_t>(0, top);
    int64_t x1 = std::min<int64_t>(dw, int64_t(left) + sw), y1 = std::min<int64_t>(dh, int64_t(top) + sh);
    if (x0 >= x1 || y0 >= y1) return;
    const size_t srcPixel = srcFormat == k24RGBPixelFormat ? 3 : 4;
    for (int64_t y = y0; y < y1; ++y) {
        uint8_t *to = dst.baseAddr + size_t(y) * dst.rowBytes + size_t(x0) * 4;
        const uint8_t *from = src + size_t(y - top) * srcRow + size_t(x0 - left) * srcPixel;
        if (srcFormat == k24RGBPixelFormat) ConvertPixelRow(from, srcFormat, to, k32ARGBPixelFormat, int32_t(x1 - x0));
        else std::memmove(to, from, size_t(x1 - x0) * 4);  // a world copied into itself may overlap
    }
}

OSErr DrawPicture(PicHandle pic, GWorldRef ref) {
    int32_t w, h;
    if (!GetPictureInfo(pic, &w, &h, nullptr)) return paramErr;
    PixMapInfo pm;
    if (!GetGWorldPixMap(ref, &pm) || pm.pixelSize != 32) return paramErr;
    blit(PicturePixels(pic), k32ARGBPixelFormat, w * 4, w, h, pm, 0, 0);
    return noErr;
}

OSErr CopyWorld(GWorldRef src, GWorldRef dst, int32_t left, int32_t top) {
    PixMapInfo s, d;
    if (!GetGWorldPixMap(src, &s) || !GetGWorldPixMap(dst, &d) || d.pixelSize != 32) return paramErr;
    blit(s.baseAddr, OSType(s.pixelSize), s.rowBytes, RectWidth(s.bounds), RectHeight(s.bounds), d, left, top);
    return noErr;
}

}  // namespace imaging
