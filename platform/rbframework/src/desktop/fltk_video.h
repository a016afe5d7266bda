// The live video of an on-screen window: the model window's surface, where
// the grabber painted it (in memory the presenter lends it), handed to the X
// server as it is (video_presenter.h). Where no control lies over the
// surface it is shown in a child window of its own, which the server paints
// straight from the frame; else it is drawn in its place among the
// controls, under them, and reaches the screen with them.
#pragma once

#include <rb/ui.h>

#include <FL/Fl_Widget.H>

#include <cstdint>
#include <memory>

namespace rb::screen {

class VideoPresenter;

class VideoArea : public Fl_Widget {
public:
    // Made among the window's widgets, before its controls' (so drawn under
    // them); `top` is where the model's content starts in the FLTK window.
    VideoArea(Window &model, int top);
    ~VideoArea() override;
    void draw() override;

    // Follows the surface's place, and shows it again when it was painted
    // since it was last shown.
    void follow();

    // Memory for the surface's next picture, of `width` x `height`, that
    // the server shows it from; nullptr where there is none.
    std::shared_ptr<SurfaceMemory> memoryFor(int width, int height);

private:
    class Own;
    bool underControls() const;
    // Draws the surface at (x, y) of the current drawable.
    void drawAt(int x, int y);
    VideoPresenter &presenter();

    Window &model_;
    int top_;
    uint64_t followed_ = 0;
    Own *own_ = nullptr;  // the child window, one of the FLTK window's widgets
    bool inOwn_ = false;  // the surface shows in it
    std::unique_ptr<VideoPresenter> presenter_;
};

}  // namespace rb::screen
