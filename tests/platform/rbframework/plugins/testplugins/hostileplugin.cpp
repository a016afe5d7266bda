// A plug-in whose records the host must refuse one by one, with one sound
// class among them that must still load.
#include "plugin_support.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

#define CLASS(name, dataSize, props, propCount)                                                                 \
    REALclassDefinition {                                                                                       \
        kCurrentREALControlVersion, name, nullptr, dataSize, 0, nullptr, nullptr, props, propCount, nullptr, 0, \
            nullptr, 0, {}                                                                                      \
    }
#define DIRECT(name, type, at) \
    REALpropertyDefinition { nullptr, name, type, 0, REALstandardGetter, REALstandardSetter, at, nullptr, nullptr, 0 }

REALpropertyDefinition beyondEnd[] = {DIRECT("Inside", "integer", 0), DIRECT("Beyond", "double", 4)};
REALpropertyDefinition negative[] = {DIRECT("Before", "integer", -8)};
REALpropertyDefinition wayOut[] = {DIRECT("Far", "String", 1 << 20)};
REALpropertyDefinition mixed[] = {DIRECT("Count", "integer", 0), DIRECT("Text", "String", 0)};
// Two references five bytes apart: each write tears the other (found by fuzzing).
REALpropertyDefinition straddle[] = {DIRECT("First", "String", 28), DIRECT("Second", "String", 23)};
REALpropertyDefinition sound[] = {DIRECT("Count", "integer", 0), DIRECT("Same", "integer", 0),
                                  DIRECT("Text", "String", 8), DIRECT("Ratio", "double", 16)};

// The sound class's instance data (fields read and written by the host) and
// its destructor, which lets go of the string in "Text" as a plug-in must.
struct SurvivorData {
    int32_t count;
    REALstring text;
    double ratio;
};
static_assert(offsetof(SurvivorData, text) == 8 && offsetof(SurvivorData, ratio) == 16);
void survivorDestructor(REALobject o);

REALclassDefinition records[] = {
    CLASS("Picture", 8, nullptr, 0),         // the host's own class
    CLASS("folderitem", 8, nullptr, 0),      // ... in another case
    CLASS("BinaryStream", 8, nullptr, 0),    // ... built only when first used
    CLASS("", 8, nullptr, 0),                // no name
    CLASS("Huge", 0xFFFFFFF0u, nullptr, 0),  // wraps the 32-bit object size
    CLASS("BeyondEnd", 8, beyondEnd, 2),
    CLASS("Negative", 8, negative, 1),
    CLASS("WayOut", 8, wayOut, 1),
    CLASS("Mixed", 8, mixed, 2),
    CLASS("Straddle", 46, straddle, 2),
    REALclassDefinition{kCurrentREALControlVersion,
                        "Survivor",
                        nullptr,
                        sizeof(SurvivorData),
                        0,
                        nullptr,
                        survivorDestructor,
                        sound,
                        4,
                        nullptr,
                        0,
                        nullptr,
                        0,
                        {}},
    CLASS("Survivor", 8, nullptr, 0),  // a second record of the same name
};

// The record the host accepted for "Survivor": the first of that name.
const REALclassDefinition *survivorRecord() {
    for (const REALclassDefinition &r : records)
        if (r.name && std::string_view(r.name) == "Survivor") return &r;
    return nullptr;
}

void survivorDestructor(REALobject o) {
    auto *d = static_cast<SurvivorData *>(REALGetClassData(o, survivorRecord()));
    if (!d || !d->text) return;
    if (auto unlock = service<void (*)(REALstring)>("REALUnlockString")) unlock(d->text);
    d->text = nullptr;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) RBBoolean REALPluginMain(REALResolver resolver) {
    gResolver = resolver;
    announceVersion();
    for (REALclassDefinition &r : records) registerWith("PluginRegisterClass", &r);
    return 1;
}
