// The video surface onto an X drawable (video_presenter.h).
#include "video_presenter.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

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

// The errors an attachment raises, caught while it is tried (a server that
// offers the extension but cannot reach this machine's memory refuses it).
bool attachRefused = false;
int noteRefusal(Display *, XErrorEvent *) {
    attachRefused = true;
    return 0;
}

}  // namespace

VideoPresenter::VideoPresenter(Display *display, Visual *visual, int depth)
    : display_(display), visual_(visual), depth_(depth) {
    takesWords_ = display && visual && visual->c_class == TrueColor && depth == 24 && visual->red_mask == 0xFF0000 &&
                  visual->green_mask == 0xFF00 && visual->blue_mask == 0xFF && thirtyTwoBitPixels(display, depth);
    shmOffered_ = takesWords_ && XShmQueryExtension(display) && ImageByteOrder(display) == kNativeByteOrder;
}

VideoPresenter::~VideoPresenter() { dropSegment(); }

bool VideoPresenter::draw(Drawable drawable, GC gc, int x, int y, int width, int height, const uint32_t *words) {
    if (!takesWords_ || !words || width < 1 || height < 1) return false;
    if (segment_ && (segment_->width != width || segment_->height != height)) dropSegment();
    if (!segment_ && shmOffered_ && !makeSegment(width, height)) shmOffered_ = false;
    if (!segment_) return drawThroughConnection(drawable, gc, x, y, width, height, words);
    // The server may still be reading the frame before: the new one waits
    // until it has. It tells when it has (a completion event, which the
    // toolkit's loop takes and ignores), and by then it mostly has.
    if (lastPut_ && !putDone()) XSync(display_, False);
    std::memcpy(segment_->data, words, size_t(width) * size_t(height) * 4);
    XShmPutImage(display_, drawable, gc, segment_, 0, 0, x, y, unsigned(width), unsigned(height), True);
    lastPut_ = NextRequest(display_) - 1;
    return true;
}

bool VideoPresenter::putDone() const {
    if (XLastKnownRequestProcessed(display_) >= lastPut_) return true;
    XEventsQueued(display_, QueuedAfterReading);  // what the server has sent, without waiting
    return XLastKnownRequestProcessed(display_) >= lastPut_;
}

bool VideoPresenter::makeSegment(int width, int height) {
    XImage *image = XShmCreateImage(display_, visual_, unsigned(depth_), ZPixmap, nullptr, &info_, unsigned(width),
                                    unsigned(height));
    if (!image) return false;
    if (image->bits_per_pixel != 32 || image->bytes_per_line != width * 4) {
        XDestroyImage(image);
        return false;
    }
    info_.shmid = shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * size_t(height), IPC_CREAT | 0600);
    if (info_.shmid < 0) {
        XDestroyImage(image);
        return false;
    }
    void *memory = shmat(info_.shmid, nullptr, 0);
    if (memory == reinterpret_cast<void *>(-1)) {
        shmctl(info_.shmid, IPC_RMID, nullptr);
        XDestroyImage(image);
        return false;
    }
    info_.shmaddr = image->data = static_cast<char *>(memory);
    info_.readOnly = True;
    XSync(display_, False);  // errors of requests before this go to their own handler
    attachRefused = false;
    XErrorHandler before = XSetErrorHandler(noteRefusal);
    Status attached = XShmAttach(display_, &info_);
    XSync(display_, False);
    XSetErrorHandler(before);
    // The segment goes when the last of this process and the server lets go.
    shmctl(info_.shmid, IPC_RMID, nullptr);
    if (!attached || attachRefused) {
        shmdt(memory);
        XDestroyImage(image);
        return false;
    }
    segment_ = image;
    lastPut_ = 0;
    return true;
}

void VideoPresenter::dropSegment() {
    if (!segment_) return;
    XShmDetach(display_, &info_);
    XSync(display_, False);  // the server has let go of it
    shmdt(info_.shmaddr);
    XDestroyImage(segment_);
    segment_ = nullptr;
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
