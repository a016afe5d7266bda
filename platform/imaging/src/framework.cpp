// The system library of the optional graphics calls: a program looks these
// up by name at run time, and tests may withhold one to play an older system.
#include "exporter.h"

#include <cstring>
#include <set>
#include <string>

namespace imaging {

namespace {

struct NamedFunction {
    const char *name;
    void *fn;
};
const NamedFunction kOptionalFunctions[] = {
    {"GraphicsExportGetThumbnailEnabled",
     reinterpret_cast<void *>(static_cast<GraphicsExportGetThumbnailEnabledProc>(exporter::getThumbnailEnabled))},
    {"GraphicsExportSetThumbnailEnabled",
     reinterpret_cast<void *>(static_cast<GraphicsExportSetThumbnailEnabledProc>(exporter::setThumbnailEnabled))},
    {"GraphicsExportSetExifEnabled",
     reinterpret_cast<void *>(static_cast<GraphicsExportSetExifEnabledProc>(exporter::setExifEnabled))},
    {"GraphicsExportGetExifEnabled",
     reinterpret_cast<void *>(static_cast<GraphicsExportGetExifEnabledProc>(exporter::getExifEnabled))},
};

std::set<std::string> &withheld() {
    static std::set<std::string> s;
    return s;
}

}  // namespace

struct BundleRec {
    int unused;
};

BundleRef LoadSystemFramework(const char *name) {
    static BundleRec quickTime;
    return name && std::strcmp(name, "QuickTime.framework") == 0 ? &quickTime : nullptr;
}

void *BundleGetFunctionPointerForName(BundleRef bundle, const char *name) {
    if (!bundle || !name || withheld().count(name)) return nullptr;
    for (const auto &f : kOptionalFunctions)
        if (std::strcmp(f.name, name) == 0) return f.fn;
    return nullptr;
}

void WithholdFunction(const char *name) {
    if (name) withheld().insert(name);
    else withheld().clear();
}

}  // namespace imaging
