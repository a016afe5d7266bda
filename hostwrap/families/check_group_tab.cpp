#include "accessors.h"

#include "rows_define.inc"
#include "families/check_group_tab.def"

// Whether the host has tab panel captions at all: the resolver is asked on
// every call and its function is never called; the object is not used.
int32_t TabPanel_IsATabPanel(REALobject) { return KespResolver("tabPanelCaptionSetter") ? 1 : 0; }
