// The I/O registry over the bus chosen at start-up (bus.h): handles,
// matching, iteration, notification ports, plug-in interfaces and the AV/C
// unit interface.
#include "bus.h"
#include "sim.h"
#include "unit.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <string>

namespace fw {

struct Port;

namespace {

// The UTF-8 text of a CF string ("" for anything else).
std::string utf8(CFStringRef s) {
    if (!s || CFGetTypeID(s) != CFStringGetTypeID()) return {};
    CFIndex length = CFStringGetLength(s), used = 0;
    std::string out(size_t(CFStringGetMaximumSizeForEncoding(length, kCFStringEncodingUTF8)), '\0');
    CFStringGetBytes(s, CFRange{0, length}, kCFStringEncodingUTF8, 0, false, reinterpret_cast<UInt8 *>(out.data()),
                     CFIndex(out.size()), &used);
    out.resize(size_t(used));
    return out;
}

CFStringRef make_string(const std::string &text) {
    return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(text.data()), CFIndex(text.size()),
                                   kCFStringEncodingUTF8, 0);
}

enum class Kind { Service, Iterator, Interest };

struct IOObj {
    virtual ~IOObj() = default;
    Kind kind;
    io_object_t handle = 0;
    uint32_t refs = 1;
    explicit IOObj(Kind k) : kind(k) {}
};

struct ServiceObj : IOObj {
    ServiceObj() : IOObj(Kind::Service) {}
    ~ServiceObj() override { CFRelease(props); }
    std::vector<std::string> classes;  // own class first, then ancestors
    CFMutableDictionaryRef props = nullptr;
    uint64_t seq = 0;  // publication order
    bool active = true;
};

struct IteratorObj : IOObj {
    IteratorObj() : IOObj(Kind::Iterator) {}
    std::vector<io_object_t> items;  // one reference each
    size_t pos = 0;
    // set for matching notifications
    Port *port = nullptr;
    bool terminated = false;  // kIOTerminatedNotification
    CFDictionaryRef matching = nullptr;
    IOServiceMatchingCallback callback = nullptr;
    void *refcon = nullptr;
    bool queued = false;
};

struct InterestObj : IOObj {
    InterestObj() : IOObj(Kind::Interest) {}
    Port *port = nullptr;
    io_object_t service = 0;
    IOServiceInterestCallback callback = nullptr;
    void *refcon = nullptr;
};

struct Event {
    io_object_t notification;
    io_object_t service;  // interest messages hold a reference
    uint32_t type;
    void *arg;
};

// Never destroyed, so objects stay reachable through process exit.
std::map<io_object_t, IOObj *> &g_objects = *new std::map<io_object_t, IOObj *>;
// The published units by their "IOFireWireAVCUnit" service.
std::map<io_object_t, std::shared_ptr<Unit>> &g_units = *new std::map<io_object_t, std::shared_ptr<Unit>>;
io_object_t g_next_handle = 0x1001;
uint64_t g_next_seq = 1;

IOObj *lookup(io_object_t h) {
    auto it = g_objects.find(h);
    return it == g_objects.end() ? nullptr : it->second;
}
template <class T> T *lookup(io_object_t h, Kind k) {
    IOObj *o = lookup(h);
    return o && o->kind == k ? static_cast<T *>(o) : nullptr;
}

io_object_t add(IOObj *o) {
    o->handle = g_next_handle++;
    g_objects[o->handle] = o;
    return o->handle;
}

void release(io_object_t h);

void destroy(IOObj *o) {
    g_objects.erase(o->handle);
    if (o->kind == Kind::Iterator) {
        auto *it = static_cast<IteratorObj *>(o);
        for (io_object_t s : it->items) release(s);
        CFRelease(it->matching);
    } else if (o->kind == Kind::Interest) {
        release(static_cast<InterestObj *>(o)->service);
    }
    delete o;
}

void release(io_object_t h) {
    IOObj *o = lookup(h);
    if (o && --o->refs == 0) destroy(o);
}

void retain(io_object_t h) {
    if (IOObj *o = lookup(h)) ++o->refs;
}

bool conforms(const ServiceObj &s, const std::string &cls) {
    return std::find(s.classes.begin(), s.classes.end(), cls) != s.classes.end();
}

struct MatchCtx {
    const ServiceObj *s;
    bool ok;
};

bool matches(const ServiceObj &s, CFDictionaryRef matching) {
    if (!matching || CFGetTypeID(matching) != CFDictionaryGetTypeID()) return false;
    MatchCtx ctx{&s, true};
    CFDictionaryApplyFunction(
        matching,
        [](const void *key, const void *value, void *p) {
            auto *c = static_cast<MatchCtx *>(p);
            if (!c->ok) return;
            std::string k = utf8(static_cast<CFStringRef>(key));
            if (k == kIOProviderClassKey) {
                c->ok =
                    CFGetTypeID(value) == CFStringGetTypeID() && conforms(*c->s, utf8(static_cast<CFStringRef>(value)));
            } else {
                c->ok = CFEqual(CFDictionaryGetValue(c->s->props, key), value);
            }
        },
        &ctx);
    return ctx.ok;
}

std::vector<ServiceObj *> active_services() {
    std::vector<ServiceObj *> v;
    for (auto &[h, o] : g_objects)
        if (o->kind == Kind::Service && static_cast<ServiceObj *>(o)->active) v.push_back(static_cast<ServiceObj *>(o));
    std::sort(v.begin(), v.end(), [](ServiceObj *a, ServiceObj *b) { return a->seq < b->seq; });
    return v;
}

}  // namespace

// ---- notification ports ---------------------------------------------------------------

struct Port {
    CFRunLoopSourceRef source = nullptr;
    std::deque<Event> queue;
    bool delivering = false, dead = false;

    void push(Event e) {
        queue.push_back(e);
        CFRunLoopSourceSignal(source);
    }
    void drop_queue() {
        for (Event &e : queue) release(e.service);
        queue.clear();
    }
};

namespace {

void port_perform(void *info) {
    auto *p = static_cast<Port *>(info);
    p->delivering = true;
    while (!p->dead && !p->queue.empty()) {
        Event e = p->queue.front();
        p->queue.pop_front();
        if (auto *it = lookup<IteratorObj>(e.notification, Kind::Iterator); it && it->port == p) {
            io_object_t h = it->handle;
            it->queued = false;
            retain(h);  // the callback may release the notification
            if (it->callback) it->callback(it->refcon, h);
            release(h);
        } else if (auto *in = lookup<InterestObj>(e.notification, Kind::Interest); in && in->port == p) {
            io_object_t h = in->handle;
            retain(h);
            if (in->callback) in->callback(in->refcon, e.service, e.type, e.arg);
            // A terminated service sends nothing more: its notifications end.
            in = lookup<InterestObj>(h, Kind::Interest);  // the callback may have ended it
            if (e.type == kIOMessageServiceIsTerminated && in && in->port == p) {
                in->port = nullptr;
                release(h);
            }
            release(h);
        }
        release(e.service);
    }
    p->delivering = false;
    if (p->dead) delete p;
}

// Queues new services on every matching notification that wants them.
void announce(ServiceObj &s, bool terminated) {
    std::vector<IteratorObj *> targets;
    for (auto &[h, o] : g_objects) {
        if (o->kind != Kind::Iterator) continue;
        auto *it = static_cast<IteratorObj *>(o);
        if (it->port && it->terminated == terminated && matches(s, it->matching)) targets.push_back(it);
    }
    for (IteratorObj *it : targets) {
        if (it->pos == it->items.size()) {  // drained: forget what was handed out
            for (io_object_t h : it->items) release(h);
            it->items.clear();
            it->pos = 0;
        }
        retain(s.handle);
        it->items.push_back(s.handle);
        if (!it->queued) {
            it->queued = true;
            it->port->push(Event{it->handle, 0, 0, nullptr});
        }
    }
}

io_object_t make_service(const std::vector<std::string> &classes) {
    auto *s = new ServiceObj;
    s->classes = classes;
    s->props = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    s->seq = g_next_seq++;
    return add(s);
}

void set_number(io_object_t h, const char *key, int64_t v) {
    auto *s = lookup<ServiceObj>(h, Kind::Service);
    CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    CFNumberRef n;
    if (v >= INT32_MIN && v <= INT32_MAX) {
        int32_t v32 = int32_t(v);
        n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &v32);
    } else {
        n = CFNumberCreate(nullptr, kCFNumberSInt64Type, &v);
    }
    CFDictionarySetValue(s->props, k, n);
    CFRelease(k);
    CFRelease(n);
}

void set_text(io_object_t h, const char *key, const std::string &text) {
    auto *s = lookup<ServiceObj>(h, Kind::Service);
    CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    CFStringRef v = make_string(text);
    CFDictionarySetValue(s->props, k, v);
    CFRelease(k);
    CFRelease(v);
}

}  // namespace

void publish(const std::shared_ptr<Unit> &u) {
    u->gone = false;
    u->deviceService = make_service({"IOFireWireDevice", "IOFireWireNub", "IOService"});
    set_number(u->deviceService, "GUID", int64_t(u->guid));
    if (!u->vendorName.empty()) set_text(u->deviceService, "FireWire Vendor Name", u->vendorName);
    if (!u->modelName.empty()) set_text(u->deviceService, "FireWire Product Name", u->modelName);
    u->unitService = make_service({"IOFireWireAVCUnit", "IOFireWireNub", "IOService"});
    set_number(u->unitService, "Unit_Spec_ID", u->specId);
    set_number(u->unitService, "Unit_SW_Vers", u->swVersion);
    g_units[u->unitService] = u;
    announce(*lookup<ServiceObj>(u->deviceService, Kind::Service), false);
    announce(*lookup<ServiceObj>(u->unitService, Kind::Service), false);
}

void terminate(Unit &u, bool notify) {
    u.gone = true;
    g_units.erase(u.unitService);
    for (io_object_t h : {u.unitService, u.deviceService}) {
        auto *s = lookup<ServiceObj>(h, Kind::Service);
        if (!s || !s->active) continue;
        if (notify) {
            message(h, kIOMessageServiceIsTerminated, nullptr);
            announce(*s, true);
        }
        s->active = false;
        release(h);  // the registry's own reference
    }
}

void message(const Unit &u, uint32_t type, void *arg) {
    message(u.deviceService, type, arg);
    message(u.unitService, type, arg);
}

void message(io_object_t service, uint32_t type, void *arg) {
    std::vector<InterestObj *> targets;
    for (auto &[h, o] : g_objects)
        if (o->kind == Kind::Interest && static_cast<InterestObj *>(o)->service == service &&
            static_cast<InterestObj *>(o)->port)
            targets.push_back(static_cast<InterestObj *>(o));
    for (InterestObj *in : targets) {
        retain(service);
        in->port->push(Event{in->handle, service, type, arg});
    }
}

}  // namespace fw

using namespace fw;

// ---- plug-in and unit interfaces --------------------------------------------------------

namespace {

struct UnitIf;

struct PlugIn {
    const IOCFPlugInInterface *vt = nullptr;
    ULONG refs = 1;
    io_object_t service = 0;
    std::shared_ptr<Unit> unit;
};

struct UnitIf {
    const IOFireWireAVCLibUnitInterface *vt = nullptr;
    ULONG refs = 1;
    io_object_t service = 0;
    std::shared_ptr<Unit> unit;
    bool open = false;
    CFRunLoopRef dispatcher = nullptr;
};

bool same_uuid(REFIID a, CFUUIDRef b) {
    CFUUIDBytes bb = CFUUIDGetUUIDBytes(b);
    return std::memcmp(&a, &bb, sizeof a) == 0;
}

UnitIf *unit_of(void *self) { return static_cast<UnitIf *>(self); }

IOReturn unit_close(void *self) {
    UnitIf *u = unit_of(self);
    if (!u || !u->open) return kIOReturnNotOpen;
    u->open = false;
    if (u->unit->openedBy == u) u->unit->openedBy = nullptr;
    return kIOReturnSuccess;
}

ULONG unit_addref(void *self) { return ++unit_of(self)->refs; }

ULONG unit_release(void *self) {
    UnitIf *u = unit_of(self);
    ULONG left = --u->refs;
    if (left == 0) {
        unit_close(self);
        release(u->service);
        delete u;
    }
    return left;
}

HRESULT unit_query(void *self, REFIID iid, LPVOID *ppv) {
    if (!ppv) return E_NOINTERFACE;
    if (same_uuid(iid, kIOFireWireAVCLibUnitInterfaceID)) {
        unit_addref(self);
        *ppv = self;
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

IOReturn unit_open(void *self) {
    UnitIf *u = unit_of(self);
    if (u->unit->gone) return kIOReturnNoDevice;
    if (u->open) return kIOReturnSuccess;
    if (u->unit->refuses(Unit::Step::Open) || (u->unit->openedBy && u->unit->openedBy != u))
        return kIOReturnExclusiveAccess;
    u->open = true;
    u->unit->openedBy = u;
    return kIOReturnSuccess;
}

Boolean unit_is_open(void *self) { return unit_of(self)->open; }

IOReturn unit_add_dispatcher(void *self, CFRunLoopRef rl) {
    if (!rl) return kIOReturnBadArgument;
    unit_of(self)->dispatcher = rl;
    return kIOReturnSuccess;
}

void unit_remove_dispatcher(void *self) { unit_of(self)->dispatcher = nullptr; }

IOReturn unit_command(void *self, const UInt8 *command, UInt32 cmdLen, UInt8 *response, UInt32 *responseLen) {
    UnitIf *u = unit_of(self);
    if (!u || !command || !response || !responseLen || cmdLen < 3 || cmdLen > 512) return kIOReturnBadArgument;
    std::shared_ptr<Unit> unit = u->unit;  // stays alive even if removed meanwhile
    if (unit->gone) return kIOReturnNoDevice;
    if (!u->open) return kIOReturnNotOpen;
    return unit->exchange(command, cmdLen, response, responseLen);
}

const IOFireWireAVCLibUnitInterface kUnitVtable = {
    nullptr,
    unit_query,
    unit_addref,
    unit_release,
    1,
    0,
    unit_open,
    unit_close,
    unit_is_open,
    unit_add_dispatcher,
    unit_remove_dispatcher,
    unit_command,
};

PlugIn *plugin_of(void *self) { return static_cast<PlugIn *>(self); }

ULONG plugin_addref(void *self) { return ++plugin_of(self)->refs; }

ULONG plugin_release(void *self) {
    PlugIn *p = plugin_of(self);
    ULONG left = --p->refs;
    if (left == 0) {
        release(p->service);
        delete p;
    }
    return left;
}

HRESULT plugin_query(void *self, REFIID iid, LPVOID *ppv) {
    if (!ppv) return E_NOINTERFACE;
    *ppv = nullptr;
    PlugIn *p = plugin_of(self);
    if (same_uuid(iid, kIOCFPlugInInterfaceID)) {
        plugin_addref(self);
        *ppv = self;
        return S_OK;
    }
    if (!same_uuid(iid, kIOFireWireAVCLibUnitInterfaceID) || p->unit->refuses(Unit::Step::Interface) || p->unit->gone)
        return E_NOINTERFACE;
    auto *u = new UnitIf;
    u->vt = &kUnitVtable;
    u->service = p->service;
    retain(u->service);
    u->unit = p->unit;
    *ppv = u;
    return S_OK;
}

const IOCFPlugInInterface kPlugInVtable = {nullptr, plugin_query, plugin_addref, plugin_release, 1, 0};

}  // namespace

extern "C" {

mach_port_t bootstrap_port = 0x0707;

kern_return_t IOMasterPort(mach_port_t, mach_port_t *masterPort) {
    if (!masterPort) return kIOReturnBadArgument;
    if (int32_t st = sim::seam(FWSIM_SEAM_MASTER_PORT)) return st;
    *masterPort = 0x0B03;
    return kIOReturnSuccess;
}

kern_return_t IOObjectRelease(io_object_t object) {
    if (!lookup(object)) return kIOReturnBadArgument;
    release(object);
    return kIOReturnSuccess;
}

kern_return_t IOObjectRetain(io_object_t object) {
    if (!lookup(object)) return kIOReturnBadArgument;
    retain(object);
    return kIOReturnSuccess;
}

uint32_t IOObjectGetRetainCount(io_object_t object) {
    IOObj *o = lookup(object);
    return o ? o->refs : 0;
}

kern_return_t IOObjectGetClass(io_object_t object, io_name_t className) {
    IOObj *o = lookup(object);
    if (!o || !className) return kIOReturnBadArgument;
    const char *name = o->kind == Kind::Service    ? static_cast<ServiceObj *>(o)->classes[0].c_str()
                       : o->kind == Kind::Iterator ? "IOUserIterator"
                                                   : "IOUserNotification";
    std::snprintf(className, sizeof(io_name_t), "%s", name);
    return kIOReturnSuccess;
}

Boolean IOObjectConformsTo(io_object_t object, const char *className) {
    auto *s = lookup<ServiceObj>(object, Kind::Service);
    return s && className && conforms(*s, className);
}

io_object_t IOIteratorNext(io_iterator_t iterator) {
    auto *it = lookup<IteratorObj>(iterator, Kind::Iterator);
    if (!it || it->pos >= it->items.size()) return 0;
    io_object_t h = it->items[it->pos++];
    retain(h);
    return h;
}

void IOIteratorReset(io_iterator_t iterator) {
    if (auto *it = lookup<IteratorObj>(iterator, Kind::Iterator)) it->pos = 0;
}

Boolean IOIteratorIsValid(io_iterator_t iterator) { return lookup<IteratorObj>(iterator, Kind::Iterator) != nullptr; }

CFTypeRef IORegistryEntryGetProperty(io_registry_entry_t entry, CFStringRef key) {
    auto *s = lookup<ServiceObj>(entry, Kind::Service);
    return s ? CFDictionaryGetValue(s->props, key) : nullptr;
}

CFMutableDictionaryRef IOServiceMatching(const char *className) {
    if (!className) return nullptr;
    CFMutableDictionaryRef d =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFStringRef v = CFStringCreateWithCString(nullptr, className, kCFStringEncodingUTF8);
    CFDictionarySetValue(d, CFSTR(kIOProviderClassKey), v);
    CFRelease(v);
    return d;
}

kern_return_t IOServiceGetMatchingServices(mach_port_t, CFDictionaryRef matching, io_iterator_t *existing) {
    bus::ensure();
    if (!existing || !matching) {
        CFRelease(matching);
        return kIOReturnBadArgument;
    }
    auto *it = new IteratorObj;
    for (ServiceObj *s : active_services()) {
        if (matches(*s, matching)) {
            retain(s->handle);
            it->items.push_back(s->handle);
        }
    }
    CFRelease(matching);
    *existing = add(it);
    return kIOReturnSuccess;
}

io_service_t IOServiceGetMatchingService(mach_port_t master, CFDictionaryRef matching) {
    io_iterator_t it = 0;
    if (IOServiceGetMatchingServices(master, matching, &it) != kIOReturnSuccess) return 0;
    io_service_t s = IOIteratorNext(it);
    IOObjectRelease(it);
    return s;
}

IONotificationPortRef IONotificationPortCreate(mach_port_t) {
    if (sim::seam(FWSIM_SEAM_NOTIFY_PORT)) return nullptr;
    auto *p = new Port;
    CFRunLoopSourceContext ctx{};
    ctx.info = p;
    ctx.perform = port_perform;
    p->source = CFRunLoopSourceCreate(nullptr, 0, &ctx);
    return reinterpret_cast<IONotificationPortRef>(p);
}

void IONotificationPortDestroy(IONotificationPortRef notify) {
    auto *p = reinterpret_cast<Port *>(notify);
    if (!p || p->dead) return;
    CFRunLoopSourceInvalidate(p->source);
    CFRelease(p->source);
    p->source = nullptr;
    p->drop_queue();
    std::vector<IOObj *> ended;
    for (auto &[h, o] : g_objects) {
        if ((o->kind == Kind::Iterator && static_cast<IteratorObj *>(o)->port == p) ||
            (o->kind == Kind::Interest && static_cast<InterestObj *>(o)->port == p))
            ended.push_back(o);
    }
    for (IOObj *o : ended) destroy(o);
    p->dead = true;
    if (!p->delivering) delete p;
}

CFRunLoopSourceRef IONotificationPortGetRunLoopSource(IONotificationPortRef notify) {
    auto *p = reinterpret_cast<Port *>(notify);
    return p && !p->dead ? p->source : nullptr;
}

kern_return_t IOServiceAddMatchingNotification(IONotificationPortRef notifyPort, const char *notificationType,
                                               CFDictionaryRef matching, IOServiceMatchingCallback callback,
                                               void *refCon, io_iterator_t *notification) {
    bus::ensure();
    auto *p = reinterpret_cast<Port *>(notifyPort);
    std::string type = notificationType ? notificationType : "";
    bool terminated = type == kIOTerminatedNotification;
    bool publish =
        type == kIOFirstPublishNotification || type == kIOPublishNotification || type == kIOMatchedNotification;
    if (!p || p->dead || !matching || !notification || !callback || !(terminated || publish)) {
        CFRelease(matching);
        return kIOReturnBadArgument;
    }
    if (int32_t st = sim::seam(FWSIM_SEAM_ADD_MATCHING)) {
        CFRelease(matching);
        return st;
    }
    auto *it = new IteratorObj;
    it->port = p;
    it->terminated = terminated;
    it->matching = matching;  // takes over the caller's reference
    it->callback = callback;
    it->refcon = refCon;
    if (publish) {
        for (ServiceObj *s : active_services()) {
            if (matches(*s, matching)) {
                retain(s->handle);
                it->items.push_back(s->handle);
            }
        }
    }
    *notification = add(it);
    return kIOReturnSuccess;
}

kern_return_t IOServiceAddInterestNotification(IONotificationPortRef notifyPort, io_service_t service,
                                               const char *interestType, IOServiceInterestCallback callback,
                                               void *refCon, io_object_t *notification) {
    auto *p = reinterpret_cast<Port *>(notifyPort);
    auto *s = lookup<ServiceObj>(service, Kind::Service);
    if (!p || p->dead || !s || !notification || !callback || !interestType ||
        std::strcmp(interestType, kIOGeneralInterest) != 0)
        return kIOReturnBadArgument;
    if (int32_t st = sim::seam(FWSIM_SEAM_ADD_INTEREST)) return st;
    if (!s->active) return kIOReturnNoDevice;
    auto *in = new InterestObj;
    in->port = p;
    in->service = service;
    retain(service);
    in->callback = callback;
    in->refcon = refCon;
    *notification = add(in);
    return kIOReturnSuccess;
}

kern_return_t IOCreatePlugInInterfaceForService(io_service_t service, CFUUIDRef pluginType, CFUUIDRef interfaceType,
                                                IOCFPlugInInterface ***theInterface, SInt32 *theScore) {
    if (!theInterface) return kIOReturnBadArgument;
    *theInterface = nullptr;
    if (theScore) *theScore = 0;
    auto *s = lookup<ServiceObj>(service, Kind::Service);
    if (!s || !CFEqual(pluginType, kIOFireWireAVCLibUnitTypeID) || !CFEqual(interfaceType, kIOCFPlugInInterfaceID))
        return kIOReturnBadArgument;
    if (!conforms(*s, "IOFireWireAVCUnit")) return kIOReturnUnsupported;
    auto found = g_units.find(service);
    if (found == g_units.end() || found->second->gone) return kIOReturnNoDevice;
    std::shared_ptr<Unit> unit = found->second;
    if (unit->refuses(Unit::Step::PlugIn)) return kIOReturnUnsupported;
    auto *p = new PlugIn;
    p->vt = &kPlugInVtable;
    p->service = service;
    retain(service);
    p->unit = unit;
    *theInterface = reinterpret_cast<IOCFPlugInInterface **>(p);
    return kIOReturnSuccess;
}

kern_return_t IODestroyPlugInInterface(IOCFPlugInInterface **interface) {
    if (!interface) return kIOReturnBadArgument;
    (*interface)->Release(interface);
    return kIOReturnSuccess;
}

}  // extern "C"
