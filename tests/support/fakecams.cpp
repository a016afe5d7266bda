// A GStreamer device provider of the tests' own.
#include "fakecams.h"

#include <gst/gst.h>

#include <mutex>

namespace fakecams {

namespace {

struct State {
    std::mutex lock;
    std::vector<Camera> cameras;
};

State &state() {
    static State *s = new State;
    return *s;
}

const char *const kPatterns[] = {"red", "green", "blue", "white"};
const unsigned kColours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

// ---- the device ----

struct FakeDevice {
    GstDevice parent;
    int pattern;
};
struct FakeDeviceClass {
    GstDeviceClass parent;
};

GstElement *createElement(GstDevice *device, const gchar *name) {
    GstElement *e = gst_element_factory_make("videotestsrc", name);
    if (e) gst_util_set_object_arg(G_OBJECT(e), "pattern", kPatterns[reinterpret_cast<FakeDevice *>(device)->pattern]);
    if (e) g_object_set(e, "is-live", TRUE, nullptr);
    return e;
}

void deviceClassInit(gpointer klass, gpointer) { GST_DEVICE_CLASS(klass)->create_element = createElement; }

// A subclass of `parent` with its own class and instance records.
template <class Class, class Instance> GType subclass(GType parent, const char *name, GClassInitFunc init) {
    GTypeInfo info{};
    info.class_size = sizeof(Class);
    info.class_init = init;
    info.instance_size = sizeof(Instance);
    return g_type_register_static(parent, name, &info, GTypeFlags(0));
}

GType deviceType() {
    static GType type = subclass<FakeDeviceClass, FakeDevice>(GST_TYPE_DEVICE, "TavrinFakeCamera", deviceClassInit);
    return type;
}

GstDevice *newDevice(const Camera &c, int index) {
    GstCaps *caps = gst_caps_new_empty();
    for (auto [w, h] : c.sizes)
        gst_caps_append_structure(
            caps, gst_structure_new("video/x-raw", "format", G_TYPE_STRING, "I420", "width", G_TYPE_INT, w, "height",
                                    G_TYPE_INT, h, "framerate", GST_TYPE_FRACTION, 30, 1, nullptr));
    GstStructure *props = gst_structure_new_empty("fake-camera-properties");
    if (!c.path.empty()) gst_structure_set(props, "device.path", G_TYPE_STRING, c.path.c_str(), nullptr);
    auto *d = static_cast<FakeDevice *>(g_object_new(deviceType(), "display-name", c.name.c_str(), "caps", caps,
                                                     "device-class", "Video/Source", "properties", props, nullptr));
    d->pattern = index % 4;
    gst_caps_unref(caps);
    gst_structure_free(props);
    return GST_DEVICE(d);
}

// ---- the provider ----

struct FakeProvider {
    GstDeviceProvider parent;
};
struct FakeProviderClass {
    GstDeviceProviderClass parent;
};

GList *probe(GstDeviceProvider *) {
    std::vector<Camera> cameras;
    {
        std::lock_guard hold(state().lock);
        cameras = state().cameras;
    }
    GList *out = nullptr;
    for (size_t i = 0; i < cameras.size(); ++i)
        out = g_list_append(out, gst_object_ref_sink(newDevice(cameras[i], int(i))));
    return out;
}

void providerClassInit(gpointer klass, gpointer) {
    auto *k = GST_DEVICE_PROVIDER_CLASS(klass);
    k->probe = probe;
    gst_device_provider_class_set_static_metadata(k, "Tavrin test cameras", "Source/Video",
                                                  "Video devices of the tests", "tavrin");
}

GType providerType() {
    static GType type = subclass<FakeProviderClass, FakeProvider>(GST_TYPE_DEVICE_PROVIDER, "TavrinFakeCameraProvider",
                                                                  providerClassInit);
    return type;
}

}  // namespace

void set(std::vector<Camera> cameras) {
    static const bool registered =
        gst_device_provider_register(nullptr, "tavrinfakecameras", GST_RANK_PRIMARY, providerType());
    (void)registered;
    std::lock_guard hold(state().lock);
    state().cameras = std::move(cameras);
}

unsigned colourOf(size_t index) { return kColours[index % 4]; }

}  // namespace fakecams
