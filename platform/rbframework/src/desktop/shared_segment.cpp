// A picture in a shared-memory segment of the X server's (shared_segment.h).
#include "desktop/shared_segment.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace rb::screen {

namespace {

// The errors an attachment raises, caught while it is tried (a server that
// offers the extension but cannot reach this machine's memory refuses it).
bool attachRefused = false;
int noteRefusal(Display *, XErrorEvent *) {
    attachRefused = true;
    return 0;
}

}  // namespace

std::shared_ptr<SharedSegment> SharedSegment::make(Display *display, Visual *visual, int depth, int width, int height) {
    std::shared_ptr<SharedSegment> segment(new SharedSegment(display));
    if (!segment->attach(visual, depth, width, height)) return nullptr;
    return segment;
}

SharedSegment::SharedSegment(Display *display) : display_(display) {}

// The image keeps a pointer to `info_`: the segment stays where it was made.
bool SharedSegment::attach(Visual *visual, int depth, int width, int height) {
    image_ =
        XShmCreateImage(display_, visual, unsigned(depth), ZPixmap, nullptr, &info_, unsigned(width), unsigned(height));
    if (!image_ || image_->bits_per_pixel != 32 || image_->bytes_per_line != width * 4) return false;
    info_.shmid = shmget(IPC_PRIVATE, size_t(image_->bytes_per_line) * size_t(height), IPC_CREAT | 0600);
    if (info_.shmid < 0) return false;
    void *memory = shmat(info_.shmid, nullptr, 0);
    // The segment goes when the last of this process and the server lets go.
    shmctl(info_.shmid, IPC_RMID, nullptr);
    if (memory == reinterpret_cast<void *>(-1)) return false;
    info_.shmaddr = image_->data = static_cast<char *>(memory);
    info_.readOnly = True;
    XSync(display_, False);  // errors of requests before this go to their own handler
    attachRefused = false;
    XErrorHandler before = XSetErrorHandler(noteRefusal);
    Status status = XShmAttach(display_, &info_);
    XSync(display_, False);
    XSetErrorHandler(before);
    attached_ = status && !attachRefused;
    return attached_;
}

SharedSegment::~SharedSegment() {
    if (attached_) {
        XShmDetach(display_, &info_);
        XSync(display_, False);  // the server has let go of it
    }
    if (info_.shmaddr) shmdt(info_.shmaddr);
    if (image_) {
        image_->data = nullptr;  // the segment's, not Xlib's to free
        XDestroyImage(image_);
    }
}

uint32_t *SharedSegment::pixels() { return reinterpret_cast<uint32_t *>(image_->data); }

void SharedSegment::waitUntilFree() {
    if (lastPut_ && !putDone()) XSync(display_, False);
}

void SharedSegment::put(Drawable drawable, GC gc, int x, int y) {
    XShmPutImage(display_, drawable, gc, image_, 0, 0, x, y, unsigned(width()), unsigned(height()), True);
    lastPut_ = NextRequest(display_) - 1;
}

bool SharedSegment::putDone() const {
    if (XLastKnownRequestProcessed(display_) >= lastPut_) return true;
    XEventsQueued(display_, QueuedAfterReading);  // what the server has sent, without waiting
    return XLastKnownRequestProcessed(display_) >= lastPut_;
}

}  // namespace rb::screen
