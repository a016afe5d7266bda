// Libraries the loader must refuse: one without REALPluginMain, one whose
// REALPluginMain answers false.
#include <rb/plugin.h>

#ifdef WITH_FALSE_ENTRY
extern "C" __attribute__((visibility("default"))) RBBoolean REALPluginMain(REALResolver) { return 0; }
#else
extern "C" __attribute__((visibility("default"))) int notAnEntry() { return 1; }
#endif
