// Host services of the grabber plug-in beyond the shared ones (host_api.h),
// fetched by name through the resolver on first use and kept. A missing
// service yields 0 (or does nothing), and the caller returns 0 or nil.
#pragma once

#include <rb/plugin.h>
#include <rb/plugin_dialog.h>

#include "host_api.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace grab {

using plugin::loadObjectMethod;
using plugin::lockObject;
using plugin::newInstance;
using plugin::objectIsA;
using plugin::pictureFromPicHandle;
using plugin::unlockObject;

// A new host string of `bytes`, retained for the caller, or 0.
inline REALstring newString(const std::string &bytes) {
    return plugin::buildString(bytes.data(), int32_t(bytes.size()));
}
// The bytes of a host string; false when there is no string or the host
// cannot say.
bool stringBytes(REALstring s, std::string *out);

// The host runtime's clock in microseconds ("RuntimeMicroseconds"), callable
// from any thread, or nullptr when the host has none.
int64_t (*hostMicroseconds())();

// A folder item for a path, or 0.
REALfolderItem folderItemFromPath(const std::string &path);
// Paints 0x00RRGGBB pixels, row by row, into the video surface of the host
// window behind `window` at (left, top); false when there is no such window.
bool paintWindow(REALobject window, int left, int top, int width, int height, const uint32_t *pixels);

// Shows the host's modal dialog of popup menus ("RuntimePopupDialog", see
// rb/plugin_dialog.h); false when the host has none or cannot show it.
bool showPopupDialog(RBPopupDialog *dialog);
// Leaves a note about `about` (a class name) for the application to show,
// or takes it back with an empty text ("PluginSetNote").
void setNote(const char *about, const std::string &text);

}  // namespace grab
