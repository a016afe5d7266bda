// Puts the video surface's words on an X drawable as they are: on a
// TrueColor visual of depth 24 with red, green and blue in the low three
// bytes (what a PC's X server offers), a 0x00RRGGBB word is the server's own
// pixel, so a frame goes to the server without a conversion. It goes through
// a shared-memory segment (MIT-SHM) where the server offers the extension and
// can reach the segment, else through the connection (XPutImage: a remote
// display, a server without the extension). The segment is lent to the
// window's surface, so that a frame is painted into it and goes to the
// server from there, uncopied.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <memory>

namespace rb {
class SurfaceMemory;
}

namespace rb::screen {

class SharedSegment;

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

    // Memory for a `width` x `height` frame that draw() puts as it stands:
    // the segment frames go through, or nullptr where they go through the
    // connection.
    std::shared_ptr<SurfaceMemory> memoryFor(int width, int height);

private:
    // The segment for frames of the size, where the server takes one.
    SharedSegment *segmentFor(int width, int height);
    bool drawThroughConnection(Drawable drawable, GC gc, int x, int y, int width, int height, const uint32_t *words);

    Display *display_;
    Visual *visual_;
    int depth_;
    bool takesWords_ = false;
    bool shmOffered_ = false;  // the server has MIT-SHM and has not refused a segment yet
    std::shared_ptr<SharedSegment> segment_;
};

}  // namespace rb::screen
