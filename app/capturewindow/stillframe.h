// A grabbed frame as the capture keeps it in memory: packed 24-bit RGB rows
// of the source size, three bytes a pixel and nothing more, so that a long
// capture holds frame count + 1 frames of that size. It is saved through a
// 24-bit picture over those same rows: nothing is widened or copied.
#pragma once

#include <rb/object.h>

#include <cstdint>
#include <memory>

namespace tavrin {

class StillFrame {
public:
    // A width x height frame (white), with `pic` drawn into it at (0, 0) at
    // its own size, clipped. Nothing when the memory cannot be had or `pic`
    // is not a picture.
    static std::shared_ptr<StillFrame> fromPicture(REALobject pic, int32_t width, int32_t height);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    // The frame as a 24-bit picture over its own rows, which the picture
    // keeps alive; nil when that cannot be made.
    rb::ObjRef picture() const;
    // One pixel as 0x00RRGGBB (0 outside the frame).
    uint32_t pixel(int32_t x, int32_t y) const;

private:
    StillFrame() = default;
    int32_t width_ = 0, height_ = 0;
    std::shared_ptr<uint8_t[]> rgb_;
};

}  // namespace tavrin
