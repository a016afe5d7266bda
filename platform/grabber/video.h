// One running video pipeline: the source, then
//
//   videoconvert ! BGRx ! videobalance ! appsink
//
// so the frames arrive in the X server's own pixel words (converted once, or
// not at all where the source gives them; xRGB on a big-endian machine). The
// preview at the frame's size is those words as they came; at another size
// GStreamer's converter scales them when the window is painted. GrabPicture
// turns a frame into the picture's ARGB bytes, with the same converter.
// Frames arrive on GStreamer's threads; the sink keeps only the newest,
// handed over under a lock, and the members return at once (only starting
// and stopping the pipeline wait for GStreamer). A file or clip runs at its
// own rate on the pipeline's clock (its sink is synced to it); a live source
// is paced by the device, and its frames are handed over as they come.
//
// An error on the pipeline or its end of stream makes it `failed` for good.
#pragma once

#include "hostclock.h"
#include "settings.h"
#include "source.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace grab {

class Video {
public:
    // Builds the pipeline for `source` (on `clock` when given, else
    // GStreamer's system clock), starts it and waits up to `firstFrame` for
    // its first frame. nullptr, with the reason in `why`, when it cannot be
    // built or started, fails, or brings no frame in time.
    static std::unique_ptr<Video> start(const Source &source, MicrosecondsFn clock,
                                        std::chrono::milliseconds firstFrame, std::string *why);
    ~Video();
    Video(const Video &) = delete;
    Video &operator=(const Video &) = delete;

    // The pipeline reported an error or reached its end; `why` says which.
    bool failed(std::string *why = nullptr) const;
    bool live() const { return live_; }
    // The size of the newest frame.
    void frameSize(int *width, int *height) const;
    // Frames delivered so far.
    uint64_t frames() const;

    // Copies the newest frame as ARGB bytes, `width` x `height` pixels with
    // rows width*4 apart, scaled when its own size differs. `deliveredUs` gets
    // when it arrived (steady clock, microseconds). False when there is none.
    bool copyFrame(uint8_t *argb, int width, int height, int64_t *deliveredUs = nullptr) const;

    // When the newest frame is newer than `*seen`, calls `paint` with it at
    // `width` x `height` in 0x00RRGGBB words (the top byte undefined), rows
    // width apart, and moves `*seen` on. Only one thread paints.
    bool withNewPreview(uint64_t *seen, int width, int height, const std::function<void(const uint32_t *)> &paint);

    void setControls(const PictureControls &c);
    // Returns once the pipeline has paused (200 ms at most), so the pause
    // falls where the clock stood at the call.
    void pause();
    void play();

private:
    struct Slot {
        GstSample *sample = nullptr;
        uint64_t count = 0;
        int64_t deliveredUs = 0;
    };

    Video() = default;
    bool build(const Source &source, std::string *why);
    void take(GstSample *sample, bool preroll);
    void fail(const std::string &why);
    static GstFlowReturn onSample(GstAppSink *sink, gpointer self);
    static GstFlowReturn onPreroll(GstAppSink *sink, gpointer self);
    static GstBusSyncReply onBusMessage(GstBus *bus, GstMessage *message, gpointer self);

    GstElement *pipeline_ = nullptr;
    GstElement *sink_ = nullptr, *balance_ = nullptr;
    bool live_ = false;
    // The painting thread's: the frames' caps and their layout, the
    // preview's pixels and the converter that makes them, kept while the
    // caps and sizes stay.
    GstCaps *previewCaps_ = nullptr;
    GstVideoInfo previewInfo_{};
    std::vector<uint32_t> preview_;
    GstVideoConverter *converter_ = nullptr;
    GstVideoInfo converterIn_{}, converterOut_{};

    mutable std::mutex mu_;
    std::condition_variable arrived_;
    Slot grab_;
    bool failed_ = false;
    std::string why_, missing_;
};

}  // namespace grab
