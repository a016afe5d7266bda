// A picture's pixels in a shared-memory segment the X server has attached
// (MIT-SHM): put on a drawable by the server straight from the segment, and
// lent to a window's video surface, so that a frame is painted where the
// server reads it. The server reads a put's pixels after the request, so
// they are painted over only once it tells it has (its completion event,
// which the toolkit's loop takes and ignores, and by then it mostly has).
#pragma once

#include <rb/video_surface.h>

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstdint>
#include <memory>

namespace rb::screen {

class SharedSegment : public SurfaceMemory {
public:
    // A segment of `width` x `height` pixels of `visual` at `depth` (32
    // bits each, rows width*4 apart), or nullptr where the server cannot
    // attach one (its errors are caught meanwhile).
    static std::shared_ptr<SharedSegment> make(Display *display, Visual *visual, int depth, int width, int height);
    ~SharedSegment() override;
    SharedSegment(const SharedSegment &) = delete;
    SharedSegment &operator=(const SharedSegment &) = delete;

    int width() const { return image_->width; }
    int height() const { return image_->height; }
    uint32_t *pixels() override;
    void waitUntilFree() override;
    // Has the server draw the pixels at (x, y) of `drawable` through `gc`.
    void put(Drawable drawable, GC gc, int x, int y);

private:
    explicit SharedSegment(Display *display);
    bool attach(Visual *visual, int depth, int width, int height);
    // Whether the server has read the pixels for the last put.
    bool putDone() const;

    Display *display_;
    XImage *image_ = nullptr;
    XShmSegmentInfo info_{};
    bool attached_ = false;
    unsigned long lastPut_ = 0;  // the request that last read the segment
};

}  // namespace rb::screen
