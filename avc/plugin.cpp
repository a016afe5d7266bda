// REALPluginMain of the AV/C plug-in: the classes AVCException, AVC and
// FWNotification declared to the host with their records.
#include "commands.h"
#include "notification.h"
#include "debug.h"
#include "host_api.h"
#include "unit.h"

#include <cstddef>

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

#define MEMBERS_DEF "avc/members.def"
#define PLUGIN_SECTION AVC_EXCEPTION
#define CLASS_RECORD AVCExceptionClass
#include "class_records.inc"

}  // namespace

#define MEMBERS_DEF "avc/members.def"
#define PLUGIN_SECTION AVC_UNIT
#define CLASS_RECORD AVCClass
#define CLASS_DATA AVCData
#include "class_records.inc"

#define MEMBERS_DEF "avc/members.def"
#define PLUGIN_SECTION AVC_NOTIFICATION
#define CLASS_RECORD FWNotificationClass
#define CLASS_DATA FWNotificationData
#include "class_records.inc"

extern "C" {

void REALRegisterClass(REALclassDefinition *def) { plugin::registerClass(def); }
void REALRegisterClassExtension(REALclassDefinition *def) { plugin::registerClassExtension(def); }
void REALRegisterMethod(REALmethodDefinition *def) { plugin::registerMethod(def); }

RBBoolean PluginEntry() {
    Loadprint();
    REALRegisterClass(&AVCExceptionClass);
    REALRegisterClass(&AVCClass);
    REALRegisterClass(&FWNotificationClass);
    return IsMacOSX();
}

__attribute__((visibility("default"))) RBBoolean REALPluginMain(REALResolver resolver) {
    setResolver(resolver);
    plugin::announceVersion();
    return PluginEntry();
}

}  // extern "C"
