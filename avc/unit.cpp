// The AV/C unit of an `AVC` object: the exported unit functions, the
// object's construction and teardown, its plug-in and unit interfaces (in
// process, or through a helper bundle) and the one command exchange.
#include "unit.h"

#include "bundle.h"
#include "debug.h"
#include "host_api.h"
#include "host_services.h"
#include "newest_first.h"

#include <fw/AVCFrame.h>

#include <cstdio>
#include <cstring>

extern "C" {
AVCData *gAVCdataFirst = nullptr;
AVCData *gAVCdataLast = nullptr;
}

namespace {

template <class F> F bundleFunction(AVCData *d, const char *name) {
    return reinterpret_cast<F>(avc::bundleFunction(d->bundle, name));
}

bool viaBundle(const AVCData *d) { return d->bundleLoaded == 1; }

CFNumberRef number32(SInt32 v) { return CFNumberCreate(nullptr, kCFNumberSInt32Type, &v); }

}  // namespace

extern "C" {

AVCData *AVC_Data(REALobject obj) { return static_cast<AVCData *>(REALGetClassData(obj, &AVCClass)); }

// ---- exported unit functions ----------------------------------------------------

CFMutableDictionaryRef CreateMatchingDictionary() {
    CFMutableDictionaryRef match = IOServiceMatching("IOFireWireAVCUnit");
    if (!match) return nullptr;
    CFNumberRef spec = number32(avcframe::kUnitSpecId), version = number32(avcframe::kUnitSwVersion);
    CFDictionarySetValue(match, CFSTR("Unit_Spec_ID"), spec);
    CFDictionarySetValue(match, CFSTR("Unit_SW_Vers"), version);
    CFRelease(spec);
    CFRelease(version);
    return match;
}

IOCFPlugInInterface **CreateIOCFPlugInInterface() {
    mach_port_t master = 0;
    if (IOMasterPort(MACH_PORT_NULL, &master) != kIOReturnSuccess) return nullptr;
    io_iterator_t iterator = 0;
    // The matching services call takes the dictionary over.
    if (IOServiceGetMatchingServices(master, CreateMatchingDictionary(), &iterator) != kIOReturnSuccess) return nullptr;
    io_service_t service = IOIteratorNext(iterator);  // the first unit only
    IOObjectRelease(iterator);
    if (!service) return nullptr;
    IOCFPlugInInterface **plugin = nullptr;
    SInt32 score = 0;
    kern_return_t kr = IOCreatePlugInInterfaceForService(service, kIOFireWireAVCLibUnitTypeID, kIOCFPlugInInterfaceID,
                                                         &plugin, &score);
    IOObjectRelease(service);
    if (kr != kIOReturnSuccess || !plugin) {
        if (plugin) IODestroyPlugInInterface(plugin);
        return nullptr;
    }
    return plugin;
}

IOFireWireAVCLibUnitInterface **GetIOFireWireAVCLibUnitInterface(IOCFPlugInInterface **plugin) {
    if (!plugin) return nullptr;
    IOFireWireAVCLibUnitInterface **unit = nullptr;
    HRESULT hr = (*plugin)->QueryInterface(plugin, CFUUIDGetUUIDBytes(kIOFireWireAVCLibUnitInterfaceID),
                                           reinterpret_cast<LPVOID *>(&unit));
    if (hr != S_OK || !unit) return nullptr;
    // A unit that cannot be opened is no unit.
    if ((*unit)->open(unit) != kIOReturnSuccess) {
        (*unit)->Release(unit);
        return nullptr;
    }
    return unit;
}

void ReleaseIOFireWireAVCLibUnitInterface(IOFireWireAVCLibUnitInterface **unit) {
    if (!unit) return;
    (*unit)->close(unit);
    (*unit)->Release(unit);
}

void DestroyPlugInInterface(IOCFPlugInInterface **plugin) {
    if (plugin) IODestroyPlugInInterface(plugin);
}

IOReturn Send2Device(IOFireWireAVCLibUnitInterface **unit, const UInt8 *command, UInt32 length, UInt8 *response,
                     UInt32 *responseLength) {
    if (!unit) return kIOReturnNotOpen;
    return (*unit)->AVCCommand(unit, command, length, response, responseLength);
}

IOReturn DispatcherToRunLoop(IOFireWireAVCLibUnitInterface **unit, CFRunLoopRef runLoop) {
    IOReturn r = unit ? (*unit)->addCallbackDispatcherToRunLoop(unit, runLoop) : kIOReturnNotOpen;
    std::printf("\nDispatcherToRunLoop result: 0x%08X\n", unsigned(r));
    return r;
}

// ---- class constructor and destructor ---------------------------------------------

void AVC_Constructor(REALobject obj) {
    AVCData *d = AVC_Data(obj);
    d->owner = obj;
    avc::pushNewest(d, gAVCdataFirst, gAVCdataLast);
}

void AVC_Destructor(REALobject obj) {
    AVCData *d = AVC_Data(obj);
    AVC_ReleaseIOFireWireAVCLibUnitInterface(obj);
    AVC_DestroyPlugInInterface(obj);
    if (d->idleTimer) {
        RemoveEventLoopTimer(d->idleTimer);
        d->idleTimer = nullptr;
    }
    if (d->bundleLoaded == 1 && d->bundle) CFBundleUnloadExecutable(d->bundle);
    if (d->bundleURL) CFRelease(d->bundleURL);
    if (d->bundle) CFRelease(d->bundle);
    d->bundleURL = nullptr;
    d->bundle = nullptr;
    avc::unlinkRecord(d, gAVCdataFirst, gAVCdataLast);
}

// ---- constructors ------------------------------------------------------------------

void AVC_Initialize(REALobject obj) {
    AVC_CreateIOCFPlugInInterface(obj);
    AVC_GetIOFireWireAVCLibUnitInterface(obj);
}

avc::HelperBundle bundleOf(AVCData *d) { return {d->bundleURL, d->bundle, d->bundleLoaded, d->lastError}; }

void AVC_CustomConstructor1(REALobject obj, REALstring bundleURL) {
    avc::bundleFromPath(bundleOf(AVC_Data(obj)), bundleURL, obj, AVC_Initialize);
}

void AVC_CustomConstructor2(REALobject obj, REALobject bundleFolderItem) {
    avc::bundleFromFolderItem(bundleOf(AVC_Data(obj)), bundleFolderItem, obj, AVC_Initialize);
}

void AVC_CustomConstructor3(REALobject obj) { AVC_CustomConstructor2(obj, nullptr); }

// ---- the state machine: bare, primed, open -----------------------------------------------

void AVC_CreateIOCFPlugInInterface(REALobject obj) {
    AVCData *d = AVC_Data(obj);
    if (d->plugin) return;
    d->lastError = -50;
    if (viaBundle(d)) {
        if (auto fn = bundleFunction<IOCFPlugInInterface **(*)()>(d, "CreateIOCFPlugInInterface")) d->plugin = fn();
    } else {
        d->plugin = CreateIOCFPlugInInterface();
    }
    if (d->plugin) d->lastError = 0;
}

void AVC_GetIOFireWireAVCLibUnitInterface(REALobject obj) {
    AVCData *d = AVC_Data(obj);
    if (d->unit) return;
    d->lastError = -50;
    if (!d->plugin) return;
    if (viaBundle(d)) {
        using Fn = IOFireWireAVCLibUnitInterface **(*)(IOCFPlugInInterface **);
        if (auto fn = bundleFunction<Fn>(d, "GetIOFireWireAVCLibUnitInterface")) d->unit = fn(d->plugin);
    } else {
        d->unit = GetIOFireWireAVCLibUnitInterface(d->plugin);
    }
    if (d->unit) d->lastError = 0;
}

void AVC_ReleaseIOFireWireAVCLibUnitInterface(REALobject obj) {
    AVCData *d = AVC_Data(obj);
    d->lastError = -50;
    if (!d->unit) return;
    if (viaBundle(d)) {
        auto fn = bundleFunction<void (*)(IOFireWireAVCLibUnitInterface **)>(d, "ReleaseIOFireWireAVCLibUnitInterface");
        if (!fn) return;
        fn(d->unit);
    } else {
        ReleaseIOFireWireAVCLibUnitInterface(d->unit);
    }
    d->unit = nullptr;
    d->lastError = 0;
}

void AVC_DestroyPlugInInterface(REALobject obj) {
    AVCData *d = AVC_Data(obj);
    d->lastError = -50;
    if (!d->plugin) return;
    if (viaBundle(d)) {
        auto fn = bundleFunction<void (*)(IOCFPlugInInterface **)>(d, "DestroyPlugInInterface");
        if (!fn) return;
        fn(d->plugin);
    } else {
        DestroyPlugInInterface(d->plugin);
    }
    d->plugin = nullptr;
    d->lastError = 0;
}

RBInteger AVC_error(REALobject obj, intptr_t) { return AVC_Data(obj)->lastError; }
RBBoolean AVC_hasIOPluginInterface(REALobject obj, intptr_t) { return AVC_Data(obj)->plugin ? 1 : 0; }
RBBoolean AVC_hasAVCInterface(REALobject obj, intptr_t) { return AVC_Data(obj)->unit ? 1 : 0; }

// ---- the exchange -------------------------------------------------------------------------

bool AVC_Send2Device(REALobject obj, uint8_t capacity, uint32_t minimum) {
    AVCData *d = AVC_Data(obj);
    if (!d->plugin) {
        throwAVCException(d->lastError, "IOFireWireAVCLibUnitInterface");
        return false;
    }
    // A failed or short exchange never leaves an earlier answer behind.
    std::memset(d->response, 0, sizeof d->response);
    d->responseLength = 0;
    d->lastError = -50;
    using Fn = IOReturn (*)(IOFireWireAVCLibUnitInterface **, const UInt8 *, UInt32, UInt8 *, UInt32 *);
    Fn send = viaBundle(d) ? bundleFunction<Fn>(d, "Send2Device") : &Send2Device;
    if (!send || !d->unit) return false;
    d->responseLength = capacity;
    d->lastError = send(d->unit, d->command, d->commandLength, d->response, &d->responseLength);
    if (d->responseLength > sizeof d->response) d->responseLength = sizeof d->response;
    return d->lastError == 0 && d->responseLength >= minimum;
}

// ---- the exception ---------------------------------------------------------------------------

void throwAVCException(int32_t errorNumber, const char *message) {
    REALobject e = plugin::newInstance("AVCException");
    if (!e) return;
    REALSetPropValueInt32(e, "ErrorNumber", errorNumber);
    REALstring text = plugin::buildString(message, int(std::strlen(message)));
    REALSetPropValueString(e, "Message", text);
    plugin::unlockString(text);
    plugin::raiseException(e);
    plugin::unlockObject(e);
}

}  // extern "C"
