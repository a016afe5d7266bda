// Where the grabber's video comes from, chosen in this order:
//   TAVRIN_NO_VIDEO=1      no signal at all;
//   TAVRIN_VIDEO_SOURCE    a pipeline description in gst-launch syntax, in
//                          place of a device (e.g. a recorded clip);
//   a video device         the one named in the grabber's settings when the
//                          device monitor sees it, else the first it sees
//                          (Video/Source: v4l2src on Linux);
//   FireWire DV            dv1394src ! dvdemux ! dvdec, when a camcorder or
//                          deck is on the FireWire bus;
//   the test source        videotestsrc: SMPTE bars at 29.97 frames a second,
//                          720x480 unless TAVRIN_VIDEO_SIZE=WxH.
#pragma once

#include <gst/gst.h>

#include <string>

namespace grab {

constexpr int kDefaultWidth = 720, kDefaultHeight = 480;
// Largest picture side the grabber makes or paints.
constexpr int kMaxSide = 8192;

struct Source {
    enum Kind { None, Description, Device };
    Kind kind = None;
    std::string description;      // Description: the source's elements
    GstDevice *device = nullptr;  // Device: one reference, released with the source
    std::string deviceName;       // Device: its path, or the monitor's name for it
    std::string failure;          // None: why there is no source

    Source() = default;
    Source(Source &&other) noexcept;
    Source &operator=(Source &&other) noexcept;
    Source(const Source &) = delete;
    Source &operator=(const Source &) = delete;
    ~Source();
};

// "WxH" with both sides 1..kMaxSide.
bool parseSize(const char *text, int *width, int *height);

// The description of the test source at that size.
std::string testSourceDescription(int width, int height);

// The source to use now; `preferredDevice` is the device the settings name.
Source chooseSource(const std::string &preferredDevice);

// Whether the device monitor sees a video device of that name.
bool deviceAvailable(const std::string &name);

// What to tell the user about an element that is not installed, e.g.
// "no element dv1394src: install the GStreamer 1394 plug-in".
std::string missingElementText(const std::string &element);

}  // namespace grab
