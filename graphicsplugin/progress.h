// The progress events that the importer and exporter raise while their
// component works, and the progress procedure both install.
#pragma once

#include "helpers.h"

namespace gp {

// The host's handlers of the three progress events of one object (0 where
// its class has none), in the order of the event list.
struct ProgressHandlers {
    void *open;
    void *updatePercent;
    void *close;
};

// The handlers of `obj` for the first three events of its class record.
ProgressHandlers progressHandlersOf(REALobject obj, const REALclassDefinition &cls);

// Raises the event of one progress message on `obj`, yielding to the host
// first in progress mode 3. Answers `cancelled` when the handler of
// ProgressUpdatePercent answers true, else noErr. The current port is kept.
imaging::OSErr raiseProgress(REALobject obj, int32_t mode, const ProgressHandlers &handlers, int16_t message,
                             imaging::Fixed completeness, imaging::OSErr cancelled);

}  // namespace gp
