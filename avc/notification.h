// FWNotification: FireWire device messages as events of the host class.
#pragma once

#include <rb/plugin.h>

#include <IOKit/IOKit.h>

struct FWNotificationData {
    REALobject owner;
    FWNotificationData *older, *newer;
    CFURLRef bundleURL;
    CFBundleRef bundle;
    uint8_t bundleLoaded;
    IONotificationPortRef port;
    int32_t lastError;
    void *handlers[19];
};

extern "C" {
extern REALclassDefinition FWNotificationClass;
extern FWNotificationData *gFirst, *gLast;
extern IONotificationPortRef gNotificationPort;
extern REALobject gREALinstance;
extern IOServiceInterestCallback CFMInterestCallback;

// The text of a message type and its event position; nullptr for unknown types.
const char *FW_MessageText(natural_t messageType, int *position);

IOReturn CreateNotificationPort(IONotificationPortRef *port, IOServiceInterestCallback callback, REALobject object);
IOReturn InitNotification(IONotificationPortRef port, IOServiceMatchingCallback added,
                          IOServiceMatchingCallback removed, void *refCon, CFDictionaryRef matching,
                          CFRunLoopRef runLoop, void *refCon2);
void MyDeviceAddedCallback(void *refCon, io_iterator_t iterator);
void FW_MyDeviceInterestCallback(void *refCon, io_service_t service, natural_t messageType, void *argument);
void MyDeviceInterestCallback(void *refCon, io_service_t service, natural_t messageType, void *argument);
void DestroyNotificationPort(IONotificationPortRef port);

// Diagnostic variants: printing walks, a second port with the caller's own
// added callback, and forwarders that call their last argument.
void MyDeviceRemovedCallback(void *refCon, io_iterator_t iterator);
void FW_MyDeviceAddedCallback(void *refCon, io_iterator_t iterator);
void FW_MyDeviceRemovedCallback(void *refCon, io_iterator_t iterator);
IOReturn Init2ndNotification(IONotificationPortRef port, IOServiceMatchingCallback added, void *refCon,
                             CFDictionaryRef matching, CFRunLoopRef runLoop);
IOReturn Create2ndNotificationPort(IONotificationPortRef *port, IOServiceMatchingCallback added, void *refCon);
void MyCFMInterestCallback(void *refCon, io_service_t service, natural_t type, void *argument,
                           IOServiceInterestCallback forward);
void MyCFMDeviceAddedCallback(void *refCon, io_iterator_t iterator, IOServiceMatchingCallback forward);
void MyCFMDeviceRemovedCallback(void *refCon, io_iterator_t iterator, IOServiceMatchingCallback forward);
}
