// The device, device list and input objects.
#include "devices.h"

#include "host.h"
#include "members.h"

#include <cstddef>
#include <new>
#include <string>

namespace grab {

namespace {

// Whether an object handed in is of the class. A host that cannot say so
// directly still finds the class's own Close for one.
bool isOf(REALobject o, const char *className) {
    int known = objectIsA(o, className);
    if (known >= 0) return known == 1;
    std::string cls = className;
    void *close = cls == "QTGrabberDevicePlyx"       ? fp(deviceClose)
                  : cls == "QTGrabberDeviceListPlyx" ? fp(deviceListClose)
                                                     : fp(inputClose);
    return loadObjectMethod(o, "Close") == close;
}

// Where an object of the class keeps its record, or nullptr.
template <class Record> Record **slot(REALobject o, const char *className) {
    if (!o || !isOf(o, className)) return nullptr;
    return static_cast<Record **>(instanceData(o, className));
}

template <class Record> Record *recordOf(REALobject o, const char *className) {
    Record **s = slot<Record>(o, className);
    return s ? *s : nullptr;
}

// A new object holding `record` (taken over), or 0.
template <class Record> REALobject make(const char *className, Record *record) {
    REALobject o = record ? newInstance(className) : nullptr;
    Record **s = slot<Record>(o, className);
    if (!s) {
        delete record;
        unlockObject(o);
        return nullptr;
    }
    *s = record;  // the host hands the data over zeroed
    return o;
}

template <class Record> void drop(REALobject o, const char *className) {
    if (Record **s = slot<Record>(o, className)) {
        delete *s;
        *s = nullptr;
    }
}

using DeviceList = std::vector<SourceEntry>;

}  // namespace

REALobject newDeviceObject(const SourceEntry &entry) {
    return make("QTGrabberDevicePlyx", new (std::nothrow) SourceEntry(entry));
}

REALobject newDeviceList(std::vector<SourceEntry> entries) {
    return make("QTGrabberDeviceListPlyx", new (std::nothrow) DeviceList(std::move(entries)));
}

REALobject newInputObject(const DeviceInput &input) {
    return make("QTGrabberDeviceInputPlyx", new (std::nothrow) DeviceInput(input));
}

const SourceEntry *deviceOf(REALobject device) { return recordOf<SourceEntry>(device, "QTGrabberDevicePlyx"); }
const DeviceInput *inputOf(REALobject input) { return recordOf<DeviceInput>(input, "QTGrabberDeviceInputPlyx"); }

void deviceDestroy(REALobject o) { drop<SourceEntry>(o, "QTGrabberDevicePlyx"); }
void deviceClose(REALobject o) { drop<SourceEntry>(o, "QTGrabberDevicePlyx"); }
void deviceListDestroy(REALobject o) { drop<DeviceList>(o, "QTGrabberDeviceListPlyx"); }
void deviceListClose(REALobject o) { drop<DeviceList>(o, "QTGrabberDeviceListPlyx"); }
void inputDestroy(REALobject o) { drop<DeviceInput>(o, "QTGrabberDeviceInputPlyx"); }
void inputClose(REALobject o) { drop<DeviceInput>(o, "QTGrabberDeviceInputPlyx"); }

// Counted from 0; nil past the end (so a list is walked until it answers nil).
REALobject deviceListItem(REALobject o, RBInteger index) {
    const DeviceList *list = recordOf<DeviceList>(o, "QTGrabberDeviceListPlyx");
    if (!list || index < 0 || size_t(index) >= list->size()) return nullptr;
    return newDeviceObject((*list)[size_t(index)]);
}

// Each object's instance data is the pointer to its record.
#define MEMBERS_DEF "grabber/outside_members.def"
#define PLUGIN_SECTION OUTSIDE_DEVICE
#define CLASS_RECORD gDeviceClass
#define CLASS_DATA SourceEntry *
#include "class_records.inc"

#define MEMBERS_DEF "grabber/outside_members.def"
#define PLUGIN_SECTION OUTSIDE_DEVICELIST
#define CLASS_RECORD gDeviceListClass
#define CLASS_DATA DeviceList *
#include "class_records.inc"

#define MEMBERS_DEF "grabber/outside_members.def"
#define PLUGIN_SECTION OUTSIDE_DEVICEINPUT
#define CLASS_RECORD gDeviceInputClass
#define CLASS_DATA DeviceInput *
#include "class_records.inc"

}  // namespace grab
