// A window's video surface: the pixels a grabber (or a drawing into the
// window's port) last painted there, 0x00RRGGBB, row-major,
// area.width x area.height of them (the top byte as the painter handed it
// in, shown by nothing). They live in memory of the surface's own, or in
// memory a display lends it, so that the display shows them from where they
// were painted (an X server's shared-memory segment) without a copy.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace rb {

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
};

// Memory a display lends a surface, for a size of picture.
class SurfaceMemory {
public:
    virtual ~SurfaceMemory() = default;
    // Room for the pixels of the size it was lent for.
    virtual uint32_t *pixels() = 0;
    // Returns once the display reads the pixels no longer (it may still be
    // showing the last ones), so that they can be painted over.
    virtual void waitUntilFree() = 0;
};

class VideoSurface {
public:
    Rect area;
    uint64_t paintings = 0;  // counted, so that a screen shows each painting once

    // The pixels painted last; empty before any.
    std::span<const uint32_t> pixels() const;

    // Sets the area and returns room for its pixels, to be painted over
    // (then counted in `paintings`): in `lent` when given, else in the
    // surface's own memory. Whatever was lent before is let go.
    uint32_t *repaint(const Rect &area, std::shared_ptr<SurfaceMemory> lent = nullptr);

private:
    std::vector<uint32_t> own_;
    std::shared_ptr<SurfaceMemory> lent_;
};

}  // namespace rb
