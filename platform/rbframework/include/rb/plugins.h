// Loading plug-ins: shared libraries exporting REALPluginMain.
#pragma once

#include <string>
#include <vector>

namespace rb {

struct PluginLoad {
    bool ok = false;
    std::string error;  // why not, e.g. "no REALPluginMain in /x/y.so"
};

// dlopens `path`, calls its REALPluginMain with the resolver. Loading a
// library a second time does nothing and succeeds.
PluginLoad loadPlugin(const std::string &path);
// Every *.so of a folder, sorted by name; errors are collected, never thrown.
std::vector<PluginLoad> loadPlugins(const std::string &folder);
// The default plug-in folders: TAVRIN_PLUGIN_PATH (colon-separated) when set,
// else "plugins" next to the running program.
std::vector<std::string> pluginFolders();

}  // namespace rb

// Loads every plug-in of pluginFolders(); failures go to stderr. Returns
// the number of plug-ins loaded.
extern "C" int RuntimeInitExternalClasses();
