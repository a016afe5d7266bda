// Painting into a host window's video surface. The host's window model
// (rb/ui.h) is used only for the surface's layout; nothing of the host
// runtime is linked.
#include "host.h"
#include "members.h"

#include <rb/ui.h>

#include <algorithm>

namespace grab {

bool paintWindow(REALobject window, int left, int top, int width, int height, const uint32_t *pixels) {
    auto *w = static_cast<rb::Window *>(windowHandle(window));
    if (!w || width < 1 || height < 1) return false;
    w->surface.area = {left, top, width, height};
    w->surface.pixels.assign(pixels, pixels + size_t(width) * size_t(height));
    return true;
}

}  // namespace grab
