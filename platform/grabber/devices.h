// The grabber's device classes: QTGrabberDevicePlyx (one source the user can
// choose), QTGrabberDeviceListPlyx (the sources there were when it was
// made) and QTGrabberDeviceInputPlyx (one input of a device). Each object's
// instance data is one pointer to a record of the plug-in's, made with the
// object and freed by its destructor or by Close.
#pragma once

#include "source.h"

#include <rb/plugin.h>

#include <string>
#include <vector>

namespace grab {

struct DeviceInput {
    std::string device;  // the device's name in the settings
    int index = 0;
    std::string name;
};

// New objects, retained for the caller, or 0.
REALobject newDeviceObject(const SourceEntry &entry);
REALobject newDeviceList(std::vector<SourceEntry> entries);
REALobject newInputObject(const DeviceInput &input);
// What an object stands for; nullptr for nil, another class or one closed
// (or made by the host without the grabber).
const SourceEntry *deviceOf(REALobject device);
const DeviceInput *inputOf(REALobject input);

// Members (outside_members.def).
void deviceDestroy(REALobject o);
void deviceClose(REALobject o);
void deviceListDestroy(REALobject o);
REALobject deviceListItem(REALobject o, RBInteger index);
void deviceListClose(REALobject o);
void inputDestroy(REALobject o);
void inputClose(REALobject o);

}  // namespace grab
