// The component registry: the component descriptions, and opening, finding
// and closing component instances.
#include "registry.h"

#include <map>

namespace imaging {

namespace {

// Component k (1-based): an exporter for every format, then an importer for
// every format.
Component componentCount() { return Component(2 * formatCount()); }
ComponentDescription describe(Component c) {
    size_t i = c - 1, n = formatCount();
    bool exporter = i < n;
    return {exporter ? GraphicsExporterComponentType : GraphicsImporterComponentType, formatAt(i % n)->type,
            kManufacturer, 0, 0};
}

std::map<ComponentInstance, Instance> &instances() {
    static std::map<ComponentInstance, Instance> m;
    return m;
}
ComponentInstance gNextInstance = 0x10001;

}  // namespace

Instance *findInstance(ComponentInstance ci) {
    auto it = instances().find(ci);
    return it == instances().end() || it->second.closePending ? nullptr : &it->second;
}

Exporter *exporterOf(ComponentInstance ci) {
    Instance *in = findInstance(ci);
    return in ? in->exporter.get() : nullptr;
}

importer::Source *importerOf(ComponentInstance ci) {
    Instance *in = findInstance(ci);
    return in ? in->importer.get() : nullptr;
}

void freeInstance(ComponentInstance ci) {
    auto it = instances().find(ci);
    if (it == instances().end()) return;
    if (it->second.exporter) DisposeUserData(it->second.exporter->meta);
    if (it->second.importer) importer::closed(ci);
    instances().erase(it);
}

OSErr OpenADefaultComponent(OSType type, OSType subType, ComponentInstance *out) {
    if (!out) return paramErr;
    *out = 0;
    for (Component c = 1; c <= componentCount(); ++c) {
        ComponentDescription d = describe(c);
        // An importer of no particular subtype reads whatever the data is.
        bool anyImporter = type == GraphicsImporterComponentType && subType == 0;
        if (d.componentType != type || (d.componentSubType != subType && !anyImporter)) continue;
        Instance in;
        in.component = c;
        if (type == GraphicsExporterComponentType) {
            in.exporter = std::make_unique<Exporter>();
            in.exporter->format = formatOf(subType);
            in.exporter->settings.method = defaultCompressionMethod(subType);
        } else {
            in.importer = std::make_unique<importer::Source>();
            in.importer->subtype = subType;
        }
        ComponentInstance ci = gNextInstance++;
        instances()[ci] = std::move(in);
        *out = ci;
        return noErr;
    }
    return couldntGetRequiredComponent;
}

OSErr CloseComponent(ComponentInstance ci) {
    auto it = instances().find(ci);
    if (it == instances().end() || it->second.closePending) return invalidComponentID;
    if (it->second.busy) {
        it->second.closePending = true;  // freed when the running call returns
        return noErr;
    }
    freeInstance(ci);
    return noErr;
}

bool ComponentInstanceExists(ComponentInstance ci) { return findInstance(ci) != nullptr; }

OSType GetComponentSubType(ComponentInstance ci) {
    Instance *in = findInstance(ci);
    return in ? describe(in->component).componentSubType : 0;
}

ComponentResult CallComponentCanDo(ComponentInstance ci, int16_t selector) {
    Instance *in = findInstance(ci);
    if (!in || !in->exporter) return 0;
    switch (selector) {
        case kGraphicsExportSetExifEnabledSelect:
        case kGraphicsExportGetExifEnabledSelect:
            return exporterCanDoExif(*in->exporter);
        default:
            return 0;  // no settings dialog; no format here carries a thumbnail
    }
}

Component FindNextComponent(Component previous, const ComponentDescription *looking) {
    for (Component c = previous + 1; c <= componentCount(); ++c) {
        ComponentDescription d = describe(c);
        if (looking) {
            if (looking->componentType && looking->componentType != d.componentType) continue;
            if (looking->componentSubType && looking->componentSubType != d.componentSubType) continue;
            if (looking->componentManufacturer && looking->componentManufacturer != d.componentManufacturer) continue;
            if ((d.componentFlags & looking->componentFlagsMask) !=
                (looking->componentFlags & looking->componentFlagsMask))
                continue;
        }
        return c;
    }
    return 0;
}

OSErr GetComponentInfo(Component c, ComponentDescription *out) {
    if (c < 1 || c > componentCount() || !out) return invalidComponentID;
    *out = describe(c);
    return noErr;
}

}  // namespace imaging
