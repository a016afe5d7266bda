// Puts the video surface's words on an X drawable as they are: on a
// TrueColor visual of depth 24 with red, green and blue in the low three
// bytes (what a PC's X server offers), a 0x00RRGGBB word is the server's own
// pixel, so a frame goes to the server without a conversion. It goes through
// a shared-memory segment (MIT-SHM) where the server offers the extension and
// can reach the segment, else through the connection (XPutImage: a remote
// display, a server without the extension).
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstdint>

namespace rb::screen {

class VideoPresenter {
public:
    // `visual` and `depth`: those of the drawables drawn on.
    VideoPresenter(Display *display, Visual *visual, int depth);
    ~VideoPresenter();
    VideoPresenter(const VideoPresenter &) = delete;
    VideoPresenter &operator=(const VideoPresenter &) = delete;

    // Whether the words are this visual's pixels; when not, draw() draws
    // nothing and the caller draws the frame another way.
    bool takesWords() const { return takesWords_; }

    // Draws `width` x `height` words, row after row, at (x, y) of
    // `drawable` through `gc` (its clipping applies); false when it cannot.
    bool draw(Drawable drawable, GC gc, int x, int y, int width, int height, const uint32_t *words);

    // Whether frames go through shared memory (known after the first draw).
    bool sharedMemory() const { return segment_ != nullptr; }

private:
    bool makeSegment(int width, int height);
    // Whether the server has read the segment for the last frame put.
    bool putDone() const;
    void dropSegment();
    bool drawThroughConnection(Drawable drawable, GC gc, int x, int y, int width, int height, const uint32_t *words);

    Display *display_;
    Visual *visual_;
    int depth_;
    bool takesWords_ = false;
    bool shmOffered_ = false;    // the server has MIT-SHM and has not refused a segment yet
    XImage *segment_ = nullptr;  // the image over the attached segment
    XShmSegmentInfo info_{};
    unsigned long lastPut_ = 0;  // the request that last read the segment
};

}  // namespace rb::screen
