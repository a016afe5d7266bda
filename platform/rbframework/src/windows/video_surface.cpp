// A window's video surface (rb/video_surface.h).
#include <rb/video_surface.h>

#include <algorithm>

namespace rb {

std::span<const uint32_t> VideoSurface::pixels() const {
    size_t count = area.width > 0 && area.height > 0 ? size_t(area.width) * size_t(area.height) : 0;
    if (lent_) return {lent_->pixels(), count};
    return {own_.data(), std::min(count, own_.size())};
}

uint32_t *VideoSurface::repaint(const Rect &a, std::shared_ptr<SurfaceMemory> lent) {
    area = a;
    size_t count = a.width > 0 && a.height > 0 ? size_t(a.width) * size_t(a.height) : 0;
    lent_ = std::move(lent);
    if (lent_) {
        std::vector<uint32_t>().swap(own_);
        lent_->waitUntilFree();
        return lent_->pixels();
    }
    own_.resize(count);
    return own_.data();
}

}  // namespace rb
