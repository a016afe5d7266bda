// What the member files of the plug-in share: the class records, the
// functions of the members it does not implement, and the rectangle helpers.
#pragma once

#include <rb/plugin.h>

#include <cstddef>
#include <cstdint>

namespace grab {

// A member function as an untyped entry, as the host keeps it.
template <typename F> void *fp(F f) { return reinterpret_cast<void *>(f); }

// What the members of outside_members.def that the plug-in does not
// implement do: nothing, answering 0, nil or false (or 0.0 for a double).
intptr_t answerNothing(REALobject, intptr_t, intptr_t);
double answerNoDouble(REALobject, intptr_t);
void destroyNothing(REALobject);

// The class records, each built from its section of outside_members.def by
// the file that implements the class, and the application extension and
// global methods (outside.cpp).
extern REALclassDefinition gBevelButtonClass, gPlacardClass, gDisclosureTriangleClass, gImageWellClass;
extern REALclassDefinition gDoublePointClass, gDoubleRectClass, gIntegerPointClass, gIntegerRectClass;
extern REALclassDefinition gOutputClass, gDeviceClass, gDeviceListClass, gGrabberClass, gDeviceInputClass,
    gDeviceInputListClass, gDisplayClass;
extern REALclassDefinition gUserDataClass;
extern REALclassDefinition gApplicationExtension;
extern REALmethodDefinition gGlobalMethods[];
extern const size_t gGlobalMethodCount;

// Registers every record with the host.
void registerAll();
// A class record by name, e.g. for the position of an object's instance
// data; 0 for a class the plug-in does not declare.
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
