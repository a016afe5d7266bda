// The host clock: GStreamer's system clock, reading its time from the host.
// The system clock's waits re-read the time after each wait, so a clock
// that is moved by hand still releases what is due.
#include "hostclock.h"

#include "handover.h"

#include <atomic>
#include <new>

namespace grab {

namespace {

struct HostClock {
    GstSystemClock parent;
    std::atomic<MicrosecondsFn> now;  // read on GStreamer's threads
};

struct HostClockClass {
    GstSystemClockClass parent;
};

GType hostClockType();

GstClockTime internalTime(GstClock *clock) {
    auto *self = reinterpret_cast<HostClock *>(clock);
    takenOver(self);
    MicrosecondsFn now = self->now.load(std::memory_order_acquire);
    int64_t us = now ? now() : 0;
    handedOver(self);  // to the thread that finalizes it
    return us > 0 ? GstClockTime(us) * 1000 : 0;
}

GObjectClass *gParentClass = nullptr;

void finalize(GObject *object) {
    takenOver(object);  // every thread that read the time is done with it
    gParentClass->finalize(object);
}

void classInit(gpointer klass, gpointer) {
    gParentClass = G_OBJECT_CLASS(g_type_class_peek_parent(klass));
    GST_CLOCK_CLASS(klass)->get_internal_time = internalTime;
    G_OBJECT_CLASS(klass)->finalize = finalize;
}

void instanceInit(GTypeInstance *instance, gpointer) {
    new (&reinterpret_cast<HostClock *>(instance)->now) std::atomic<MicrosecondsFn>(nullptr);
}

GType hostClockType() {
    static GType type = [] {
        // Another copy of the plug-in in this process may have made it.
        if (GType known = g_type_from_name("TavrinHostClock")) return known;
        GTypeInfo info{};
        info.class_size = sizeof(HostClockClass);
        info.class_init = classInit;
        info.instance_size = sizeof(HostClock);
        info.instance_init = instanceInit;
        return g_type_register_static(GST_TYPE_SYSTEM_CLOCK, "TavrinHostClock", &info, GTypeFlags(0));
    }();
    return type;
}

}  // namespace

GstClock *newHostClock(MicrosecondsFn now) {
    auto *clock = static_cast<HostClock *>(
        g_object_new(hostClockType(), "clock-type", GST_CLOCK_TYPE_MONOTONIC, "name", "TavrinHostClock", nullptr));
    clock->now.store(now, std::memory_order_release);
    handedOver(clock);
    gst_object_ref_sink(clock);
    return GST_CLOCK(clock);
}

}  // namespace grab
