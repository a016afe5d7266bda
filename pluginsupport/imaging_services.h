// The host services that take or give the imaging layer's objects, shared
// by the plug-ins that make pictures and files with it (the grabber and the
// graphics plug-in). Each fetches its host service once and keeps it.
#pragma once

#include <rb/plugin.h>

#include "imaging/imaging.h"

namespace plugin {

// A new host picture that takes a picture handle over. When the host does
// not take it (no handle, no service, or the host fails), the handle is
// disposed and the answer is nil: either way the caller no longer owns it.
REALpicture pictureFromPicHandle(imaging::PicHandle handle);

// A folder item for a file spec, or nil.
REALfolderItem folderItemFromFSSpec(const imaging::FSSpec *spec);

}  // namespace plugin
