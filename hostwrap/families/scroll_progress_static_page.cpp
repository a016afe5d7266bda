#include "accessors.h"

#include "rows_define.inc"
#include "families/scroll_progress_static_page.def"

// A static text's text is its caption; these two keep no slot of their own.
REALstring StaticText_GetText(REALobject control) { return StaticText_GetCaption(control); }
void StaticText_SetText(REALobject control, REALstring text) { StaticText_SetCaption(control, text); }
