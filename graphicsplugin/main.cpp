// Entry point and registration of the graphics plug-in.
#include "classes.h"
#include "helpers.h"

namespace gp {

bool gQuickTimePresent = false;
imaging::GraphicsExportGetThumbnailEnabledProc gGetThumbnailEnabled = nullptr;
imaging::GraphicsExportSetThumbnailEnabledProc gSetThumbnailEnabled = nullptr;
imaging::GraphicsExportSetExifEnabledProc gSetExifEnabled = nullptr;
imaging::GraphicsExportGetExifEnabledProc gGetExifEnabled = nullptr;
imaging::ICMProgressUPP gExporterProgressUPP = nullptr;
REALclassDefinition *gImporterClass = nullptr;
imaging::ICMProgressUPP gImporterProgressUPP = nullptr;

namespace {

void resolveGraphicsExportFunctions(imaging::BundleRef qt) {
    using namespace imaging;
    gGetThumbnailEnabled = reinterpret_cast<GraphicsExportGetThumbnailEnabledProc>(
        BundleGetFunctionPointerForName(qt, "GraphicsExportGetThumbnailEnabled"));
    gSetThumbnailEnabled = reinterpret_cast<GraphicsExportSetThumbnailEnabledProc>(
        BundleGetFunctionPointerForName(qt, "GraphicsExportSetThumbnailEnabled"));
    gSetExifEnabled = reinterpret_cast<GraphicsExportSetExifEnabledProc>(
        BundleGetFunctionPointerForName(qt, "GraphicsExportSetExifEnabled"));
    gGetExifEnabled = reinterpret_cast<GraphicsExportGetExifEnabledProc>(
        BundleGetFunctionPointerForName(qt, "GraphicsExportGetExifEnabled"));
}

bool registerGraphicsPlugin() {
    gQuickTimePresent = enterMovies();
    if (gQuickTimePresent) {
        resolveGraphicsExportFunctions(loadSystemFramework("QuickTime.framework"));
        gExporterProgressUPP = imaging::NewICMProgressUPP(exporterProgressProc);
        gImporterProgressUPP = imaging::NewICMProgressUPP(importerProgressProc);
    }
    registerClassExtension(&gMemoryBlockExtension);
    // Class order: QTGraphicsImporterMatrixPlyx, QTGraphicsImporterPlyx,
    // QTGraphicsExporterPlyx, QTGraphicsImporterImageDescriptionPlyx.
    registerClass(&gMatrixClass);
    registerClass(&gImporterClassRecord);
    gImporterClass = &gImporterClassRecord;
    registerClass(&gExporterClass);
    registerClass(&gImageDescriptionClass);
    for (size_t i = 0; i < gGlobalMethodCount; ++i) registerMethod(&gGlobalMethods[i]);
    return true;
}

}  // namespace
}  // namespace gp

extern "C" __attribute__((visibility("default"))) RBBoolean REALPluginMain(REALResolver resolver) {
    setResolver(resolver);
    plugin::announceVersion();
    return gp::registerGraphicsPlugin();
}
