// The live video of an on-screen window (fltk_video.h).
#include "desktop/fltk_video.h"

#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

// After the toolkit: it brings Xlib.
#include "desktop/video_presenter.h"

#include <algorithm>

namespace rb::screen {

namespace {

bool overlap(const Rect &a, const Rect &b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

// Row `y` of `s` from `x` on, `n` pixels, as packed RGB.
void rgbRow(void *surface, int x, int y, int n, uchar *out) {
    const Window::Surface &s = *static_cast<const Window::Surface *>(surface);
    const uint32_t *row = s.pixels().data() + size_t(y) * size_t(s.area.width) + size_t(x);
    for (int i = 0; i < n; ++i, out += 3)
        out[0] = uchar(row[i] >> 16), out[1] = uchar(row[i] >> 8), out[2] = uchar(row[i]);
}

}  // namespace

// The child window the surface shows in where no control lies over it.
class VideoArea::Own : public Fl_Window {
public:
    explicit Own(VideoArea &area) : Fl_Window(0, 0, 1, 1), area_(area) {
        end();
        clear_visible();
    }
    void draw() override { area_.drawAt(0, 0); }

private:
    VideoArea &area_;
};

VideoArea::VideoArea(Window &model, int top) : Fl_Widget(0, top, 1, 1), model_(model), top_(top) {
    own_ = new Own(*this);  // a sibling, in the window being built
}

// The window's widgets go with it, the child window among them.
VideoArea::~VideoArea() = default;

// Where the surface is, also before the widget has followed it there.
void VideoArea::draw() {
    if (!inOwn_) drawAt(model_.surface.area.left, top_ + model_.surface.area.top);
}

VideoPresenter &VideoArea::presenter() {
    if (!presenter_) presenter_ = std::make_unique<VideoPresenter>(fl_display, fl_visual->visual, fl_visual->depth);
    return *presenter_;
}

std::shared_ptr<SurfaceMemory> VideoArea::memoryFor(int width, int height) {
    return presenter().memoryFor(width, height);
}

void VideoArea::drawAt(int x, int y) {
    const Window::Surface &s = model_.surface;
    if (s.area.width < 1 || s.area.height < 1 || s.pixels().size() < size_t(s.area.width) * size_t(s.area.height))
        return;
    if (presenter().draw(fl_window, fl_gc, x, y, s.area.width, s.area.height, s.pixels().data())) return;
    // A visual of another layout: FLTK makes its pixels of the rows.
    fl_draw_image(rgbRow, const_cast<Window::Surface *>(&s), x, y, s.area.width, s.area.height, 3);
}

bool VideoArea::underControls() const {
    // A rectangle draws nothing on screen (the main window's video area is one).
    for (const auto &c : model_.controls())
        if (c->visible() && c->kind() != ControlKind::Rectangle && overlap(c->bounds(), model_.surface.area))
            return true;
    return false;
}

void VideoArea::follow() {
    const Window::Surface &s = model_.surface;
    bool painted = s.paintings != followed_;
    followed_ = s.paintings;
    int x = s.area.left, y = top_ + s.area.top, w = std::max(1, s.area.width), h = std::max(1, s.area.height);
    resize(x, y, w, h);
    bool own = !s.pixels().empty() && s.area.width > 0 && s.area.height > 0 && !underControls();
    if (own && (own_->x() != x || own_->y() != y || own_->w() != w || own_->h() != h)) own_->resize(x, y, w, h);
    if (own != inOwn_) {
        inOwn_ = own;
        if (!own) {
            own_->hide();
        } else if (window() && window()->shown()) {
            own_->show();
        } else {
            own_->set_visible();  // shown with the window
        }
        painted = true;
    }
    if (!painted) return;
    if (own) {
        own_->redraw();
    } else if (Fl_Window *win = window()) {
        // Its place with all that lies there, the controls over it too.
        win->damage(FL_DAMAGE_ALL, x, y, w, h);
    }
}

}  // namespace rb::screen
