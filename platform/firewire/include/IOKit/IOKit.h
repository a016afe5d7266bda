// The I/O registry and the FireWire AV/C unit interface, as the deck-control
// plug-in uses them: service matching and iteration, plug-in interfaces,
// notification ports with matching and interest notifications, and the AV/C
// unit interface (open, close, run-loop dispatcher, AV/C command).
//
// The registry is filled by the bus chosen at start-up (fw/FWBus.h): the
// simulated FireWire bus (fw/FWSim.h) or Linux's (fw/FWLinux.h). Each AV/C
// unit publishes two services, an "IOFireWireDevice" (the node, with its
// "GUID") and below it an "IOFireWireAVCUnit" with the properties
// "Unit_Spec_ID" (0xA02D) and "Unit_SW_Vers" (0x10001).
//
// Registry objects (services, iterators, notifications) are 32-bit handles.
// Functions that hand out a handle give the caller one reference, returned
// with IOObjectRelease. Handles are never reused: a stale or unknown handle is
// refused with kIOReturnBadArgument (or 0 from IOIteratorNext), never followed.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

extern "C" {

typedef int32_t kern_return_t;
typedef kern_return_t IOReturn;
typedef uint32_t natural_t;
typedef uint32_t mach_port_t;
typedef uint32_t io_object_t;
typedef io_object_t io_service_t;
typedef io_object_t io_iterator_t;
typedef io_object_t io_registry_entry_t;
typedef char io_name_t[128];

#define MACH_PORT_NULL ((mach_port_t)0)
#define IO_OBJECT_NULL ((io_object_t)0)
extern mach_port_t bootstrap_port;  // the task's bootstrap port (non-zero)
#define kIOMasterPortDefault ((mach_port_t)0)

// ---- status codes ------------------------------------------------------------
enum : int32_t {
    kIOReturnSuccess = 0,
    kIOReturnError = (int32_t)0xE00002BC,
    kIOReturnNoMemory = (int32_t)0xE00002BD,
    kIOReturnNoDevice = (int32_t)0xE00002C0,
    kIOReturnBadArgument = (int32_t)0xE00002C2,
    kIOReturnExclusiveAccess = (int32_t)0xE00002C5,
    kIOReturnUnsupported = (int32_t)0xE00002C7,
    kIOReturnNotOpen = (int32_t)0xE00002CD,
    kIOReturnTimeout = (int32_t)0xE00002D6,
    kIOReturnNotResponding = (int32_t)0xE00002ED,
};

// ---- messages delivered to interest notifications ----------------------------
enum : uint32_t {
    kIOMessageServiceIsTerminated = 0xE0000010,
    kIOMessageServiceIsSuspended = 0xE0000020,  // bus reset begin
    kIOMessageServiceIsResumed = 0xE0000030,    // bus reset end
    kIOMessageServiceIsRequestingClose = 0xE0000100,
    kIOMessageServiceIsAttemptingOpen = 0xE0000101,
    kIOMessageServiceWasClosed = 0xE0000110,
    kIOMessageServiceBusyStateChange = 0xE0000120,
    kIOMessageCanDevicePowerOff = 0xE0000200,
    kIOMessageDeviceWillPowerOff = 0xE0000210,
    kIOMessageDeviceWillNotPowerOff = 0xE0000220,
    kIOMessageDeviceHasPoweredOn = 0xE0000230,
    kIOMessageCanSystemPowerOff = 0xE0000240,
    kIOMessageSystemWillPowerOff = 0xE0000250,
    kIOMessageSystemWillNotPowerOff = 0xE0000260,
    kIOMessageCanSystemSleep = 0xE0000270,
    kIOMessageSystemWillSleep = 0xE0000280,
    kIOMessageSystemWillNotSleep = 0xE0000290,
    kIOMessageSystemHasPoweredOn = 0xE0000300,
    kIOFWMessageServiceIsRequestingClose = 0xE00087D0,
};

// Notification kinds (pass these texts as the notification type).
#define kIOFirstPublishNotification "IOServiceFirstPublish"
#define kIOPublishNotification "IOServicePublish"
#define kIOMatchedNotification "IOServiceMatched"
#define kIOTerminatedNotification "IOServiceTerminate"
#define kIOGeneralInterest "IOGeneralInterest"
#define kIOProviderClassKey "IOProviderClass"

// ---- objects and iteration ---------------------------------------------------
// The master port: *masterPort := non-zero, for any bootstrap port.
kern_return_t IOMasterPort(mach_port_t bootstrapPort, mach_port_t *masterPort);
kern_return_t IOObjectRelease(io_object_t object);
kern_return_t IOObjectRetain(io_object_t object);
uint32_t IOObjectGetRetainCount(io_object_t object);  // 0 for a stale handle
kern_return_t IOObjectGetClass(io_object_t object, io_name_t className);
Boolean IOObjectConformsTo(io_object_t object, const char *className);
// The next service, with one reference for the caller; 0 at the end.
io_object_t IOIteratorNext(io_iterator_t iterator);
void IOIteratorReset(io_iterator_t iterator);
Boolean IOIteratorIsValid(io_iterator_t iterator);
// A property of a service, lent (valid while the service handle is held).
CFTypeRef IORegistryEntryGetProperty(io_registry_entry_t entry, CFStringRef key);

// ---- matching ------------------------------------------------------------------
// A new mutable dictionary { "IOProviderClass": className }; add further
// keys that a service's properties must equal (CFEqual).
CFMutableDictionaryRef IOServiceMatching(const char *className);
// Both CONSUME one reference of `matching`. The iterator lists the matching
// services in the order they were published (oldest first).
kern_return_t IOServiceGetMatchingServices(mach_port_t masterPort, CFDictionaryRef matching, io_iterator_t *existing);
io_service_t IOServiceGetMatchingService(mach_port_t masterPort, CFDictionaryRef matching);

// ---- notifications ---------------------------------------------------------------
typedef struct IONotificationPort *IONotificationPortRef;
typedef void (*IOServiceMatchingCallback)(void *refcon, io_iterator_t iterator);
typedef void (*IOServiceInterestCallback)(void *refcon, io_service_t service, natural_t messageType,
                                          void *messageArgument);

// A port queues the notifications registered on it; its run-loop source
// (owned by the port) delivers them when it is in the run loop and the loop
// runs. Nothing is ever delivered from inside the call that caused it.
IONotificationPortRef IONotificationPortCreate(mach_port_t masterPort);
// Removes the port's source from the run loop, drops queued messages and
// ends every notification made on the port (their handles go stale). Safe
// inside one of the port's own callbacks.
void IONotificationPortDestroy(IONotificationPortRef notify);
CFRunLoopSourceRef IONotificationPortGetRunLoopSource(IONotificationPortRef notify);

// notificationType: kIOFirstPublishNotification / kIOPublishNotification /
// kIOMatchedNotification (services published from now on, and those already
// present, which are in *notification at once), or kIOTerminatedNotification
// (services terminated from now on). CONSUMES `matching`. *notification is
// the iterator the callback receives; releasing it ends the notification.
// The callback runs whenever new services were added to the iterator.
kern_return_t IOServiceAddMatchingNotification(IONotificationPortRef notifyPort, const char *notificationType,
                                               CFDictionaryRef matching, IOServiceMatchingCallback callback,
                                               void *refCon, io_iterator_t *notification);
// interestType: kIOGeneralInterest. The callback receives every message sent
// to the service (bus reset, power, termination...). Releasing *notification
// ends it; a service's notifications end after its termination message.
kern_return_t IOServiceAddInterestNotification(IONotificationPortRef notifyPort, io_service_t service,
                                               const char *interestType, IOServiceInterestCallback callback,
                                               void *refCon, io_object_t *notification);

// ---- plug-in interfaces (COM style) -------------------------------------------------
typedef int32_t HRESULT;
typedef CFUUIDBytes REFIID;
typedef void *LPVOID;
typedef uint32_t ULONG;
enum : int32_t { S_OK = 0, E_NOINTERFACE = (int32_t)0x80000004 };

#define IUNKNOWN_C_GUTS                                                    \
    void *_reserved;                                                       \
    HRESULT (*QueryInterface)(void *thisPointer, REFIID iid, LPVOID *ppv); \
    ULONG (*AddRef)(void *thisPointer);                                    \
    ULONG (*Release)(void *thisPointer)

// The I/O Kit plug-in interface made for a service. Ask it for the AV/C unit
// interface with QueryInterface(self, kIOFireWireAVCLibUnitInterfaceID bytes,
// &out): S_OK and a reference in *out, or E_NOINTERFACE and 0.
struct IOCFPlugInInterface {
    IUNKNOWN_C_GUTS;
    UInt16 version;
    UInt16 revision;
};

// The FireWire AV/C unit interface. Every function takes the interface
// reference (IOFireWireAVCLibUnitInterface **) itself as its first argument.
struct IOFireWireAVCLibUnitInterface {
    IUNKNOWN_C_GUTS;
    UInt16 version;
    UInt16 revision;
    // Exclusive: kIOReturnExclusiveAccess when another interface has the
    // unit open; kIOReturnNoDevice when the unit is gone.
    IOReturn (*open)(void *self);
    IOReturn (*close)(void *self);  // kIOReturnNotOpen when not open
    Boolean (*isOpen)(void *self);
    IOReturn (*addCallbackDispatcherToRunLoop)(void *self, CFRunLoopRef runLoop);
    void (*removeCallbackDispatcherFromRunLoop)(void *self);
    // One AV/C exchange: sends cmdLen bytes (3..512) and waits for the
    // unit's final response, which is copied to response (at most
    // *responseLen bytes; *responseLen := bytes received). INTERIM answers
    // are absorbed while waiting. Waits at most the unit's response time-out
    // (simulated decks: fwsim_set_timeout_ms, default 500 ms; Linux: the
    // library's wait and retries): kIOReturnTimeout then, with
    // *responseLen := 0 and the response area untouched. Other results:
    // kIOReturnNotOpen (interface not open), kIOReturnNoDevice (unit gone,
    // before or during the exchange), kIOReturnBadArgument (0 pointers, bad
    // lengths).
    IOReturn (*AVCCommand)(void *self, const UInt8 *command, UInt32 cmdLen, UInt8 *response, UInt32 *responseLen);
};

// Makes the plug-in interface of a service (pluginType must be
// kIOFireWireAVCLibUnitTypeID and interfaceType kIOCFPlugInInterfaceID; the
// service must be an "IOFireWireAVCUnit"). *theInterface := a reference,
// released with IODestroyPlugInInterface.
kern_return_t IOCreatePlugInInterfaceForService(io_service_t service, CFUUIDRef pluginType, CFUUIDRef interfaceType,
                                                IOCFPlugInInterface ***theInterface, SInt32 *theScore);
kern_return_t IODestroyPlugInInterface(IOCFPlugInInterface **interface);

// 6AAF2EF7-D476-11D5-B57C-0003934B81A0: the AV/C unit plug-in type.
#define kIOFireWireAVCLibUnitTypeID                                                                                 \
    CFUUIDGetConstantUUIDWithBytes(0, 0x6A, 0xAF, 0x2E, 0xF7, 0xD4, 0x76, 0x11, 0xD5, 0xB5, 0x7C, 0x00, 0x03, 0x93, \
                                   0x4B, 0x81, 0xA0)
// C244E858-109C-11D4-91D4-0050E4C6426F: the I/O Kit plug-in interface.
#define kIOCFPlugInInterfaceID                                                                                      \
    CFUUIDGetConstantUUIDWithBytes(0, 0xC2, 0x44, 0xE8, 0x58, 0x10, 0x9C, 0x11, 0xD4, 0x91, 0xD4, 0x00, 0x50, 0xE4, \
                                   0xC6, 0x42, 0x6F)
// FC65C030-D498-11D5-878D-0003934B81A0: the AV/C unit interface.
#define kIOFireWireAVCLibUnitInterfaceID                                                                            \
    CFUUIDGetConstantUUIDWithBytes(0, 0xFC, 0x65, 0xC0, 0x30, 0xD4, 0x98, 0x11, 0xD5, 0x87, 0x8D, 0x00, 0x03, 0x93, \
                                   0x4B, 0x81, 0xA0)

}  // extern "C"
