// Choosing the video source.
#include "source.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

namespace grab {

namespace {

// The name a device keeps from one run to the next: its path where the
// provider gives one, else the name the monitor shows.
std::string stableName(GstDevice *device) {
    std::string name;
    if (GstStructure *props = gst_device_get_properties(device)) {
        for (const char *key : {"device.path", "api.v4l2.path"})
            if (const char *path = gst_structure_get_string(props, key); path && *path) {
                name = path;
                break;
            }
        gst_structure_free(props);
    }
    if (name.empty())
        if (gchar *display = gst_device_get_display_name(device)) {
            name = display;
            g_free(display);
        }
    return name;
}

// The preferred device when the monitor sees it, else the first it sees;
// nullptr for none. One reference for the caller.
GstDevice *findDevice(const std::string &preferred, std::string *name) {
    GstDeviceMonitor *monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
    GList *devices = gst_device_monitor_get_devices(monitor);
    GstDevice *chosen = nullptr;
    for (GList *d = devices; d; d = d->next) {
        auto *device = static_cast<GstDevice *>(d->data);
        std::string n = stableName(device);
        if (!chosen || (!preferred.empty() && n == preferred && *name != preferred)) {
            chosen = device;
            *name = n;
        }
    }
    if (chosen) gst_object_ref(chosen);
    g_list_free_full(devices, gst_object_unref);
    gst_object_unref(monitor);
    return chosen;
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

bool elementInstalled(const char *name) {
    GstElementFactory *f = gst_element_factory_find(name);
    if (f) gst_object_unref(f);
    return f != nullptr;
}

}  // namespace

Source::Source(Source &&other) noexcept { *this = std::move(other); }

Source &Source::operator=(Source &&other) noexcept {
    if (this == &other) return *this;
    if (device) gst_object_unref(device);
    kind = other.kind;
    description = std::move(other.description);
    device = std::exchange(other.device, nullptr);
    deviceName = std::move(other.deviceName);
    failure = std::move(other.failure);
    return *this;
}

Source::~Source() {
    if (device) gst_object_unref(device);
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

Source chooseSource(const std::string &preferredDevice) {
    Source s;
    const char *noVideo = std::getenv("TAVRIN_NO_VIDEO");
    if (noVideo && std::strcmp(noVideo, "1") == 0) {
        s.failure = "no video: TAVRIN_NO_VIDEO=1";
        return s;
    }
    const char *described = std::getenv("TAVRIN_VIDEO_SOURCE");
    if (described && *described) {
        s.kind = Source::Description;
        s.description = described;
        return s;
    }
    if (GstDevice *device = findDevice(preferredDevice, &s.deviceName)) {
        s.kind = Source::Device;
        s.device = device;
        return s;
    }
    if (fireWireDevicePresent()) {
        if (!elementInstalled("dv1394src")) {
            s.failure = missingElementText("dv1394src");
            return s;
        }
        s.kind = Source::Description;
        s.description = "dv1394src ! dvdemux ! dvdec";
        return s;
    }
    int w = kDefaultWidth, h = kDefaultHeight;
    if (!parseSize(std::getenv("TAVRIN_VIDEO_SIZE"), &w, &h)) w = kDefaultWidth, h = kDefaultHeight;
    s.kind = Source::Description;
    s.description = testSourceDescription(w, h);
    return s;
}

bool deviceAvailable(const std::string &name) {
    std::string found;
    GstDevice *device = findDevice(name, &found);
    if (device) gst_object_unref(device);
    return device && found == name;
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
