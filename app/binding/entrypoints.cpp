#include "binding/entrypoints.h"

#include <rb/entrypoints.h>

#include <string>

namespace tavrin {

void **__plugin_entrypoints = nullptr;

void _InitPluginEntrypoints() {
    __plugin_entrypoints = RuntimeAllocatePluginEntrypointsTable(kEntrypointCount);
    for (int i = 0; i < kEntrypointCount; ++i)
        __plugin_entrypoints[i] = RuntimeLookupPluginEntrypoint(std::string(detail::kTexts[i]).c_str());
}

}  // namespace tavrin
