// What the member files of the plug-in share: the implemented members by
// binding text, the class records, and the rectangle helpers.
#pragma once

#include <rb/plugin.h>

#include <cstdint>
#include <map>
#include <string>

namespace grab {

// Implemented members by binding text (texts of outside_members.def). Every
// other member of the table gets a harmless function that returns 0.
using ImplMap = std::map<std::string, void *>;
void addGrabberMembers(ImplMap &m);
void addGeometryMembers(ImplMap &m);
void addOutsideMembers(ImplMap &m);

// QTUserDataPlyx, a class without binding texts: its data size,
// constructor and destructor.
struct UserDataClass {
    uint32_t dataSize;
    void (*constructor)(REALobject);
    void (*destructor)(REALobject);
};
UserDataClass userDataClass();

// Builds every record from the table and registers it with the host.
void registerAll();
// A class record by name once built (0 before), e.g. for the position of
// an object's instance data.
REALclassDefinition *classRecord(const char *name);
// The instance data of an object of one of the plug-in's classes, or 0.
void *instanceData(REALobject o, const char *className);

// IntegerRectPlyx data, in this order.
struct IntRect {
    int32_t top, bottom, left, right;
};
static_assert(sizeof(IntRect) == 16, "IntegerRectPlyx data is four 32-bit integers");
// The rectangle of an IntegerRectPlyx object; false for nil or another class.
bool readIntRect(REALobject o, IntRect *out);
// A new IntegerRectPlyx holding `r`, retained for the caller, or 0.
REALobject newIntRect(const IntRect &r);

}  // namespace grab
