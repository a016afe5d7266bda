// The event-handler installers of every wrapper class (the tables are in
// events_rows.h).
#include "wrappers/wrappers.h"
#include "xstring.h"

long hostwrap::installEventHandler(REALobjectStruct *object, const char *event, REALproc callback) {
    XString name(event);  // left with the host: XString never releases
    return Runtime_InstallInstanceEventHandler(object, name, callback);
}

#define HW_DEF_EVENTS_OF(C) HW_EVENTS_##C(HW_DEF_EVENT, C)
HW_EVENT_CLASSES(HW_DEF_EVENTS_OF)
#undef HW_DEF_EVENTS_OF
