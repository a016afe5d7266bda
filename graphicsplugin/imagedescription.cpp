// QTGraphicsImporterImageDescriptionPlyx: a detached copy of an image's
// description. The host reads and writes every property but the two
// resolutions straight from the instance data, so the fields keep their
// documented order; strings are pointers here and take pointer-sized slots.
#include "classes.h"
#include "helpers.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

using namespace imaging;

namespace gp {

namespace {

struct DescriptionData {
    REALstring codecType;
    int32_t version;
    int32_t revisionLevel;
    REALstring vendor;
    int32_t temporalQuality;
    int32_t spatialQuality;
    int32_t width;
    int32_t height;
    double horizontalResolution;
    double verticalResolution;
    int32_t frameCount;
    int32_t depth;
    REALstring codecName;
    REALstring colorSpace;
};

DescriptionData *dataOf(REALobject obj) {
    return static_cast<DescriptionData *>(REALGetClassData(obj, &gImageDescriptionClass));
}

void release(REALstring &s) {
    unlockString(s);
    s = nullptr;
}

// Destructor and "Close": every string the object holds goes.
void Destructor(REALobject obj) {
    DescriptionData *d = dataOf(obj);
    if (!d) return;
    release(d->codecType);
    release(d->vendor);
    release(d->codecName);
    release(d->colorSpace);
}

double GetHorizontal(REALobject obj, intptr_t) {
    DescriptionData *d = dataOf(obj);
    return d ? d->horizontalResolution : 0;
}
void SetHorizontal(REALobject obj, intptr_t, double v) {
    if (DescriptionData *d = dataOf(obj)) d->horizontalResolution = v;
}
double GetVertical(REALobject obj, intptr_t) {
    DescriptionData *d = dataOf(obj);
    return d ? d->verticalResolution : 0;
}
void SetVertical(REALobject obj, intptr_t, double v) {
    if (DescriptionData *d = dataOf(obj)) d->verticalResolution = v;
}

uint32_t bigEndian32(const uint8_t *p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// The first four bytes of the 'cpsc' extension as a code, or 0 when there is
// none. Extensions follow the 86 bytes up to the description's own size.
OSType colourSpaceOf(const uint8_t *bytes, size_t size, const ImageDescription &d) {
    size_t end = d.idSize > 0 ? std::min(size, size_t(d.idSize)) : size;
    for (size_t at = sizeof d; at + 8 <= end;) {
        uint32_t extSize = bigEndian32(bytes + at);
        if (extSize < 8 || extSize > end - at) break;
        if (bigEndian32(bytes + at + 4) == FourCC("cpsc") && extSize >= 12) return bigEndian32(bytes + at + 8);
        at += extSize;
    }
    return 0;
}

}  // namespace

#define MEMBERS_DEF "graphicsplugin/members.def"
#define PLUGIN_SECTION GRAPHICS_IMAGEDESCRIPTION
#define CLASS_RECORD gImageDescriptionClass
#define CLASS_DATA DescriptionData
#include "class_records.inc"

REALobject newImageDescriptionObject(ImageDescriptionHandle desc) {
    size_t size = GetHandleSize(desc);
    if (size < sizeof(ImageDescription)) return nullptr;
    REALobject object = newInstance(gImageDescriptionClass.name);
    DescriptionData *d = object ? dataOf(object) : nullptr;
    if (!d) return object;
    HLock(desc);
    const uint8_t *bytes = HandleData(desc);
    ImageDescription id;
    std::memcpy(&id, bytes, sizeof id);
    d->codecType = hostStringFromOSType(id.cType);
    d->version = id.version;
    d->revisionLevel = id.revisionLevel;
    d->vendor = hostStringFromOSType(OSType(id.vendor));
    d->temporalQuality = int32_t(id.temporalQuality);
    d->spatialQuality = int32_t(id.spatialQuality);
    d->width = id.width;
    d->height = id.height;
    d->horizontalResolution = id.hRes / 65536.0;
    d->verticalResolution = id.vRes / 65536.0;
    d->frameCount = id.frameCount;
    d->depth = id.depth;
    size_t nameLength = std::min<size_t>(id.name[0], 31);
    d->codecName = hostStringFromBytes(id.name + 1, nameLength, kEncodingMacRoman);
    if (OSType space = colourSpaceOf(bytes, size, id)) d->colorSpace = hostStringFromOSType(space);
    HUnlock(desc);
    return object;
}

}  // namespace gp
