// REALPluginMain of the AV/C plug-in: the classes AVCException, AVC and
// FWNotification declared to the host with their records.
#include "commands.h"
#include "notification.h"
#include "debug.h"
#include "resolver.h"
#include "unit.h"

#include <cstddef>
#include <cstdlib>

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

// ---- registration -------------------------------------------------------------------------

// Hosts older than 5.9 read method records without the flags word.
void shortenMethodsForOldHosts(REALclassDefinition *def) {
    HOST_SERVICE(version, "REALGetRBVersion", double (*)());
    if (version && version() >= 5.9) return;
    auto *list = static_cast<REALmethodDefinitionShort *>(std::calloc(def->methodCount ? def->methodCount : 1,
                                                                      sizeof(REALmethodDefinitionShort)));
    if (!list) return;
    for (uint32_t i = 0; i < def->methodCount; ++i)
        list[i] = {def->methods[i].function, def->methods[i].setterFunction, def->methods[i].declaration};
    def->methods = reinterpret_cast<REALmethodDefinition *>(list);  // kept for the life of the plug-in
}

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

void REALRegisterClass(REALclassDefinition *def) {
    HOST_SERVICE(reg, "PluginRegisterClass", void (*)(REALclassDefinition *));
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
    setResolver(resolver);
    HOST_SERVICE(announce, "RegisterPluginVersion", void (*)(int));
    if (announce) announce(9);
    return PluginEntry();
}

}  // extern "C"
