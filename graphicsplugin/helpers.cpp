#include "helpers.h"

#include <cmath>
#include <cstring>

namespace gp {

REALstring hostStringFromBytes(const void *bytes, size_t length, uint32_t encoding) {
    if (!bytes || !length || length > size_t(INT32_MAX)) return nullptr;
    REALstring s = buildString(static_cast<const char *>(bytes), int32_t(length));
    setStringEncoding(s, encoding);
    return s;
}

OSType osTypeFromHostString(REALstring text) {
    OSType code = 0x20202020;
    REALstring converted = convertString(text, kEncodingMacRoman);
    size_t length = 0;
    const char *bytes = stringBytes(converted, &length);
    for (size_t i = 0; bytes && i < length && i < 4; ++i) {
        int shift = int(24 - 8 * i);
        code = (code & ~(OSType(0xFF) << shift)) | (OSType(uint8_t(bytes[i])) << shift);
    }
    unlockString(converted);
    return code;
}

REALstring hostStringFromOSType(OSType code) {
    const char bytes[4] = {char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
    bool ascii = !(code & 0x80808080u);
    return hostStringFromBytes(bytes, 4, ascii ? kEncodingASCII : kEncodingMacRoman);
}

imaging::OSErr newGWorldPreferTemp(imaging::GWorldRef *out, int16_t depth, const imaging::Rect *bounds,
                                   uint32_t flags) {
    imaging::OSErr err = imaging::NewGWorld(out, depth, bounds, flags | imaging::useTempMem);
    if (err) err = imaging::NewGWorld(out, depth, bounds, flags);
    return err;
}

REALstring hostStringFromUserData(imaging::UserData ud) {
    REALstring s = nullptr;
    imaging::Handle h = imaging::NewEmptyHandle();
    if (h && ud && imaging::PutUserDataIntoHandle(ud, h) == imaging::noErr && imaging::GetHandleSize(h))
        s = hostStringFromBytes(imaging::HandleData(h), imaging::GetHandleSize(h), kEncodingUnknown);
    imaging::DisposeHandle(h);
    imaging::DisposeUserData(ud);
    return s;
}

imaging::UserData userDataFromHostString(REALstring text) {
    size_t length = 0;
    const char *bytes = stringBytes(text, &length);
    imaging::Handle h = nullptr;
    if (imaging::PtrToHand(bytes, &h, bytes ? length : 0) != imaging::noErr) return nullptr;
    imaging::UserData ud = nullptr;
    if (imaging::NewUserDataFromHandle(h, &ud) != imaging::noErr) ud = nullptr;
    imaging::DisposeHandle(h);
    return ud;
}

imaging::UserData userDataFromObject(REALobject object) {
    // Read by layout only once the host says the object is of that class.
    if (!object || objectIsA(object, "QTUserDataPlyx") != 1) return nullptr;
    auto *data = static_cast<UserDataObjectData *>(outsideData(object));
    return data->tag == kUserDataTag ? data->userData : nullptr;
}

REALobject newUserDataObject(imaging::UserData ud, bool owns) {
    REALobject object = newInstance("QTUserDataPlyx");
    if (!object) {
        if (owns) imaging::DisposeUserData(ud);
        return nullptr;
    }
    auto *data = static_cast<UserDataObjectData *>(outsideData(object));
    if (data->tag != kUserDataTag) {
        unlockObject(object);
        if (owns) imaging::DisposeUserData(ud);
        return nullptr;
    }
    data->userData = ud;
    data->owns = owns;
    return object;
}

REALobject newIntegerRectObject(const imaging::Rect &rect) {
    REALobject object = newInstance("IntegerRectPlyx");
    if (!object) return nullptr;
    auto *data = static_cast<IntegerRectData *>(outsideData(object));
    *data = {rect.top, rect.bottom, rect.left, rect.right};
    return object;
}

bool rectFromIntegerRectObject(REALobject object, imaging::Rect *rect) {
    // Read by layout only once the host says the object is of that class.
    if (!object || !rect || objectIsA(object, "IntegerRectPlyx") != 1) return false;
    const auto *data = static_cast<const IntegerRectData *>(outsideData(object));
    *rect = {data->top, data->left, data->bottom, data->right};
    return true;
}

imaging::Fixed fixedFromDouble(double v) {
    double scaled = std::trunc(v * 65536.0);
    if (!(scaled == scaled)) return 0;
    return scaled >= 2147483647.0 ? INT32_MAX : scaled <= -2147483648.0 ? INT32_MIN : imaging::Fixed(scaled);
}

bool fixedPointFromObject(REALobject object, imaging::FixedPoint *point) {
    if (!object || !point) return false;
    double xy[2];
    std::memcpy(xy, outsideData(object), sizeof xy);
    *point = {fixedFromDouble(xy[0]), fixedFromDouble(xy[1])};
    return true;
}

// Frameworks live only in the system domain here; any other domain has none.
imaging::BundleRef loadFrameworkInDomain(int16_t domain, const char *name) {
    if (domain != kSystemDomain || !name || !*name) return nullptr;
    return imaging::LoadSystemFramework(name);
}

imaging::BundleRef loadSystemFramework(const char *name) { return loadFrameworkInDomain(kSystemDomain, name); }

imaging::UserData readComponentMetaData(imaging::ComponentInstance ci,
                                        imaging::ComponentResult (*get)(imaging::ComponentInstance, imaging::UserData),
                                        int32_t *status) {
    imaging::UserData ud = nullptr;
    *status = imaging::NewUserData(&ud);
    if (*status != 0) return nullptr;
    *status = get(ci, ud);
    if (*status == 0) return ud;
    imaging::DisposeUserData(ud);
    return nullptr;
}

}  // namespace gp
