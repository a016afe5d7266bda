// The AV/C unit: instance data of an `AVC` object, its unit access (in
// process through the FireWire AV/C unit interface, or through a helper
// bundle's functions of the same names) and the one command exchange.
#pragma once

#include <rb/plugin.h>

#include <Carbon/Carbon.h>
#include <IOKit/IOKit.h>

#include <cstddef>
#include <cstdint>

struct AVCData {
    REALobject owner;
    AVCData *newer, *older;
    int32_t lastError;
    uint8_t bundleLoaded;
    uint8_t pad[7];
    // Read by the host directly (data bytes 36 to 39).
    uint8_t PlayState, RecordState, WindState, LoadState;
    CFURLRef bundleURL;
    CFBundleRef bundle;
    IOFireWireAVCLibUnitInterface **unit;
    IOCFPlugInInterface **plugin;
    uint8_t command[20];
    uint32_t commandLength;
    uint8_t response[256];
    uint32_t responseLength;
    EventLoopTimerRef idleTimer;
};
static_assert(offsetof(AVCData, PlayState) == 36, "state bytes at data bytes 36 to 39");

extern "C" {

extern REALclassDefinition AVCClass;
extern AVCData *gAVCdataFirst;
extern AVCData *gAVCdataLast;

AVCData *AVC_Data(REALobject obj);

void AVC_Constructor(REALobject obj);
void AVC_Destructor(REALobject obj);
void AVC_CustomConstructor1(REALobject obj, REALstring bundleURL);
void AVC_CustomConstructor2(REALobject obj, REALobject bundleFolderItem);
void AVC_CustomConstructor3(REALobject obj);
void AVC_CreateIOCFPlugInInterface(REALobject obj);
void AVC_GetIOFireWireAVCLibUnitInterface(REALobject obj);
void AVC_ReleaseIOFireWireAVCLibUnitInterface(REALobject obj);
void AVC_DestroyPlugInInterface(REALobject obj);
void AVC_Initialize(REALobject obj);
RBInteger AVC_error(REALobject obj, intptr_t);
RBBoolean AVC_hasIOPluginInterface(REALobject obj, intptr_t);
RBBoolean AVC_hasAVCInterface(REALobject obj, intptr_t);
// One exchange of the frame in the instance data. False (nothing usable in
// the response) when the object is not primed, nothing was sent, the status
// is not 0 or fewer than `minimum` bytes came back.
bool AVC_Send2Device(REALobject obj, uint8_t capacity, uint32_t minimum = 0);

// The exported unit functions (a helper bundle offers the same names).
CFMutableDictionaryRef CreateMatchingDictionary();
IOCFPlugInInterface **CreateIOCFPlugInInterface();
IOFireWireAVCLibUnitInterface **GetIOFireWireAVCLibUnitInterface(IOCFPlugInInterface **plugin);
void ReleaseIOFireWireAVCLibUnitInterface(IOFireWireAVCLibUnitInterface **unit);
void DestroyPlugInInterface(IOCFPlugInInterface **plugin);
IOReturn Send2Device(IOFireWireAVCLibUnitInterface **unit, const UInt8 *command, UInt32 length, UInt8 *response,
                     UInt32 *responseLength);
IOReturn DispatcherToRunLoop(IOFireWireAVCLibUnitInterface **unit, CFRunLoopRef runLoop);

void throwAVCException(int32_t errorNumber, const char *message);
}
