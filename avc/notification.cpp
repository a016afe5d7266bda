// FWNotification. One notification port serves every live object: it is
// made with the first object and destroyed with the last, and a device
// message reaches each live object exactly once, newest first.
#include "notification.h"

#include "bundle.h"
#include "debug.h"
#include "host_api.h"

#include <Carbon/Carbon.h>
#include "newest_first.h"
#include "xstring.h"

#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
FWNotificationData *gFirst = nullptr, *gLast = nullptr;
IONotificationPortRef gNotificationPort = nullptr;
REALobject gREALinstance = nullptr;
IOServiceInterestCallback CFMInterestCallback = nullptr;
}

namespace {

struct Message {
    natural_t type;
    const char *text;
};

const Message kMessages[19] = {
    {0xE0000010, "IOMessageServiceIsTerminated, handle device removed here"},
    {0xE0000020, "IOMessageServiceIsSuspended (bus reset begin), handle bus reset begin here"},
    {0xE0000030, "IOMessageServiceIsResumed (bus reset end), handle bus reset done"},
    {0xE0000100, "IOMessageServiceIsRequestingClose"},
    {0xE0000101, "IOMessageServiceIsAttemptingOpen"},
    {0xE0000110, "IOMessageServiceWasClosed"},
    {0xE0000120, "IOMessageServiceBusyStateChange"},
    {0xE0000200, "IOMessageCanDevicePowerOff"},
    {0xE0000210, "IOMessageDeviceWillPowerOff"},
    {0xE0000220, "IOMessageDeviceWillNotPowerOff"},
    {0xE0000230, "IOMessageDeviceHasPoweredOn"},
    {0xE0000240, "IOMessageCanSystemPowerOff"},
    {0xE0000250, "IOMessageSystemWillPowerOff"},
    {0xE0000260, "IOMessageSystemWillNotPowerOff"},
    {0xE0000270, "IOMessageCanSystemSleep"},
    {0xE0000280, "IOMessageSystemWillSleep"},
    {0xE0000290, "IOMessageSystemWillNotSleep"},
    {0xE0000300, "IOMessageSystemHasPoweredOn"},
    {0xE00087D0, "IOFWMessageServiceIsRequestingClose"},
};

int gPortUsers = 0;       // live objects sharing gNotificationPort
bool gPortArmed = false;  // its matching notification was added

FWNotificationData *data(REALobject o) {
    return static_cast<FWNotificationData *>(REALGetClassData(o, &FWNotificationClass));
}

template <class F> F bundleFunction(FWNotificationData *d, const char *name) {
    return reinterpret_cast<F>(avc::bundleFunction(d->bundle, name));
}

void createPort(REALobject obj) {
    FWNotificationData *d = data(obj);
    d->lastError = -50;
    if (d->bundleLoaded == 1) {
        using Fn = IOReturn (*)(IONotificationPortRef *, IOServiceInterestCallback, REALobject);
        auto fn = bundleFunction<Fn>(d, "CreateNotificationPort");
        if (!fn) return;
        CFMInterestCallback = &MyDeviceInterestCallback;
        d->lastError = fn(&d->port, &MyDeviceInterestCallback, obj);
        return;
    }
    CFMInterestCallback = &FW_MyDeviceInterestCallback;
    d->lastError = CreateNotificationPort(&d->port, &FW_MyDeviceInterestCallback, obj);
}

}  // namespace

extern "C" {

const char *FW_MessageText(natural_t type, int *position) {
    for (int i = 0; i < 19; ++i)
        if (kMessages[i].type == type) {
            if (position) *position = i;
            return kMessages[i].text;
        }
    return nullptr;
}

IOReturn CreateNotificationPort(IONotificationPortRef *port, IOServiceInterestCallback callback, REALobject object) {
    // The armed port of the objects alive already serves this one too; one
    // whose notification could not be added is not shared, so each object's
    // lastError says what happened to its own port.
    if (gNotificationPort && gPortUsers > 0 && gPortArmed) {
        *port = gNotificationPort;
        ++gPortUsers;
        gREALinstance = object;
        return kIOReturnSuccess;
    }
    mach_port_t master = 0;
    IOReturn result = IOMasterPort(bootstrap_port, &master);
    if (result != kIOReturnSuccess) {
        std::printf("\n(!) Couldn't get master port!");
    } else {
        *port = IONotificationPortCreate(master);
        if (!*port) {
            std::printf("\n(!) Failed to create notification port!");
            result = kIOReturnError;
        }
    }
    gNotificationPort = result == kIOReturnSuccess ? *port : nullptr;
    gREALinstance = object;
    gPortArmed = false;
    if (result == kIOReturnSuccess) {
        gPortUsers = 1;
        result = InitNotification(*port, &MyDeviceAddedCallback, nullptr, reinterpret_cast<void *>(callback),
                                  IOServiceMatching("IOFireWireDevice"), CFRunLoopGetCurrent(), nullptr);
        gPortArmed = result == kIOReturnSuccess;
    }
    RunCurrentEventLoop(0.001);
    return result;
}

IOReturn InitNotification(IONotificationPortRef port, IOServiceMatchingCallback added, IOServiceMatchingCallback,
                          void *refCon, CFDictionaryRef matching, CFRunLoopRef runLoop, void *) {
    io_iterator_t iterator = 0;
    IOReturn r =
        IOServiceAddMatchingNotification(port, kIOFirstPublishNotification, matching, added, refCon, &iterator);
    if (r != kIOReturnSuccess) {
        std::printf("\n(!) Couldn't add device added notification");
        return r;
    }
    added(refCon, iterator);  // the devices present now, and arms the notification
    CFRunLoopAddSource(runLoop, IONotificationPortGetRunLoopSource(port), kCFRunLoopDefaultMode);
    return r;
}

void MyDeviceAddedCallback(void *refCon, io_iterator_t iterator) {
    std::printf("\tDeviceAddedCallback(): iterator= 0x%02X\n", unsigned(iterator));
    std::printf("retain count= 0x%02X\n", unsigned(IOObjectGetRetainCount(iterator)));
    while (io_service_t service = IOIteratorNext(iterator)) {
        std::printf("device 0x%02X found.", unsigned(service));
        io_object_t notification = 0;
        if (!gNotificationPort || IOServiceAddInterestNotification(gNotificationPort, service, kIOGeneralInterest,
                                                                   reinterpret_cast<IOServiceInterestCallback>(refCon),
                                                                   nullptr, &notification) != kIOReturnSuccess)
            std::printf("\nIOServiceAddInterestNotification failed");
        IOObjectRelease(service);
    }
}

void FW_MyDeviceInterestCallback(void *, io_service_t, natural_t messageType, void *) {
    // Every live object, newest first, each held for the delivery so that a
    // handler that lets one go cannot free it under the walk.
    std::vector<REALobject> owners;
    for (FWNotificationData *d = gFirst; d; d = d->older) owners.push_back(d->owner);
    for (REALobject o : owners) plugin::lockObject(o);
    int position = -1;
    const char *text = FW_MessageText(messageType, &position);
    for (REALobject o : owners) {
        if (!text) {
            if (print) print("\tmessageType (0x%02X)", unsigned(messageType));
            continue;
        }
        auto handler = reinterpret_cast<void (*)(REALobject, REALstring)>(data(o)->handlers[position]);
        if (!handler) continue;
        XString s(text);
        handler(o, s);
        s.unlock();
    }
    for (REALobject o : owners) plugin::unlockObject(o);
}

void MyDeviceInterestCallback(void *, io_service_t service, natural_t messageType, void *) {
    std::printf("\nservice 0x%02X says", unsigned(service));
    int position = -1;
    const char *text = FW_MessageText(messageType, &position);
    if (!text) std::printf("\tmessageType (0x%02X)", unsigned(messageType));
    else if (position == 0) std::printf("\tkIOMessageServiceIsTerminated");
    else if (position == 1) std::printf("\tkIOMessageServiceIsSuspended (bus reset begin)");
    else if (position == 2) std::printf("\tkIOMessageServiceIsResumed (bus reset end)");
    else std::printf("\tk%s", text);
}

void DestroyNotificationPort(IONotificationPortRef port) {
    if (!port) return;
    if (port == gNotificationPort && --gPortUsers > 0) return;  // still in use by others
    CFRunLoopRemoveSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(port), kCFRunLoopDefaultMode);
    IONotificationPortDestroy(port);
}

// ---- host-facing members ---------------------------------------------------------

void FW_Constructor(REALobject o) {
    FWNotificationData *d = data(o);
    d->owner = o;
    for (uint32_t i = 0; i < FWNotificationClass.eventCount && i < 19; ++i)
        d->handlers[i] = plugin::eventInstance(o, FWNotificationClass.events[i].forSystemUse);
    avc::pushNewest(d, gFirst, gLast);
}

void FW_Destructor(REALobject o) {
    FWNotificationData *d = data(o);
    if (d->port) {
        d->lastError = -50;
        if (d->bundleLoaded == 1) {
            if (auto fn = bundleFunction<void (*)(IONotificationPortRef)>(d, "DestroyNotificationPort")) fn(d->port);
        } else {
            DestroyNotificationPort(d->port);
        }
        if (gNotificationPort == d->port && gPortUsers <= 0) gNotificationPort = nullptr;
        d->port = nullptr;
    }
    if (d->bundleLoaded == 1 && d->bundle) CFBundleUnloadExecutable(d->bundle);
    if (d->bundleURL) CFRelease(d->bundleURL);
    if (d->bundle) CFRelease(d->bundle);
    avc::unlinkRecord(d, gFirst, gLast);
    // The newest object still on the shared port stands for it.
    if (gREALinstance == o) {
        gREALinstance = nullptr;
        for (FWNotificationData *n = gFirst; n && !gREALinstance; n = n->older)
            if (gNotificationPort && n->port == gNotificationPort) gREALinstance = n->owner;
    }
}

void FW_CustomConstructor1(REALobject o, REALstring bundleURL) {
    FWNotificationData *d = data(o);
    avc::bundleFromPath({d->bundleURL, d->bundle, d->bundleLoaded, d->lastError}, bundleURL, o, createPort);
}

void FW_CustomConstructor2(REALobject o, REALobject folderItem) {
    FWNotificationData *d = data(o);
    avc::bundleFromFolderItem({d->bundleURL, d->bundle, d->bundleLoaded, d->lastError}, folderItem, o, createPort);
}

void FW_CustomConstructor3(REALobject o) { FW_CustomConstructor2(o, nullptr); }

RBInteger FW_error(REALobject o, intptr_t) { return data(o)->lastError; }
RBBoolean FW_hasNotification(REALobject o, intptr_t) { return data(o)->port ? 1 : 0; }

}  // extern "C"

// ---- diagnostic variants ---------------------------------------------------------
// Exported for helper bundles and for tracing; only the printing interest
// callback is handed out by the plug-in itself. The walks always drain their
// iterator (that is what re-arms a matching notification), printing or not.

extern "C" {

void MyDeviceRemovedCallback(void *, io_iterator_t iterator) {
    std::printf("\tDeviceRemovedCallback(): iterator= 0x%02X\n", unsigned(iterator));
    std::printf("\t retain count= 0x%02X\n", unsigned(IOObjectGetRetainCount(iterator)));
    while (io_service_t service = IOIteratorNext(iterator)) {
        std::printf("\tdevice 0x%02X removed.", unsigned(service));
        IOObjectRelease(service);
    }
}

void FW_MyDeviceAddedCallback(void *, io_iterator_t iterator) {
    if (print) {
        print("\tCFM: DeviceAddedCallback(): iterator= 0x%02X\n", unsigned(iterator));
        print("CFM: retain count= 0x%02X\n", unsigned(IOObjectGetRetainCount(iterator)));
    }
    while (io_service_t service = IOIteratorNext(iterator)) {
        if (print) print("CFM: device 0x%02X found.", unsigned(service));
        IOObjectRelease(service);
    }
}

void FW_MyDeviceRemovedCallback(void *, io_iterator_t iterator) {
    if (print) {
        print("\tCFM: DeviceRemovedCallback(): iterator= 0x%02X\n", unsigned(iterator));
        print("\t retain count= 0x%02X\n", unsigned(IOObjectGetRetainCount(iterator)));
    }
    while (io_service_t service = IOIteratorNext(iterator)) {
        if (print) print("\tCFM: device 0x%02X removed.", unsigned(service));
        IOObjectRelease(service);
    }
}

IOReturn Init2ndNotification(IONotificationPortRef port, IOServiceMatchingCallback added, void *refCon,
                             CFDictionaryRef matching, CFRunLoopRef runLoop) {
    return InitNotification(port, added, nullptr, refCon, matching, runLoop, nullptr);
}

// A port of the caller's own: the shared port and its users are not touched,
// and the caller destroys it with DestroyNotificationPort.
IOReturn Create2ndNotificationPort(IONotificationPortRef *port, IOServiceMatchingCallback added, void *refCon) {
    if (!port) return kIOReturnBadArgument;
    *port = nullptr;
    mach_port_t master = 0;
    IOReturn result = IOMasterPort(bootstrap_port, &master);
    if (result != kIOReturnSuccess) {
        std::printf("\n(!) Couldn't get master port!");
    } else if (!(*port = IONotificationPortCreate(master))) {
        std::printf("\n(!) Failed to create notification port!");
        result = kIOReturnError;
    } else {
        result =
            Init2ndNotification(*port, added, refCon, IOServiceMatching("IOFireWireDevice"), CFRunLoopGetCurrent());
    }
    RunCurrentEventLoop(0.001);
    return result;
}

void MyCFMInterestCallback(void *refCon, io_service_t service, natural_t type, void *argument,
                           IOServiceInterestCallback forward) {
    if (forward) forward(refCon, service, type, argument);
}

void MyCFMDeviceAddedCallback(void *refCon, io_iterator_t iterator, IOServiceMatchingCallback forward) {
    if (forward) forward(refCon, iterator);
}

void MyCFMDeviceRemovedCallback(void *refCon, io_iterator_t iterator, IOServiceMatchingCallback forward) {
    if (forward) forward(refCon, iterator);
}

}  // extern "C"
