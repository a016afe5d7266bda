// The video pipeline and the hand-over of its frames.
#include "video.h"

#include <gst/pbutils/missing-plugins.h>
#include <gst/video/video.h>

#include <algorithm>
#include <cstring>

namespace grab {

namespace {

// Everything after the source: one conversion to the picture's own ARGB
// bytes (none where the source gives them), then the preview's format,
// 0x00RRGGBB words in this machine's byte order, from those.
#if G_BYTE_ORDER == G_LITTLE_ENDIAN
#define TAVRIN_PREVIEW_FORMAT "BGRx"
#else
#define TAVRIN_PREVIEW_FORMAT "xRGB"
#endif
const char kRest[] =
    "videoconvert ! video/x-raw,format=ARGB ! videobalance name=tavrin_balance ! tee name=tavrin_tee "
    "tavrin_tee. ! queue max-size-buffers=3 max-size-bytes=0 max-size-time=0 "
    "! appsink name=tavrin_grab max-buffers=1 drop=true caps=video/x-raw,format=ARGB "
    "tavrin_tee. ! queue max-size-buffers=3 max-size-bytes=0 max-size-time=0 ! videoscale add-borders=false "
    "! videoconvert ! capsfilter name=tavrin_preview_caps caps=video/x-raw,format=" TAVRIN_PREVIEW_FORMAT
    " ! appsink name=tavrin_preview max-buffers=1 drop=true";

// A frame later than this on a synced sink is dropped, so a clip keeps to
// its clock rather than falling behind it.
constexpr GstClockTimeDiff kMaxLateness = 20 * GST_MSECOND;

int64_t steadyMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What a parse failure means to the user.
std::string parseFailure(GError *error, GstParseContext *context) {
    if (error && g_error_matches(error, GST_PARSE_ERROR, GST_PARSE_ERROR_NO_SUCH_ELEMENT) && context) {
        if (gchar **missing = gst_parse_context_get_missing_elements(context)) {
            std::string text = missing[0] ? missingElementText(missing[0]) : std::string();
            g_strfreev(missing);
            if (!text.empty()) return text;
        }
    }
    return std::string("the video source cannot be built: ") + (error ? error->message : "unknown error");
}

// A frame mapped for reading, with its layout.
struct MappedFrame {
    GstVideoInfo info;
    GstVideoFrame frame;
    bool ok = false;
    explicit MappedFrame(GstSample *sample) {
        GstCaps *caps = gst_sample_get_caps(sample);
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        ok = caps && buffer && gst_video_info_from_caps(&info, caps) &&
             gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ);
    }
    ~MappedFrame() {
        if (ok) gst_video_frame_unmap(&frame);
    }
    MappedFrame(const MappedFrame &) = delete;
    MappedFrame &operator=(const MappedFrame &) = delete;
    int width() const { return int(GST_VIDEO_INFO_WIDTH(&info)); }
    int height() const { return int(GST_VIDEO_INFO_HEIGHT(&info)); }
    const uint8_t *row(int y) const {
        return static_cast<const uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)) +
               size_t(y) * size_t(GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0));
    }
    bool tight() const { return GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0) == width() * 4; }
};

// Scales (and, were the formats to differ, converts) `src` into ARGB bytes
// at `dst`, with GStreamer's converter.
bool scaleInto(MappedFrame &src, uint8_t *dst, int width, int height) {
    GstVideoInfo out;
    if (!gst_video_info_set_format(&out, GST_VIDEO_FORMAT_ARGB, guint(width), guint(height))) return false;
    out.fps_n = src.info.fps_n, out.fps_d = src.info.fps_d;  // the converter scales pictures, not time
    size_t bytes = size_t(width) * size_t(height) * 4;
    if (GST_VIDEO_INFO_SIZE(&out) != bytes) return false;
    GstBuffer *wrapped = gst_buffer_new_wrapped_full(GstMemoryFlags(0), dst, bytes, 0, bytes, nullptr, nullptr);
    GstVideoFrame target;
    bool ok = gst_video_frame_map(&target, &out, wrapped, GST_MAP_WRITE);
    if (ok) {
        if (GstVideoConverter *conv = gst_video_converter_new(&src.info, &out, nullptr)) {
            gst_video_converter_frame(conv, &src.frame, &target);
            gst_video_converter_free(conv);
        } else {
            ok = false;
        }
        gst_video_frame_unmap(&target);
    }
    gst_buffer_unref(wrapped);
    return ok;
}

}  // namespace

std::unique_ptr<Video> Video::start(const Source &source, MicrosecondsFn clock, std::chrono::milliseconds firstFrame,
                                    std::string *why) {
    std::unique_ptr<Video> v(new Video);
    if (!v->build(source, why)) return nullptr;
    if (clock) {
        GstClock *c = newHostClock(clock);
        gst_pipeline_use_clock(GST_PIPELINE(v->pipeline_), c);
        gst_object_unref(c);
    }

    // A live source does not preroll: its frames are handed over as the
    // device makes them. A file is played on the clock.
    GstStateChangeReturn ret = gst_element_set_state(v->pipeline_, GST_STATE_PAUSED);
    v->live_ = ret == GST_STATE_CHANGE_NO_PREROLL;
    for (GstElement *sink : {v->grabSink_, v->previewSink_})
        g_object_set(sink, "sync", gboolean(!v->live_), "max-lateness", gint64(kMaxLateness), nullptr);
    if (ret != GST_STATE_CHANGE_FAILURE) ret = gst_element_set_state(v->pipeline_, GST_STATE_PLAYING);

    auto deadline = std::chrono::steady_clock::now() + firstFrame;
    {
        std::unique_lock lock(v->mu_);
        if (ret == GST_STATE_CHANGE_FAILURE && !v->failed_) v->why_ = "the video source cannot be started", v->failed_ = true;
        v->arrived_.wait_until(lock, deadline, [&] { return v->grab_.count > 0 || v->failed_; });
        if (v->failed_ || v->grab_.count == 0) {
            *why = v->failed_ ? v->why_ : "no picture came from the video source";
            return nullptr;
        }
    }
    // Running, with its clock's time taken as the start, before it is handed
    // over: a clock moved from now on moves the video.
    auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - std::chrono::steady_clock::now());
    gst_element_get_state(v->pipeline_, nullptr, nullptr, GstClockTime(std::max<int64_t>(left.count(), 0)));
    return v;
}

bool Video::build(const Source &source, std::string *why) {
    GstParseContext *context = gst_parse_context_new();
    GError *error = nullptr;
    if (source.kind == Source::Description) {
        std::string text = source.description + " ! " + kRest;
        pipeline_ = gst_parse_launch_full(text.c_str(), context, GST_PARSE_FLAG_FATAL_ERRORS, &error);
        if (pipeline_ && !GST_IS_PIPELINE(pipeline_)) {
            gst_object_unref(pipeline_);
            pipeline_ = nullptr;
        }
    } else if (source.kind == Source::Device && source.device) {
        GstElement *bin = gst_parse_bin_from_description_full(kRest, TRUE, context, GST_PARSE_FLAG_FATAL_ERRORS, &error);
        GstElement *src = gst_device_create_element(source.device, "tavrin_source");
        if (bin && src) {
            pipeline_ = gst_pipeline_new("tavrin");
            gst_bin_add_many(GST_BIN(pipeline_), src, bin, nullptr);
            if (!gst_element_link(src, bin)) {
                gst_object_unref(pipeline_);
                pipeline_ = nullptr;
                *why = "the video device " + source.deviceName + " gives no video that can be shown";
            }
        } else {
            if (bin) gst_object_unref(bin);
            if (src) gst_object_unref(src);
            if (!error) *why = "the video device " + source.deviceName + " cannot be opened";
        }
    }
    if (!pipeline_) {
        if (why->empty()) *why = parseFailure(error, context);
        if (error) g_error_free(error);
        gst_parse_context_free(context);
        return false;
    }
    if (error) g_error_free(error);
    gst_parse_context_free(context);

    grabSink_ = gst_bin_get_by_name(GST_BIN(pipeline_), "tavrin_grab");
    previewSink_ = gst_bin_get_by_name(GST_BIN(pipeline_), "tavrin_preview");
    previewCaps_ = gst_bin_get_by_name(GST_BIN(pipeline_), "tavrin_preview_caps");
    balance_ = gst_bin_get_by_name(GST_BIN(pipeline_), "tavrin_balance");
    if (!grabSink_ || !previewSink_ || !previewCaps_ || !balance_) {
        *why = "the video source cannot be built: it names an element of the grabber's own";
        return false;
    }
    GstAppSinkCallbacks grab{};
    grab.new_sample = onGrabSample;
    grab.new_preroll = onGrabPreroll;
    gst_app_sink_set_callbacks(GST_APP_SINK(grabSink_), &grab, this, nullptr);
    GstAppSinkCallbacks preview{};
    preview.new_sample = onPreviewSample;
    preview.new_preroll = onPreviewPreroll;
    gst_app_sink_set_callbacks(GST_APP_SINK(previewSink_), &preview, this, nullptr);
    GstBus *bus = gst_element_get_bus(pipeline_);
    gst_bus_set_sync_handler(bus, onBusMessage, this, nullptr);
    gst_object_unref(bus);
    return true;
}

Video::~Video() {
    if (pipeline_) {
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        GstBus *bus = gst_element_get_bus(pipeline_);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
    }
    for (GstElement *e : {grabSink_, previewSink_, previewCaps_, balance_})
        if (e) gst_object_unref(e);
    if (pipeline_) gst_object_unref(pipeline_);
    for (Slot *s : {&grab_, &preview_})
        if (s->sample) gst_sample_unref(s->sample);
}

// ---- GStreamer's threads -------------------------------------------------------------

void Video::take(Slot &slot, GstSample *sample, bool preroll) {
    if (!sample) return;
    int64_t now = steadyMicros();
    {
        std::lock_guard lock(mu_);
        // A file's first frame comes as its preroll, before it plays. A pause
        // later prerolls the frame after the one shown, which waits for its
        // time: the one shown stays.
        if (!preroll || slot.count == 0) {
            std::swap(slot.sample, sample);
            ++slot.count;
            slot.deliveredUs = now;
        }
    }
    arrived_.notify_all();
    if (sample) gst_sample_unref(sample);  // the one it replaced, or the preroll not taken
}

void Video::fail(const std::string &why) {
    {
        std::lock_guard lock(mu_);
        if (failed_) return;
        failed_ = true;
        why_ = missing_.empty() ? why : why + " (missing: " + missing_ + ")";
    }
    arrived_.notify_all();
}

GstFlowReturn Video::onGrabSample(GstAppSink *sink, gpointer self) {
    static_cast<Video *>(self)->take(static_cast<Video *>(self)->grab_, gst_app_sink_pull_sample(sink), false);
    return GST_FLOW_OK;
}

GstFlowReturn Video::onGrabPreroll(GstAppSink *sink, gpointer self) {
    static_cast<Video *>(self)->take(static_cast<Video *>(self)->grab_, gst_app_sink_pull_preroll(sink), true);
    return GST_FLOW_OK;
}

GstFlowReturn Video::onPreviewSample(GstAppSink *sink, gpointer self) {
    static_cast<Video *>(self)->take(static_cast<Video *>(self)->preview_, gst_app_sink_pull_sample(sink), false);
    return GST_FLOW_OK;
}

GstFlowReturn Video::onPreviewPreroll(GstAppSink *sink, gpointer self) {
    static_cast<Video *>(self)->take(static_cast<Video *>(self)->preview_, gst_app_sink_pull_preroll(sink), true);
    return GST_FLOW_OK;
}

GstBusSyncReply Video::onBusMessage(GstBus *, GstMessage *message, gpointer self) {
    auto *v = static_cast<Video *>(self);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        GError *error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        v->fail(error ? error->message : "the video source failed");
        if (error) g_error_free(error);
        break;
    }
    case GST_MESSAGE_EOS:
        v->fail("the video source has ended");
        break;
    case GST_MESSAGE_ELEMENT:
        if (gst_is_missing_plugin_message(message)) {
            gchar *what = gst_missing_plugin_message_get_description(message);
            std::lock_guard lock(v->mu_);
            if (what && v->missing_.empty()) v->missing_ = what;
            g_free(what);
        }
        break;
    default:
        break;
    }
    gst_message_unref(message);  // a handler that drops a message frees it
    return GST_BUS_DROP;
}

// ---- the main thread ----------------------------------------------------------------

bool Video::failed(std::string *why) const {
    std::lock_guard lock(mu_);
    if (why) *why = why_;
    return failed_;
}

uint64_t Video::frames() const {
    std::lock_guard lock(mu_);
    return grab_.count;
}

void Video::frameSize(int *width, int *height) const {
    *width = *height = 0;
    GstSample *sample = nullptr;
    {
        std::lock_guard lock(mu_);
        if (grab_.sample) sample = gst_sample_ref(grab_.sample);
    }
    if (!sample) return;
    GstVideoInfo info;
    if (GstCaps *caps = gst_sample_get_caps(sample); caps && gst_video_info_from_caps(&info, caps))
        *width = int(GST_VIDEO_INFO_WIDTH(&info)), *height = int(GST_VIDEO_INFO_HEIGHT(&info));
    gst_sample_unref(sample);
}

bool Video::copyFrame(uint8_t *argb, int width, int height, int64_t *deliveredUs) const {
    GstSample *sample = nullptr;
    {
        std::lock_guard lock(mu_);
        if (grab_.sample) sample = gst_sample_ref(grab_.sample);
        if (deliveredUs) *deliveredUs = grab_.deliveredUs;
    }
    if (!sample) return false;
    bool ok = false;
    {
        MappedFrame src(sample);
        if (src.ok && src.width() == width && src.height() == height) {
            size_t rowBytes = size_t(width) * 4;
            if (src.tight()) {
                std::memcpy(argb, src.row(0), rowBytes * size_t(height));
            } else {
                for (int y = 0; y < height; ++y) std::memcpy(argb + rowBytes * size_t(y), src.row(y), rowBytes);
            }
            ok = true;
        } else if (src.ok) {
            ok = scaleInto(src, argb, width, height);
        }
    }
    gst_sample_unref(sample);
    return ok;
}

bool Video::withNewPreview(uint64_t *seen, const std::function<void(const uint32_t *, int, int)> &paint) const {
    GstSample *sample = nullptr;
    {
        std::lock_guard lock(mu_);
        if (!preview_.sample || preview_.count == *seen) return false;
        sample = gst_sample_ref(preview_.sample);
        *seen = preview_.count;
    }
    bool ok = false;
    {
        MappedFrame frame(sample);
        if (frame.ok && frame.tight() && GST_VIDEO_FRAME_COMP_PSTRIDE(&frame.frame, 0) == 4 &&
            reinterpret_cast<uintptr_t>(frame.row(0)) % alignof(uint32_t) == 0) {
            paint(reinterpret_cast<const uint32_t *>(frame.row(0)), frame.width(), frame.height());
            ok = true;
        }
    }
    gst_sample_unref(sample);
    return ok;
}

void Video::setPreviewSize(int width, int height) {
    GstCaps *caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, TAVRIN_PREVIEW_FORMAT, "width",
                                        G_TYPE_INT, width, "height", G_TYPE_INT, height, "pixel-aspect-ratio",
                                        GST_TYPE_FRACTION, 1, 1, nullptr);
    g_object_set(previewCaps_, "caps", caps, nullptr);
    gst_caps_unref(caps);
}

void Video::setControls(const PictureControls &c) {
    g_object_set(balance_, "brightness", (c.brightness - 50) / 50.0, "contrast", c.contrast / 50.0, "saturation",
                 c.saturation / 50.0, nullptr);
}

void Video::pause() { gst_element_set_state(pipeline_, GST_STATE_PAUSED); }
void Video::play() { gst_element_set_state(pipeline_, GST_STATE_PLAYING); }

}  // namespace grab
