// Making numbered clips with appsrc and GStreamer's encoders.
#include "clips.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <cstdlib>
#include <cstring>

namespace testclips {

namespace {

const int kLevels[5] = {40, 84, 128, 172, 216};

int nearestLevel(int v) {
    int best = 0;
    for (int i = 1; i < 5; ++i)
        if (std::abs(kLevels[i] - v) < std::abs(kLevels[best] - v)) best = i;
    return std::abs(kLevels[best] - v) <= 21 ? best : -1;
}

bool installed(const char *element) {
    GstElementFactory *f = gst_element_factory_find(element);
    if (f) gst_object_unref(f);
    return f != nullptr;
}

}  // namespace

ClipSpec dvSpec(int frames) {
    ClipSpec s;
    s.codec = Codec::Dv;
    s.frames = frames;
    s.width = 720, s.height = 480;
    s.fpsN = 30000, s.fpsD = 1001;
    return s;
}

uint32_t frameColour(int n) {
    return uint32_t(kLevels[n / 25 % 5]) << 16 | uint32_t(kLevels[n / 5 % 5]) << 8 | uint32_t(kLevels[n % 5]);
}

int frameNumber(uint32_t rgb) {
    int r = nearestLevel(int(rgb >> 16 & 0xFF)), g = nearestLevel(int(rgb >> 8 & 0xFF)),
        b = nearestLevel(int(rgb & 0xFF));
    return r < 0 || g < 0 || b < 0 ? -1 : r * 25 + g * 5 + b;
}

int frameGrabbedNow(const uint8_t *argb, int width, int height) {
    const uint8_t *p = argb + (size_t(height / 2) * size_t(width) + size_t(width / 2)) * 4;
    return frameNumber(uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]);
}

bool encoderAvailable(Codec codec) {
    gst_init(nullptr, nullptr);
    if (codec == Codec::Dv) return installed("avenc_dvvideo") && installed("avmux_dv");
    return installed("jpegenc") && installed("avimux");
}

bool makeClip(const std::string &path, const ClipSpec &spec, std::string *why) {
    gst_init(nullptr, nullptr);
    if (spec.frames < 1 || spec.frames > kMaxFrames) {
        *why = "frame count out of range";
        return false;
    }
    if (!encoderAvailable(spec.codec)) {
        *why = spec.codec == Codec::Dv ? "no DV encoder (avenc_dvvideo, avmux_dv: gstreamer1.0-libav)"
                                       : "no MJPEG encoder or AVI muxer";
        return false;
    }
    bool dv = spec.codec == Codec::Dv;
    std::string caps = "video/x-raw,format=RGBx,width=" + std::to_string(spec.width) +
                       ",height=" + std::to_string(spec.height) + ",framerate=" + std::to_string(spec.fpsN) + "/" +
                       std::to_string(spec.fpsD) + ",pixel-aspect-ratio=" + (dv ? "8/9" : "1/1");
    std::string text = "appsrc name=src format=time caps=" + caps + " ! videoconvert ! " +
                       (dv ? "video/x-raw,format=Y41B ! avenc_dvvideo ! avmux_dv" : "jpegenc quality=95 ! avimux") +
                       " ! filesink name=out";
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(text.c_str(), &error);
    if (!pipeline) {
        *why = error ? error->message : "the encoding pipeline cannot be built";
        if (error) g_error_free(error);
        return false;
    }
    GstElement *out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    g_object_set(out, "location", path.c_str(), nullptr);
    gst_object_unref(out);
    GstElement *src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);

    size_t bytes = size_t(spec.width) * size_t(spec.height) * 4;
    for (int n = 0; n < spec.frames; ++n) {
        GstBuffer *buffer = gst_buffer_new_allocate(nullptr, bytes, nullptr);
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_WRITE);
        uint32_t rgb = frameColour(n);
        for (size_t i = 0; i < bytes; i += 4) {
            map.data[i] = uint8_t(rgb >> 16), map.data[i + 1] = uint8_t(rgb >> 8), map.data[i + 2] = uint8_t(rgb);
            map.data[i + 3] = 0;
        }
        gst_buffer_unmap(buffer, &map);
        GST_BUFFER_PTS(buffer) =
            gst_util_uint64_scale(GstClockTime(n), GST_SECOND * GstClockTime(spec.fpsD), GstClockTime(spec.fpsN));
        GST_BUFFER_DURATION(buffer) =
            gst_util_uint64_scale(GST_SECOND, GstClockTime(spec.fpsD), GstClockTime(spec.fpsN));
        gst_app_src_push_buffer(GST_APP_SRC(src), buffer);
    }
    gst_app_src_end_of_stream(GST_APP_SRC(src));
    gst_object_unref(src);

    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *msg =
        gst_bus_timed_pop_filtered(bus, 120 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    bool ok = msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
    if (!ok) {
        *why = "the clip could not be encoded";
        if (msg) {
            GError *e = nullptr;
            gst_message_parse_error(msg, &e, nullptr);
            if (e) *why += std::string(": ") + e->message, g_error_free(e);
        }
    }
    if (msg) gst_message_unref(msg);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok;
}

}  // namespace testclips
