// The records of the outside classes whose members the plug-in does not
// implement (the framework's control plug-ins, QTGrabberOutputPlyx,
// QTGrabberDeviceInputListPlyx, VideoGrabberDisplayPlyx), every record in
// registration order, and the plug-in's entry REALPluginMain.
#include "host.h"
#include "members.h"

#include <cstddef>
#include <cstring>

namespace grab {

intptr_t answerNothing(REALobject, intptr_t, intptr_t) { return 0; }
double answerNoDouble(REALobject, intptr_t) { return 0.0; }
void destroyNothing(REALobject) {}

namespace {

// The instance data of a grabber class whose members answer nothing: one
// word, which nothing reads.
struct UnusedWord {
    void *unused;
};

}  // namespace

#define MEMBERS_DEF "grabber/outside_members.def"
#define PLUGIN_SECTION OUTSIDE_BEVELBUTTON
#define CLASS_RECORD gBevelButtonClass
#include "class_records.inc"

#define MEMBERS_DEF "grabber/outside_members.def"
#define PLUGIN_SECTION OUTSIDE_PLACARD
#define CLASS_RECORD gPlacardClass
#include "class_records.inc"

#define MEMBERS_DEF "grabber/outside_members.def"
#define PLUGIN_SECTION OUTSIDE_DISCLOSURETRIANGLE
#define CLASS_RECORD gDisclosureTriangleClass
#include "class_records.inc"

#define MEMBERS_DEF "grabber/outside_members.def"
#define PLUGIN_SECTION OUTSIDE_IMAGEWELL
#define CLASS_RECORD gImageWellClass
#include "class_records.inc"

#define MEMBERS_DEF "grabber/outside_members.def"
#define PLUGIN_SECTION OUTSIDE_OUTPUT
#define CLASS_RECORD gOutputClass
#define CLASS_DATA UnusedWord
#include "class_records.inc"

#define MEMBERS_DEF "grabber/outside_members.def"
#define PLUGIN_SECTION OUTSIDE_DEVICEINPUTLIST
#define CLASS_RECORD gDeviceInputListClass
#define CLASS_DATA UnusedWord
#include "class_records.inc"

#define MEMBERS_DEF "grabber/outside_members.def"
#define PLUGIN_SECTION OUTSIDE_DISPLAY
#define CLASS_RECORD gDisplayClass
#define CLASS_DATA UnusedWord
#include "class_records.inc"

namespace {

// Table order.
REALclassDefinition *const kClasses[] = {
    &gBevelButtonClass, &gPlacardClass,      &gDisclosureTriangleClass, &gImageWellClass,       &gDoublePointClass,
    &gDoubleRectClass,  &gIntegerPointClass, &gIntegerRectClass,        &gOutputClass,          &gDeviceClass,
    &gDeviceListClass,  &gGrabberClass,      &gDeviceInputClass,        &gDeviceInputListClass, &gDisplayClass,
    &gUserDataClass,
};

}  // namespace

REALclassDefinition *classRecord(const char *name) {
    for (REALclassDefinition *def : kClasses)
        if (std::strcmp(def->name, name) == 0) return def;
    return nullptr;
}

void *instanceData(REALobject o, const char *className) {
    REALclassDefinition *def = classRecord(className);
    if (!o || !def || !def->forSystemUse || !def->dataSize) return nullptr;
    return REALGetClassData(o, def);
}

void registerAll() {
    for (REALclassDefinition *def : kClasses) plugin::registerClass(def);
    plugin::registerClassExtension(&gApplicationExtension);
    for (size_t i = 0; i < gGlobalMethodCount; ++i) plugin::registerMethod(&gGlobalMethods[i]);
}

}  // namespace grab

extern "C" __attribute__((visibility("default"))) RBBoolean REALPluginMain(REALResolver resolver) {
    setResolver(resolver);
    plugin::announceVersion();
    grab::registerAll();
    return 1;
}
