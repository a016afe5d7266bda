// Listing and choosing the video sources.
#include "source.h"

#include "v4l2inputs.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace grab {

namespace {

// Sizes offered where a source takes any size within a range.
const Size kCommonSizes[] = {{1920, 1080}, {1280, 720}, {720, 576}, {720, 480}, {640, 480}, {320, 240}};

std::string propertyText(const GstStructure *props, const char *key) {
    const char *v = props ? gst_structure_get_string(props, key) : nullptr;
    return v ? v : "";
}

// The values of an integer field: one or a list of them into `out`, or the
// bounds of a range.
bool fieldValues(const GstStructure *s, const char *field, std::vector<int> *out, int *rangeMin, int *rangeMax) {
    const GValue *v = gst_structure_get_value(s, field);
    if (!v) return false;
    if (G_VALUE_HOLDS_INT(v)) {
        out->push_back(g_value_get_int(v));
    } else if (GST_VALUE_HOLDS_INT_RANGE(v)) {
        *rangeMin = gst_value_get_int_range_min(v);
        *rangeMax = gst_value_get_int_range_max(v);
    } else if (GST_VALUE_HOLDS_LIST(v)) {
        for (guint i = 0; i < gst_value_list_get_size(v); ++i) {
            const GValue *item = gst_value_list_get_value(v, i);
            if (G_VALUE_HOLDS_INT(item)) out->push_back(g_value_get_int(item));
        }
    } else {
        return false;
    }
    return true;
}

// The raw sizes in caps, largest first.
std::vector<Size> rawSizes(GstCaps *caps) {
    std::vector<Size> sizes;
    auto add = [&](int w, int h) {
        Size s{w, h};
        if (w >= 1 && h >= 1 && w <= kMaxSide && h <= kMaxSide &&
            std::find(sizes.begin(), sizes.end(), s) == sizes.end())
            sizes.push_back(s);
    };
    for (guint i = 0; caps && i < gst_caps_get_size(caps); ++i) {
        const GstStructure *s = gst_caps_get_structure(caps, i);
        if (!gst_structure_has_name(s, "video/x-raw")) continue;
        std::vector<int> ws, hs;
        int wMin = 0, wMax = -1, hMin = 0, hMax = -1;
        if (!fieldValues(s, "width", &ws, &wMin, &wMax) || !fieldValues(s, "height", &hs, &hMin, &hMax)) continue;
        bool ranged = wMax >= 0 || hMax >= 0;
        if (ranged) {
            for (const Size &c : kCommonSizes) {
                bool wOk = wMax >= 0 ? c.width >= wMin && c.width <= wMax : std::count(ws.begin(), ws.end(), c.width);
                bool hOk =
                    hMax >= 0 ? c.height >= hMin && c.height <= hMax : std::count(hs.begin(), hs.end(), c.height);
                if (wOk && hOk) add(c.width, c.height);
            }
        } else {
            for (int w : ws)
                for (int h : hs) add(w, h);
        }
    }
    std::stable_sort(sizes.begin(), sizes.end(), [](const Size &a, const Size &b) {
        return int64_t(a.width) * a.height > int64_t(b.width) * b.height;
    });
    return sizes;
}

SourceEntry monitorEntry(GstDevice *device) {
    SourceEntry e;
    e.kind = SourceEntry::Monitor;
    e.device = std::shared_ptr<GstDevice>(GST_DEVICE(gst_object_ref(device)), gst_object_unref);
    if (gchar *display = gst_device_get_display_name(device)) {
        e.label = display;
        g_free(display);
    }
    GstStructure *props = gst_device_get_properties(device);
    for (const char *key : {"device.path", "api.v4l2.path"})
        if (e.path.empty()) e.path = propertyText(props, key);
    bool v4l2 = propertyText(props, "device.api") == "v4l2" || !propertyText(props, "api.v4l2.path").empty();
    if (props) gst_structure_free(props);
    e.name = !e.path.empty() ? e.path : e.label;
    if (e.label.empty()) e.label = e.name;
    else if (!e.path.empty()) e.label += " (" + e.path + ")";
    if (v4l2 && !e.path.empty()) {
        V4l2Inputs in = v4l2Inputs(e.path);
        e.inputs = in.names;
        e.currentInput = in.current;
    } else {
        e.path.clear();  // no node to ask for inputs
    }
    GstCaps *caps = gst_device_get_caps(device);
    e.sizes = rawSizes(caps);
    if (caps) gst_caps_unref(caps);
    return e;
}

// A node of the FireWire bus besides the computer's own (/dev/fw0).
bool fireWireDevicePresent() {
    std::error_code ec;
    int nodes = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/dev", ec)) {
        std::string n = entry.path().filename().string();
        if (n.size() > 2 && n.compare(0, 2, "fw") == 0 && n.find_first_not_of("0123456789", 2) == std::string::npos)
            ++nodes;
    }
    return nodes > 1;
}

bool noVideo() {
    const char *v = std::getenv("TAVRIN_NO_VIDEO");
    return v && std::strcmp(v, "1") == 0;
}

const char *describedSource() {
    const char *d = std::getenv("TAVRIN_VIDEO_SOURCE");
    return d && *d ? d : nullptr;
}

}  // namespace

std::vector<SourceEntry> listSources() {
    std::vector<SourceEntry> out;
    if (noVideo()) return out;
    if (const char *described = describedSource()) {
        SourceEntry e;
        e.kind = SourceEntry::Described;
        e.label = described;
        out.push_back(std::move(e));
        return out;
    }
    GstDeviceMonitor *monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
    GList *devices = gst_device_monitor_get_devices(monitor);
    for (GList *d = devices; d; d = d->next) out.push_back(monitorEntry(static_cast<GstDevice *>(d->data)));
    g_list_free_full(devices, gst_object_unref);
    gst_object_unref(monitor);
    if (fireWireDevicePresent()) {
        SourceEntry e;
        e.kind = SourceEntry::FireWireDV;
        e.name = "dv1394src";
        e.label = "FireWire DV (camcorder or deck)";
        out.push_back(std::move(e));
    }
    if (out.empty()) {
        SourceEntry e;
        e.kind = SourceEntry::TestSource;
        e.label = "Test source (SMPTE bars)";
        e.sizes.assign(std::begin(kCommonSizes), std::end(kCommonSizes));
        out.push_back(std::move(e));
    }
    return out;
}

const SourceEntry *findSource(const std::vector<SourceEntry> &entries, const std::string &name) {
    if (entries.empty()) return nullptr;
    if (name.empty()) return &entries.front();
    for (const SourceEntry &e : entries)
        if ((e.kind == SourceEntry::Monitor || e.kind == SourceEntry::FireWireDV) && e.name == name) return &e;
    return nullptr;
}

bool parseSize(const char *text, int *width, int *height) {
    if (!text) return false;
    char *end = nullptr;
    long a = std::strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X')) return false;
    const char *second = end + 1;
    long b = std::strtol(second, &end, 10);
    if (end == second || *end || a < 1 || b < 1 || a > kMaxSide || b > kMaxSide) return false;
    *width = int(a), *height = int(b);
    return true;
}

std::string testSourceDescription(int width, int height) {
    return "videotestsrc is-live=true pattern=smpte ! video/x-raw,width=" + std::to_string(width) +
           ",height=" + std::to_string(height) + ",framerate=30000/1001,pixel-aspect-ratio=1/1";
}

Source chooseSource(const GrabberSettings &settings) {
    Source s;
    if (noVideo()) {
        s.failure = "no video: TAVRIN_NO_VIDEO=1";
        return s;
    }
    std::vector<SourceEntry> entries = listSources();
    const bool described = !entries.empty() && entries.front().kind == SourceEntry::Described;
    const SourceEntry *e = findSource(entries, described ? std::string() : settings.device);
    if (!e) {
        s.failure = "the video device " + settings.device + " named in the settings is not plugged in";
        return s;
    }
    s.entry = *e;
    switch (e->kind) {
        case SourceEntry::Described:
            s.kind = Source::Description;
            s.description = e->label;
            break;
        case SourceEntry::FireWireDV:
            s.kind = Source::Description;
            s.description = "dv1394src ! dvdemux ! dvdec";
            s.deviceName = e->name;
            break;
        case SourceEntry::TestSource: {
            int w = kDefaultWidth, h = kDefaultHeight;
            if (settings.width > 0 && settings.height > 0) w = settings.width, h = settings.height;
            else if (!parseSize(std::getenv("TAVRIN_VIDEO_SIZE"), &w, &h)) w = kDefaultWidth, h = kDefaultHeight;
            s.kind = Source::Description;
            s.description = testSourceDescription(w, h);
            break;
        }
        case SourceEntry::Monitor: {
            s.kind = Source::Device;
            s.device = e->device;
            s.deviceName = e->name;
            s.path = e->path;
            if (!settings.input.empty() && e->inputs.size() > 1) {
                auto it = std::find(e->inputs.begin(), e->inputs.end(), settings.input);
                if (it != e->inputs.end()) s.input = int(it - e->inputs.begin());
            }
            Size asked{settings.width, settings.height};
            if (std::find(e->sizes.begin(), e->sizes.end(), asked) != e->sizes.end()) s.size = asked;
            break;
        }
    }
    return s;
}

std::string missingElementText(const std::string &element) {
    struct Hint {
        const char *element, *plugin;
    };
    static const Hint kHints[] = {
        {"dv1394src", "the GStreamer 1394 plug-in (gstreamer1.0-plugins-good)"},
        {"hdv1394src", "the GStreamer 1394 plug-in (gstreamer1.0-plugins-good)"},
        {"dvdemux", "the GStreamer DV plug-in (gstreamer1.0-plugins-good)"},
        {"dvdec", "the GStreamer DV plug-in (gstreamer1.0-plugins-good)"},
        {"v4l2src", "the GStreamer Video4Linux plug-in (gstreamer1.0-plugins-good)"},
        {"jpegdec", "the GStreamer JPEG plug-in (gstreamer1.0-plugins-good)"},
        {"avidemux", "the GStreamer AVI plug-in (gstreamer1.0-plugins-good)"},
    };
    for (const Hint &h : kHints)
        if (element == h.element) return "no element " + element + ": install " + h.plugin;
    return "no element " + element + ": install the GStreamer plug-in that has it";
}

}  // namespace grab
