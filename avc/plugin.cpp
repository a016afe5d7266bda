// REALPluginMain of the AV/C plug-in: the classes AVCException, AVC and
// FWNotification declared to the host with their records.
#include "commands.h"
#include "notification.h"
#include "debug.h"
#include "resolver.h"
#include "unit.h"

#include <cstdlib>
#include <cstring>

extern "C" {
void FW_Constructor(REALobject);
void FW_Destructor(REALobject);
void FW_CustomConstructor1(REALobject, REALstring);
void FW_CustomConstructor2(REALobject, REALobject);
void FW_CustomConstructor3(REALobject);
RBInteger FW_error(REALobject, intptr_t);
RBBoolean FW_hasNotification(REALobject, intptr_t);
void AVC_SendCommandStatusUnitInfo(REALobject);
void AVC_SendCommandStatusSubunitInfo(REALobject);
void AVC_SendCommandStatusOutputPlugSignalFormat(REALobject);
void AVC_SendCommandStatusVendorDependent(REALobject);
}

namespace {

#define FN(f) reinterpret_cast<void *>(&f)
#define DIRECT REALstandardGetter

REALclassDefinition AVCExceptionClass = {kCurrentREALControlVersion, "AVCException", "RuntimeException", 0, 0,
                                         nullptr, nullptr, nullptr, 0, nullptr, 0, nullptr, 0, {}};

REALpropertyDefinition AVCProperties[] = {
    {nullptr, "lastError", "integer", 0, FN(AVC_error), nullptr, 0, nullptr, nullptr, 0},
    {nullptr, "isprimed", "Boolean", 0, FN(AVC_hasIOPluginInterface), nullptr, 0, nullptr, nullptr, 0},
    {nullptr, "exists", "Boolean", 0, FN(AVC_hasAVCInterface), nullptr, 0, nullptr, nullptr, 0},
    {nullptr, "vcr_is_playing", "Boolean", 0, FN(AVC_vcr_is_playing), nullptr, 0, nullptr, nullptr, 0},
    {nullptr, "vcr_is_recording", "Boolean", 0, FN(AVC_vcr_is_recording), nullptr, 0, nullptr, nullptr, 0},
    {nullptr, "vcr_is_winding", "Boolean", 0, FN(AVC_vcr_is_winding), nullptr, 0, nullptr, nullptr, 0},
    {nullptr, "vcr_is_loading_medium", "Boolean", 0, FN(AVC_vcr_is_loading_medium), nullptr, 0, nullptr, nullptr, 0},
    {nullptr, "PlayState", "Boolean", 0, DIRECT, nullptr, offsetof(AVCData, PlayState), nullptr, nullptr, 0},
    {nullptr, "RecordState", "Boolean", 0, DIRECT, nullptr, offsetof(AVCData, RecordState), nullptr, nullptr, 0},
    {nullptr, "WindState", "Boolean", 0, DIRECT, nullptr, offsetof(AVCData, WindState), nullptr, nullptr, 0},
    {nullptr, "LoadState", "Boolean", 0, DIRECT, nullptr, offsetof(AVCData, LoadState), nullptr, nullptr, 0},
    {nullptr, "TimeCounter", "String", 0, FN(AVC_vcr_get_timecounter), FN(AVC_vcr_seek_timecounter), 0, nullptr,
     nullptr, 0},
    {nullptr, "TimeCode", "String", 0, FN(AVC_vcr_get_timecode), FN(AVC_vcr_seek_timecode), 0, nullptr, nullptr, 0},
    {nullptr, "RecordingDate", "String", 0, FN(AVC_vcr_getRecordingDate), nullptr, 0, nullptr, nullptr, 0},
    {nullptr, "RecordingSpeed", "String", 0, FN(AVC_vcr_getRecordingSpeed), nullptr, 0, nullptr, nullptr, 0},
    {nullptr, "RecordingTime", "String", 0, FN(AVC_vcr_getRecordingTime), nullptr, 0, nullptr, nullptr, 0},
};

REALmethodDefinition AVCMethods[] = {
    {FN(AVC_SetBundleTimer), nullptr, "SetIdleTimer(delay as integer, duration as integer)", 0},
    {FN(AVC_SendCommandStatusUnitInfo), nullptr, "UnitInfo()", 0},
    {FN(AVC_SendCommandStatusSubunitInfo), nullptr, "SubunitInfo()", 0},
    {FN(AVC_SendCommandStatusOutputPlugSignalFormat), nullptr, "OutputPlugSignalFormat()", 0},
    {FN(AVC_SendCommandStatusVendorDependent), nullptr, "VendorDependent()", 0},
    {FN(AVC_ForwardIndex), nullptr, "ForwardIndex()", 0},
    {FN(AVC_BackwardIndex), nullptr, "BackwardIndex()", 0},
    {FN(AVC_MediumEject), nullptr, "MediumEject()", 0},
    {FN(AVC_MediumOpenTray), nullptr, "MediumOpenTray()", 0},
    {FN(AVC_MediumCloseTray), nullptr, "MediumCloseTray()", 0},
    {FN(AVC_PlayNextFrame), nullptr, "PlayNextFrame()", 0},
    {FN(AVC_PlayForwardSpeed), nullptr, "PlayForward(speed as integer)", 0},
    {FN(AVC_PlayPreviousFrame), nullptr, "PlayPreviousFrame()", 0},
    {FN(AVC_PlayReverseSpeed), nullptr, "PlayReverse(speed as integer)", 0},
    {FN(AVC_PlayForward), nullptr, "PlayForward()", 0},
    {FN(AVC_PlayReverse), nullptr, "PlayReverse()", 0},
    {FN(AVC_PlayForwardPause), nullptr, "PlayForwardPause()", 0},
    {FN(AVC_PlayReversePause), nullptr, "PlayReversePause()", 0},
    {FN(AVC_RecordRecord), nullptr, "RecordRecord()", 0},
    {FN(AVC_RecordPause), nullptr, "RecordPause()", 0},
    {FN(AVC_WindHighSpeedRewind), nullptr, "WindHighSpeedRewind()", 0},
    {FN(AVC_WindStop), nullptr, "WindStop()", 0},
    {FN(AVC_WindRewind), nullptr, "WindRewind()", 0},
    {FN(AVC_WindFastForward), nullptr, "WindFastForward()", 0},
    {FN(AVC_CustomConstructor1), nullptr, "AVC(bundleURL as String)", 0},
    {FN(AVC_CustomConstructor2), nullptr, "AVC(bundleFolderItem as FolderItem)", 0},
    {FN(AVC_CustomConstructor3), nullptr, "AVC()", 0},
    {FN(AVC_CreateIOCFPlugInInterface), nullptr, "Create()", 0},
    {FN(AVC_GetIOFireWireAVCLibUnitInterface), nullptr, "Commence()", 0},
    {FN(AVC_DestroyPlugInInterface), nullptr, "Destroy()", 0},
    {FN(AVC_ReleaseIOFireWireAVCLibUnitInterface), nullptr, "Cease()", 0},
};

REALeventDefinition AVCEvents[] = {{"Idle()", 0}, {"IdleStart()", 0}, {"IdleStop()", 0}};

REALpropertyDefinition FWProperties[] = {
    {nullptr, "lastError", "integer", 0, FN(FW_error), nullptr, 0, nullptr, nullptr, 0},
    {nullptr, "exists", "Boolean", 0, FN(FW_hasNotification), nullptr, 0, nullptr, nullptr, 0},
};

REALmethodDefinition FWMethods[] = {
    {FN(FW_CustomConstructor1), nullptr, "FWNotification(bundleURL as string)", 0},
    {FN(FW_CustomConstructor2), nullptr, "FWNotification(framework as folderItem)", 0},
    {FN(FW_CustomConstructor3), nullptr, "FWNotification()", 0},
};

REALeventDefinition FWEvents[] = {
    {"ServiceIsTerminated(message as string)", 0},   {"ServiceIsSuspended(message as string)", 0},
    {"ServiceIsResumed(message as string)", 0},      {"ServiceIsRequestingClose(message as string)", 0},
    {"ServiceIsAttemptingOpen(message as string)", 0}, {"ServiceWasClosed(message as string)", 0},
    {"ServiceBusyStateChange(message as string)", 0}, {"CanDevicePowerOff(message as string)", 0},
    {"DeviceWillPowerOff(message as string)", 0},    {"DeviceWillNotPowerOff(message as string)", 0},
    {"DeviceHasPoweredOn(message as string)", 0},    {"CanSystemPowerOff(message as string)", 0},
    {"SystemWillPowerOff(message as string)", 0},    {"SystemWillNotPowerOff(message as string)", 0},
    {"CanSystemSleep(message as string)", 0},        {"SystemWillSleep(message as string)", 0},
    {"SystemWillNotSleep(message as string)", 0},    {"SystemHasPoweredOn(message as string)", 0},
    {"FireWireIsRequestingClose(message as string)", 0},
};

// ---- registration -------------------------------------------------------------------------

template <class F> F service(const char *name) { return reinterpret_cast<F>(hostService(name)); }

// Hosts older than 5.9 read method records without the flags word.
void shortenMethodsForOldHosts(REALclassDefinition *def) {
    static auto version = service<double (*)()>("REALGetRBVersion");
    if (version && version() >= 5.9) return;
    auto *list = static_cast<REALmethodDefinitionShort *>(std::calloc(def->methodCount ? def->methodCount : 1,
                                                                      sizeof(REALmethodDefinitionShort)));
    if (!list) return;
    for (uint32_t i = 0; i < def->methodCount; ++i)
        list[i] = {def->methods[i].function, def->methods[i].setterFunction, def->methods[i].declaration};
    def->methods = reinterpret_cast<REALmethodDefinition *>(list);  // kept for the life of the plug-in
}

}  // namespace

extern "C" {

REALclassDefinition FWNotificationClass;

REALclassDefinition AVCClass = {kCurrentREALControlVersion,
                                "AVC",
                                nullptr,
                                sizeof(AVCData),
                                0,
                                AVC_Constructor,
                                AVC_Destructor,
                                AVCProperties,
                                sizeof AVCProperties / sizeof AVCProperties[0],
                                AVCMethods,
                                sizeof AVCMethods / sizeof AVCMethods[0],
                                AVCEvents,
                                sizeof AVCEvents / sizeof AVCEvents[0],
                                {}};

void REALRegisterClass(REALclassDefinition *def) {
    static auto reg = service<void (*)(REALclassDefinition *)>("PluginRegisterClass");
    if (!reg) return;
    shortenMethodsForOldHosts(def);
    reg(def);
}

RBBoolean PluginEntry() {
    Loadprint();
    REALRegisterClass(&AVCExceptionClass);
    REALRegisterClass(&AVCClass);
    REALRegisterClass(&FWNotificationClass);
    return IsMacOSX();
}

__attribute__((visibility("default"))) RBBoolean REALPluginMain(REALResolver resolver) {
    gResolver = resolver;
    if (auto announce = service<void (*)(int)>("RegisterPluginVersion")) announce(9);
    return PluginEntry();
}

}  // extern "C"

namespace {
struct FWNotificationClassInit {
    FWNotificationClassInit() {
        FWNotificationClass = {kCurrentREALControlVersion,
                               "FWNotification",
                               nullptr,
                               sizeof(FWNotificationData),
                               0,
                               FW_Constructor,
                               FW_Destructor,
                               FWProperties,
                               2,
                               FWMethods,
                               3,
                               FWEvents,
                               19,
                               {}};
    }
} gFWNotificationClassInit;
}  // namespace
