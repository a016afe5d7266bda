// Where the grabber's video comes from, chosen in this order:
//   TAVRIN_NO_VIDEO=1      no signal at all;
//   TAVRIN_VIDEO_SOURCE    a pipeline description in gst-launch syntax, in
//                          place of a device (e.g. a recorded clip);
//   a video device         the one named in the grabber's settings (no
//                          signal when it is not there), else the first the
//                          device monitor sees (Video/Source: v4l2src on
//                          Linux);
//   FireWire DV            dv1394src ! dvdemux ! dvdec, when a camcorder or
//                          deck is on the FireWire bus;
//   the test source        videotestsrc: SMPTE bars at 29.97 frames a second,
//                          720x480 unless the settings or TAVRIN_VIDEO_SIZE=WxH
//                          say otherwise.
// The same list, without the first two roads, is what the user chooses from.
#pragma once

#include "settings.h"

#include <gst/gst.h>

#include <memory>
#include <string>
#include <vector>

namespace grab {

constexpr int kDefaultWidth = 720, kDefaultHeight = 480;

struct Size {
    int width = 0, height = 0;
    bool operator==(const Size &o) const { return width == o.width && height == o.height; }
};

// One source the user can choose.
struct SourceEntry {
    enum Kind { Monitor, FireWireDV, TestSource, Described };
    Kind kind = TestSource;
    // The name kept in the settings: the device's path, else the name the
    // monitor shows (Monitor); "dv1394src" (FireWireDV); "" for the others.
    std::string name;
    std::string label;                  // what the user is shown
    std::shared_ptr<GstDevice> device;  // Monitor
    std::string path;                   // a Video4Linux node, where there is one
    std::vector<std::string> inputs;    // its inputs, where it can say
    int currentInput = -1;              // the one chosen on the device now
    std::vector<Size> sizes;            // raw sizes it offers, largest first; empty: only its own
};

// The sources there are now: TAVRIN_NO_VIDEO=1 none; TAVRIN_VIDEO_SOURCE its
// pipeline alone; else the monitor's devices, FireWire DV when the bus has a
// camcorder or deck, and the test source when there is neither.
std::vector<SourceEntry> listSources();
// The entry the settings' device names ("" names the first), or nullptr.
const SourceEntry *findSource(const std::vector<SourceEntry> &entries, const std::string &name);

struct Source {
    enum Kind { None, Description, Device };
    Kind kind = None;
    std::string description;            // Description: the source's elements
    std::shared_ptr<GstDevice> device;  // Device
    std::string deviceName;             // Device or FireWire DV: the name kept in the settings
    std::string path;                   // Device: its Video4Linux node, if any
    int input = -1;                     // Device: the input to choose first, or -1
    Size size;                          // Device: the size to ask of it (0 x 0: its own)
    std::string failure;                // None: why there is no source
    SourceEntry entry;                  // the entry it came from (not for None)
};

// "WxH" with both sides 1..kMaxSide.
bool parseSize(const char *text, int *width, int *height);

// The description of the test source at that size.
std::string testSourceDescription(int width, int height);

// The source to use now for these settings.
Source chooseSource(const GrabberSettings &settings);

// What to tell the user about an element that is not installed, e.g.
// "no element dv1394src: install the GStreamer 1394 plug-in".
std::string missingElementText(const std::string &element);

}  // namespace grab
