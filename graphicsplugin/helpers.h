// Conversion helpers shared by the plug-in's classes and global functions.
#pragma once

#include "host_api.h"

#include "imaging/imaging.h"

#include "imaging/matrix.h"

namespace gp {

// The host's services, by the support library's names.
using namespace plugin;
using imaging::OSType;

// The instance data of an object of an outside class (data at byte 24).
inline void *outsideData(REALobject o) { return reinterpret_cast<char *>(o) + sizeof(REALobjectStruct); }

// Text encodings the plug-in sets on the strings it makes.
constexpr uint32_t kEncodingMacRoman = 0;
constexpr uint32_t kEncodingASCII = 0x0600;
constexpr uint32_t kEncodingUnknown = 0xFFFF;

REALstring hostStringFromBytes(const void *bytes, size_t length, uint32_t encoding);
OSType osTypeFromHostString(REALstring text);
REALstring hostStringFromOSType(OSType code);
imaging::OSErr newGWorldPreferTemp(imaging::GWorldRef *out, int16_t depth, const imaging::Rect *bounds, uint32_t flags);
REALstring hostStringFromUserData(imaging::UserData ud);
// The metadata of an importer or exporter component (`get` reads it) in new
// user data, or 0; `status` receives the platform's answer.
imaging::UserData readComponentMetaData(imaging::ComponentInstance ci,
                                        imaging::ComponentResult (*get)(imaging::ComponentInstance, imaging::UserData),
                                        int32_t *status);
imaging::UserData userDataFromHostString(REALstring text);

// `QTUserDataPlyx` (another plug-in's class), as its instance data lies.
struct UserDataObjectData {
    uint32_t tag;   // 'QTUD'
    uint32_t owns;  // the object disposes the user data when it goes
    uint32_t unused;
    imaging::UserData userData;
};
constexpr uint32_t kUserDataTag = 0x51545544;  // 'QTUD'
imaging::UserData userDataFromObject(REALobject object);
REALobject newUserDataObject(imaging::UserData ud, bool owns);

// `IntegerRectPlyx` (another plug-in's class): top, bottom, left, right.
struct IntegerRectData {
    int32_t top, bottom, left, right;
};
REALobject newIntegerRectObject(const imaging::Rect &rect);
bool rectFromIntegerRectObject(REALobject object, imaging::Rect *rect);
// A double as 16.16: times 65536, truncated (clamped to 32 bits).
imaging::Fixed fixedFromDouble(double v);
// A point object: two doubles x then y at the start of its instance data.
bool fixedPointFromObject(REALobject object, imaging::FixedPoint *point);

constexpr int16_t kSystemDomain = -32767;
imaging::BundleRef loadFrameworkInDomain(int16_t domain, const char *name);
imaging::BundleRef loadSystemFramework(const char *name);

}  // namespace gp
