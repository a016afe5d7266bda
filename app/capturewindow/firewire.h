// The application's subclasses of the FireWire plug-in classes: `AVCUnit`
// (of AVC) and `Notification` (of FWNotification). Without the plug-in both
// makers return nil.
#pragma once

#include <rb/object.h>
#include <rb/ui.h>

namespace tavrin {

// A new Notification made with "FWNotification()", showing its texts in `notify`.
rb::ObjRef newNotification(rb::Control *notify);
// A new AVCUnit made with "AVC()".
rb::ObjRef newAVCUnit();

}  // namespace tavrin
