// Image compression: the largest size a compressed image may take, and
// compressing part of a pixel map with a format's codec or as raw pixels.
#include "registry.h"

#include <cstring>
#include <new>
#include <vector>

namespace imaging {

namespace {
constexpr OSType kRawCodec = FourCC("raw ");
bool knownCodec(OSType cType) { return cType == kRawCodec || formatOfCodec(cType); }
bool clipRect(const PixMapInfo *src, const Rect *r) {
    return src && r && RectWidth(*r) > 0 && RectHeight(*r) > 0 && r->left >= src->bounds.left &&
           r->top >= src->bounds.top && r->right <= src->bounds.right && r->bottom <= src->bounds.bottom;
}
}  // namespace

OSErr GetMaxCompressionSize(const PixMapInfo *src, const Rect *srcRect, int16_t depth, CodecQ, OSType cType,
                            CompressorComponent, int32_t *size) {
    if (!size) return paramErr;
    *size = 0;
    if (!clipRect(src, srcRect)) return paramErr;
    if (!knownCodec(cType)) return noCodecErr;
    if (depth != 0 && depth != 8 && depth != 24 && depth != 32 && depth != 40) return paramErr;
    uint64_t w = uint64_t(RectWidth(*srcRect)), h = uint64_t(RectHeight(*srcRect));
    uint64_t raw = w * h * 4;
    uint64_t bound = raw + raw / 64 + h * 8 + 65536;
    if (bound > uint64_t(INT32_MAX)) return memFullErr;
    *size = int32_t(bound);
    return noErr;
}

OSErr CompressImage(const PixMapInfo *src, const Rect *srcRect, CodecQ quality, OSType cType,
                    ImageDescriptionHandle desc, void *data, size_t dataCapacity) {
    if (!clipRect(src, srcRect) || !desc || !data) return paramErr;
    if (!knownCodec(cType)) return noCodecErr;
    int32_t w = RectWidth(*srcRect), h = RectHeight(*srcRect);
    if (w > INT16_MAX || h > INT16_MAX) return paramErr;
    const int32_t pixelBytes = src->pixelSize == 24 ? 3 : 4;
    const uint8_t *origin = src->baseAddr + size_t(srcRect->top - src->bounds.top) * src->rowBytes +
                            size_t(srcRect->left - src->bounds.left) * size_t(pixelBytes);
    std::vector<uint8_t> bytes;
    int16_t depth = src->depth == 32 ? 32 : (src->depth == 8 || src->depth == 40) ? 8 : 24;
    try {
        if (const Format *f = formatOfCodec(cType)) {
            codec::Options opt;
            opt.depth = depth;
            opt.quality = quality;
            opt.method = defaultCompressionMethod(f->type);
            if (OSErr e = f->encode({w, h, origin, src->rowBytes, pixelBytes}, opt, bytes)) return e;
        } else {
            depth = 32;  // uncompressed A R G B
            bytes.resize(size_t(w) * size_t(h) * 4);
            for (int32_t y = 0; y < h; ++y)
                ConvertPixelRow(origin + size_t(y) * src->rowBytes, OSType(src->pixelSize), &bytes[size_t(y) * w * 4],
                                k32ARGBPixelFormat, w);
        }
    } catch (const std::bad_alloc &) {
        return memFullErr;
    }
    if (bytes.size() > dataCapacity || bytes.size() > size_t(INT32_MAX)) return codecSpoolErr;
    if (GetHandleSize(desc) < sizeof(ImageDescription))
        if (OSErr e = SetHandleSize(desc, sizeof(ImageDescription))) return e;
    std::memcpy(data, bytes.data(), bytes.size());
    ImageDescription d{};
    d.idSize = sizeof d;
    d.cType = cType;
    d.vendor = int32_t(kManufacturer);
    d.spatialQuality = quality;
    d.width = int16_t(w), d.height = int16_t(h);
    d.hRes = d.vRes = 72 << 16;
    d.dataSize = int32_t(bytes.size());
    d.frameCount = 1;
    d.depth = depth;
    d.clutID = -1;
    std::memcpy(HandleData(desc), &d, sizeof d);
    return noErr;
}

}  // namespace imaging
