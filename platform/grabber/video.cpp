// The video pipeline and the hand-over of its frames.
#include "video.h"

#include "handover.h"
#include "v4l2inputs.h"

#include <gst/pbutils/missing-plugins.h>
#include <gst/video/video.h>

#include <algorithm>
#include <vector>

namespace grab {

namespace {

// Everything after the source: one conversion to the X server's own pixel
// words, 0x00RRGGBB in this machine's byte order with a top byte that means
// nothing (none where the source gives them). The preview shows them as they
// are; a grab turns them into the picture's ARGB bytes.
#if G_BYTE_ORDER == G_LITTLE_ENDIAN
#define TAVRIN_FRAME_FORMAT "BGRx"
constexpr GstVideoFormat kFrameFormat = GST_VIDEO_FORMAT_BGRx;
#else
#define TAVRIN_FRAME_FORMAT "xRGB"
constexpr GstVideoFormat kFrameFormat = GST_VIDEO_FORMAT_xRGB;
#endif
const char kRest[] = "videoconvert ! video/x-raw,format=" TAVRIN_FRAME_FORMAT
                     " ! videobalance name=tavrin_balance "
                     "! appsink name=tavrin_grab max-buffers=1 drop=true caps=video/x-raw,format=" TAVRIN_FRAME_FORMAT;

// A frame later than this on the synced sink is dropped, so a clip keeps to
// its clock rather than falling behind it.
constexpr GstClockTimeDiff kMaxLateness = 20 * GST_MSECOND;

// The converted frames come from a pool that starts with this many: the
// one the grabber holds, the one the sink receives, and one being
// converted. A pool that starts smaller grows to it at some moment of a
// run, at random, and a run's memory with it (a megabyte and more at
// 720x480). The pool may still grow past it where more are in flight.
constexpr guint kFramesInFlight = 3;

// How long a pause waits for the pipeline to settle.
constexpr GstClockTime kPauseWait = 200 * GST_MSECOND;

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

// A frame mapped for reading, with its layout (read from its caps unless
// it is `known`).
struct MappedFrame {
    GstVideoInfo info;
    GstVideoFrame frame;
    bool ok = false;
    explicit MappedFrame(GstSample *sample, const GstVideoInfo *known = nullptr) {
        GstCaps *caps = gst_sample_get_caps(sample);
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        if (known) info = *known;
        ok = caps && buffer && (known || gst_video_info_from_caps(&info, caps)) &&
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

// Wraps `bytes` bytes at `data` as a frame of `info` to write into.
struct TargetFrame {
    GstBuffer *buffer;
    GstVideoFrame frame;
    bool ok;
    TargetFrame(GstVideoInfo *info, void *data, size_t bytes)
        : buffer(gst_buffer_new_wrapped_full(GstMemoryFlags(0), data, bytes, 0, bytes, nullptr, nullptr)),
          ok(GST_VIDEO_INFO_SIZE(info) == bytes && gst_video_frame_map(&frame, info, buffer, GST_MAP_WRITE)) {}
    ~TargetFrame() {
        if (ok) gst_video_frame_unmap(&frame);
        gst_buffer_unref(buffer);
    }
    TargetFrame(const TargetFrame &) = delete;
    TargetFrame &operator=(const TargetFrame &) = delete;
};

// The layout of a picture `width` x `height` in `format`, at the rate of
// `like` and interlaced as it is (the converter scales pictures, not time,
// and takes no interlaced frame into a progressive one: DV is interlaced).
bool targetInfo(GstVideoInfo *out, GstVideoFormat format, int width, int height, const GstVideoInfo &like) {
    if (!gst_video_info_set_interlaced_format(out, format, GST_VIDEO_INFO_INTERLACE_MODE(&like), guint(width),
                                              guint(height)))
        return false;
    GST_VIDEO_INFO_FIELD_ORDER(out) = GST_VIDEO_INFO_FIELD_ORDER(&like);
    out->fps_n = like.fps_n, out->fps_d = like.fps_d;
    return true;
}

// Turns `src`, laid out as `info`, into ARGB bytes at `dst`, `width` x
// `height`, with GStreamer's converter.
bool argbInto(const GstVideoInfo &info, const GstVideoFrame *src, uint8_t *dst, int width, int height) {
    GstVideoInfo out;
    if (!targetInfo(&out, GST_VIDEO_FORMAT_ARGB, width, height, info)) return false;
    TargetFrame target(&out, dst, size_t(width) * size_t(height) * 4);
    if (!target.ok) return false;
    GstVideoConverter *conv = gst_video_converter_new(&info, &out, nullptr);
    if (!conv) return false;
    gst_video_converter_frame(conv, src, &target.frame);
    gst_video_converter_free(conv);
    return true;
}

// Asks what comes before the sink for a pool that starts with
// kFramesInFlight frames (where nothing else proposed one).
GstPadProbeReturn poolFromTheStart(GstPad *, GstPadProbeInfo *info, gpointer) {
    GstQuery *query = GST_PAD_PROBE_INFO_QUERY(info);
    if (GST_QUERY_TYPE(query) != GST_QUERY_ALLOCATION || gst_query_get_n_allocation_pools(query) > 0)
        return GST_PAD_PROBE_OK;
    GstCaps *caps = nullptr;
    gst_query_parse_allocation(query, &caps, nullptr);
    GstVideoInfo video;
    if (caps && gst_video_info_from_caps(&video, caps))
        gst_query_add_allocation_pool(query, nullptr, guint(GST_VIDEO_INFO_SIZE(&video)), kFramesInFlight, 0);
    return GST_PAD_PROBE_OK;
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

    handedOver(v.get());  // to the streaming threads, from here on

    // A live source does not preroll: its frames are handed over as the
    // device makes them. A file is played on the clock.
    GstStateChangeReturn ret = gst_element_set_state(v->pipeline_, GST_STATE_PAUSED);
    v->live_ = ret == GST_STATE_CHANGE_NO_PREROLL;
    g_object_set(v->sink_, "sync", gboolean(!v->live_), "max-lateness", gint64(kMaxLateness), nullptr);
    if (ret != GST_STATE_CHANGE_FAILURE) ret = gst_element_set_state(v->pipeline_, GST_STATE_PLAYING);

    auto deadline = std::chrono::steady_clock::now() + firstFrame;
    {
        std::unique_lock lock(v->mu_);
        if (ret == GST_STATE_CHANGE_FAILURE && !v->failed_)
            v->why_ = "the video source cannot be started", v->failed_ = true;
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
        // The input first (the device keeps it), and the size asked of the
        // device before anything converts it.
        if (source.input >= 0) selectV4l2Input(source.path, source.input);
        std::string rest = kRest;
        if (source.size.width > 0)
            rest = "capsfilter caps=video/x-raw,width=" + std::to_string(source.size.width) +
                   ",height=" + std::to_string(source.size.height) + " ! " + rest;
        GstElement *bin =
            gst_parse_bin_from_description_full(rest.c_str(), TRUE, context, GST_PARSE_FLAG_FATAL_ERRORS, &error);
        GstElement *src = gst_device_create_element(source.device.get(), "tavrin_source");
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

    sink_ = gst_bin_get_by_name(GST_BIN(pipeline_), "tavrin_grab");
    balance_ = gst_bin_get_by_name(GST_BIN(pipeline_), "tavrin_balance");
    if (!sink_ || !balance_) {
        *why = "the video source cannot be built: it names an element of the grabber's own";
        return false;
    }
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = onSample;
    callbacks.new_preroll = onPreroll;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink_), &callbacks, this, nullptr);
    if (GstPad *pad = gst_element_get_static_pad(sink_, "sink")) {
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM, poolFromTheStart, nullptr, nullptr);
        gst_object_unref(pad);
    }
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
    // The streaming threads are stopped; the last of them let go of the lock
    // before this takes it, and nothing of this object is touched after.
    std::lock_guard lock(mu_);
    for (GstElement *e : {sink_, balance_})
        if (e) gst_object_unref(e);
    if (pipeline_) gst_object_unref(pipeline_);
    if (grab_.sample) gst_sample_unref(grab_.sample);
    if (converter_) gst_video_converter_free(converter_);
    if (previewCaps_) gst_caps_unref(previewCaps_);
}

// ---- GStreamer's threads -------------------------------------------------------------

void Video::take(GstSample *sample, bool preroll) {
    Slot &slot = grab_;
    if (!sample) return;
    int64_t now = steadyMicros();
    {
        std::lock_guard lock(mu_);
        // A file's first frame comes as its preroll, before it plays. A pause
        // later prerolls the frame after the one shown, which waits for its
        // time: the one shown stays.
        // The first frame of a live source comes as the preroll and again
        // as a sample: one frame, counted once.
        bool again = slot.sample && gst_sample_get_buffer(slot.sample) == gst_sample_get_buffer(sample);
        if (!preroll || slot.count == 0) {
            std::swap(slot.sample, sample);
            if (!again) ++slot.count, slot.deliveredUs = now;
        }
        arrived_.notify_all();  // under the lock: the waiter may go as soon as it is free
    }
    if (sample) gst_sample_unref(sample);  // the one it replaced, or the preroll not taken
}

void Video::fail(const std::string &why) {
    {
        std::lock_guard lock(mu_);
        if (failed_) return;
        failed_ = true;
        why_ = missing_.empty() ? why : why + " (missing: " + missing_ + ")";
        arrived_.notify_all();
    }
}

GstFlowReturn Video::onSample(GstAppSink *sink, gpointer self) {
    takenOver(self);
    static_cast<Video *>(self)->take(gst_app_sink_pull_sample(sink), false);
    return GST_FLOW_OK;
}

GstFlowReturn Video::onPreroll(GstAppSink *sink, gpointer self) {
    takenOver(self);
    static_cast<Video *>(self)->take(gst_app_sink_pull_preroll(sink), true);
    return GST_FLOW_OK;
}

GstBusSyncReply Video::onBusMessage(GstBus *, GstMessage *message, gpointer self) {
    takenOver(self);
    auto *v = static_cast<Video *>(self);
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ERROR: {
            GError *error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            // Said with the kind of element it came from: "v4l2src: ...".
            std::string from;
            if (GST_IS_ELEMENT(GST_MESSAGE_SRC(message)))
                if (GstElementFactory *f = gst_element_get_factory(GST_ELEMENT(GST_MESSAGE_SRC(message))))
                    from = std::string(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(f))) + ": ";
            v->fail(from + (error ? error->message : "the video source failed"));
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
            ok = argbInto(src.info, &src.frame, argb, width, height);
        } else if (src.ok) {
            // Scaled from the frame's ARGB bytes at its own size (scaled
            // straight from its words, a few levels come out otherwise).
            GstVideoInfo whole;
            std::vector<uint8_t> bytes(size_t(src.width()) * size_t(src.height()) * 4);
            if (targetInfo(&whole, GST_VIDEO_FORMAT_ARGB, src.width(), src.height(), src.info) &&
                argbInto(src.info, &src.frame, bytes.data(), src.width(), src.height())) {
                TargetFrame frame(&whole, bytes.data(), bytes.size());
                ok = frame.ok && argbInto(whole, &frame.frame, argb, width, height);
            }
        }
    }
    gst_sample_unref(sample);
    return ok;
}

bool Video::withNewPreview(uint64_t *seen, int width, int height, const std::function<void(const uint32_t *)> &paint) {
    GstSample *sample = nullptr;
    {
        std::lock_guard lock(mu_);
        if (!grab_.sample || grab_.count == *seen) return false;
        sample = gst_sample_ref(grab_.sample);
        *seen = grab_.count;
    }
    // The frames' layout, read again only when their caps change (the
    // sink's frames share one caps while the pipeline runs).
    GstCaps *caps = gst_sample_get_caps(sample);
    if (caps && caps != previewCaps_) {
        if (previewCaps_) gst_caps_unref(previewCaps_);
        previewCaps_ = gst_video_info_from_caps(&previewInfo_, caps) ? gst_caps_ref(caps) : nullptr;
    }
    bool ok = false, painted = false;
    {
        MappedFrame src(sample, caps && caps == previewCaps_ ? &previewInfo_ : nullptr);
        GstVideoInfo out;
        size_t pixels = size_t(width) * size_t(height);
        if (src.ok && src.width() == width && src.height() == height && src.tight() &&
            GST_VIDEO_INFO_FORMAT(&src.info) == kFrameFormat) {
            // At the frame's own size: its words as they came.
            paint(reinterpret_cast<const uint32_t *>(src.row(0)));
            ok = painted = true;
        } else if (src.ok && targetInfo(&out, kFrameFormat, width, height, src.info)) {
            if (!converter_ || !gst_video_info_is_equal(&converterIn_, &src.info) ||
                !gst_video_info_is_equal(&converterOut_, &out)) {
                if (converter_) gst_video_converter_free(converter_);
                converter_ = gst_video_converter_new(&src.info, &out, nullptr);
                converterIn_ = src.info, converterOut_ = out;
            }
            preview_.resize(pixels);
            TargetFrame target(&out, preview_.data(), pixels * 4);
            if (converter_ && target.ok && GST_VIDEO_FRAME_PLANE_STRIDE(&target.frame, 0) == width * 4) {
                gst_video_converter_frame(converter_, &src.frame, &target.frame);
                ok = true;
            }
        }
    }
    gst_sample_unref(sample);
    if (ok && !painted) paint(preview_.data());
    return ok;
}

void Video::setControls(const PictureControls &c) {
    g_object_set(balance_, "brightness", (c.brightness - 50) / 50.0, "contrast", c.contrast / 50.0, "saturation",
                 c.saturation / 50.0, nullptr);
}

// A pause waits, a short while at most, until the pipeline has paused (a
// clip's has its next frame at hand; a live source's pauses at once), so
// the pause falls where the clock stood at the call.
void Video::pause() {
    if (gst_element_set_state(pipeline_, GST_STATE_PAUSED) == GST_STATE_CHANGE_ASYNC)
        gst_element_get_state(pipeline_, nullptr, nullptr, kPauseWait);
}
void Video::play() { gst_element_set_state(pipeline_, GST_STATE_PLAYING); }

}  // namespace grab
