// The plug-in's one resolver of host services, kept by REALPluginMain.
#pragma once

#include <rb/plugin.h>

extern "C" REALResolver gResolver;

// A host service by name, or nullptr when there is no resolver or no service.
inline void *hostService(const char *name) { return gResolver ? gResolver(name) : nullptr; }
