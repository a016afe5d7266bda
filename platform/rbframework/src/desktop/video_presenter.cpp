// The video surface onto an X drawable (video_presenter.h).
#include "desktop/video_presenter.h"

#include "desktop/shared_segment.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <cstring>

namespace rb::screen {

namespace {

constexpr int kNativeByteOrder = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? LSBFirst : MSBFirst;

// Whether a pixel of `depth` takes 32 bits on this server.
bool thirtyTwoBitPixels(Display *display, int depth) {
    int count = 0;
    XPixmapFormatValues *formats = XListPixmapFormats(display, &count);
    bool found = false;
    for (int i = 0; i < count; ++i)
        if (formats[i].depth == depth) found = formats[i].bits_per_pixel == 32;
    if (formats) XFree(formats);
    return found;
}

}  // namespace

VideoPresenter::VideoPresenter(Display *display, Visual *visual, int depth)
    : display_(display), visual_(visual), depth_(depth) {
    takesWords_ = display && visual && visual->c_class == TrueColor && depth == 24 && visual->red_mask == 0xFF0000 &&
                  visual->green_mask == 0xFF00 && visual->blue_mask == 0xFF && thirtyTwoBitPixels(display, depth);
    shmOffered_ = takesWords_ && XShmQueryExtension(display) && ImageByteOrder(display) == kNativeByteOrder;
}

VideoPresenter::~VideoPresenter() = default;

SharedSegment *VideoPresenter::segmentFor(int width, int height) {
    if (segment_ && (segment_->width() != width || segment_->height() != height)) segment_.reset();
    if (!segment_ && shmOffered_) segment_ = SharedSegment::make(display_, visual_, depth_, width, height);
    if (!segment_) shmOffered_ = false;
    return segment_.get();
}

std::shared_ptr<SurfaceMemory> VideoPresenter::memoryFor(int width, int height) {
    if (!takesWords_ || width < 1 || height < 1 || !segmentFor(width, height)) return nullptr;
    return segment_;
}

bool VideoPresenter::draw(Drawable drawable, GC gc, int x, int y, int width, int height, const uint32_t *words) {
    if (!takesWords_ || !words || width < 1 || height < 1) return false;
    SharedSegment *segment = segmentFor(width, height);
    if (!segment) return drawThroughConnection(drawable, gc, x, y, width, height, words);
    // A frame painted elsewhere than in the segment (before it was lent)
    // comes in first.
    if (words != segment->pixels()) {
        segment->waitUntilFree();
        std::memcpy(segment->pixels(), words, size_t(width) * size_t(height) * 4);
    }
    segment->put(drawable, gc, x, y);
    return true;
}

bool VideoPresenter::drawThroughConnection(Drawable drawable, GC gc, int x, int y, int width, int height,
                                           const uint32_t *words) {
    char *data = reinterpret_cast<char *>(const_cast<uint32_t *>(words));  // only read
    XImage *image = XCreateImage(display_, visual_, unsigned(depth_), ZPixmap, 0, data, unsigned(width),
                                 unsigned(height), 32, width * 4);
    if (!image) return false;
    // Words in this machine's order; Xlib turns them round for a server of
    // the other order.
    image->byte_order = kNativeByteOrder;
    XPutImage(display_, drawable, gc, image, 0, 0, x, y, unsigned(width), unsigned(height));
    image->data = nullptr;  // the words are the caller's
    XDestroyImage(image);
    return true;
}

}  // namespace rb::screen
