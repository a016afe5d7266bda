// Notes plug-ins leave for the application through the host service
// "PluginSetNote" (rb/plugin_dialog.h): one line each about a class, such as
// why a grabber has no video, for the application to show where it likes.
#pragma once

#include <string>

namespace rb {

// The note about `about` (a plug-in class name), or "" for none.
std::string pluginNote(const std::string &about);

}  // namespace rb
