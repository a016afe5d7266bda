// The graphics exporter's settings: one table of them, which drives the
// setters and getters of each and the settings atom container.
#include "answer.h"
#include "handles.h"
#include "registry.h"

#include <cstdio>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <utility>

namespace imaging {

namespace {

using Field = uint32_t ExportSettings::*;

// A setting's check: the value to keep for a value given (a flag keeps
// 0 or 1), or none when the value is refused.
using Check = std::optional<uint32_t> (*)(const Exporter &ex, uint32_t value);

struct Setting {
    OSType atom;
    Field field;
    Check accept;
};

std::optional<uint32_t> when(bool ok, uint32_t v) { return ok ? std::optional<uint32_t>(v) : std::nullopt; }

std::optional<uint32_t> anyValue(const Exporter &, uint32_t v) { return v; }
std::optional<uint32_t> flag(const Exporter &, uint32_t v) { return uint32_t(v != 0); }
std::optional<uint32_t> depth(const Exporter &, uint32_t d) {
    return when(d == 0 || d == 8 || d == 24 || d == 32 || d == 40, d);
}
std::optional<uint32_t> positive(const Exporter &, uint32_t v) { return when(int32_t(v) > 0, v); }
std::optional<uint32_t> quality(const Exporter &, uint32_t q) { return when(q <= codecLosslessQuality, q); }
std::optional<uint32_t> zeroOrOne(const Exporter &, uint32_t v) { return when(v <= 1, v); }
std::optional<uint32_t> exif(const Exporter &ex, uint32_t v) {
    return when(v == 0 || exporterCanDoExif(ex), uint32_t(v != 0));
}

// TIFF takes the methods its library encodes, PNG a zlib level (-1 for the
// library's default); the others have none but their default.
std::optional<uint32_t> method(const Exporter &ex, uint32_t v) {
    int32_t m = int32_t(v);
    OSType t = ex.format->type;
    bool ok = t == FourCC("TIFF")   ? codec::tiffMethodSupported(m)
              : t == FourCC("PNGf") ? m >= -1 && m <= 9
                                    : m == defaultCompressionMethod(t);
    return when(ok, v);
}

const Setting kSettings[] = {
    {FourCC("dpth"), &ExportSettings::depth, depth},         {FourCC("hres"), &ExportSettings::hres, positive},
    {FourCC("vres"), &ExportSettings::vres, positive},       {FourCC("qual"), &ExportSettings::quality, quality},
    {FourCC("meth"), &ExportSettings::method, method},       {FourCC("dnrc"), &ExportSettings::dontRecompress, flag},
    {FourCC("intl"), &ExportSettings::interlace, zeroOrOne}, {FourCC("tsiz"), &ExportSettings::targetSize, anyValue},
    {FourCC("exif"), &ExportSettings::exif, exif},
};
constexpr size_t kAtomSize = 12;  // 32-bit big-endian size, type, value

const Setting *settingOf(Field field) {
    for (const auto &s : kSettings)
        if (s.field == field) return &s;
    return nullptr;
}

const Setting *settingOf(OSType atom) {
    for (const auto &s : kSettings)
        if (s.atom == atom) return &s;
    return nullptr;
}

// Sets the given settings together: all of them, or none when one is refused.
ComponentResult set(ComponentInstance ci, std::initializer_list<std::pair<Field, uint32_t>> values) {
    EXPORTER(ci);
    ExportSettings next = ex->settings;
    for (const auto &[field, value] : values) {
        const Setting *s = settingOf(field);
        std::optional<uint32_t> kept = s ? s->accept(*ex, value) : std::nullopt;
        if (!kept) return paramErr;
        next.*field = *kept;
    }
    ex->settings = next;
    return noErr;
}

template <class T> ComponentResult get(ComponentInstance ci, Field field, T *out) {
    EXPORTER(ci);
    return answer(out, ex->settings.*field);
}

}  // namespace

int32_t defaultCompressionMethod(OSType formatType) {
    return formatType == FourCC("TIFF") ? 1 : formatType == FourCC("PNGf") ? -1 : 0;
}

bool exporterCanDoExif(const Exporter &ex) { return ex.format->type == FourCC("JPEG"); }

// ---- one setting at a time -----------------------------------------------------------

ComponentResult GraphicsExportSetResolution(ComponentInstance ci, Fixed h, Fixed v) {
    return set(ci, {{&ExportSettings::hres, uint32_t(h)}, {&ExportSettings::vres, uint32_t(v)}});
}
ComponentResult GraphicsExportGetResolution(ComponentInstance ci, Fixed *h, Fixed *v) {
    EXPORTER(ci);
    if (!h || !v) return paramErr;
    *h = Fixed(ex->settings.hres), *v = Fixed(ex->settings.vres);
    return noErr;
}

// A quality past lossless is taken as lossless.
ComponentResult GraphicsExportSetCompressionQuality(ComponentInstance ci, CodecQ q) {
    return set(ci, {{&ExportSettings::quality, q > codecLosslessQuality ? codecLosslessQuality : q}});
}
ComponentResult GraphicsExportGetCompressionQuality(ComponentInstance ci, CodecQ *q) {
    return get(ci, &ExportSettings::quality, q);
}

// The settings whose accessors only check, set and get: (accessor name,
// field, the accessors' value type).
#define PLAIN_SETTING(Name, field, T)                                         \
    ComponentResult GraphicsExportSet##Name(ComponentInstance ci, T value) {  \
        return set(ci, {{&ExportSettings::field, uint32_t(value)}});          \
    }                                                                         \
    ComponentResult GraphicsExportGet##Name(ComponentInstance ci, T *value) { \
        return get(ci, &ExportSettings::field, value);                        \
    }

PLAIN_SETTING(Depth, depth, int32_t)
PLAIN_SETTING(CompressionMethod, method, int32_t)
PLAIN_SETTING(DontRecompress, dontRecompress, bool)
PLAIN_SETTING(InterlaceStyle, interlace, uint32_t)
PLAIN_SETTING(TargetDataSize, targetSize, uint32_t)

#undef PLAIN_SETTING

// Found by name only, and only where the format writes EXIF data.
ComponentResult exporter::setExifEnabled(ComponentInstance ci, bool enabled) {
    if (!exporterOf(ci)) return badComponentInstance;
    if (!CallComponentCanDo(ci, kGraphicsExportSetExifEnabledSelect)) return badComponentSelector;
    return set(ci, {{&ExportSettings::exif, enabled}});
}
ComponentResult exporter::getExifEnabled(ComponentInstance ci, bool *enabled) {
    if (!exporterOf(ci)) return badComponentInstance;
    if (!enabled) return paramErr;
    if (!CallComponentCanDo(ci, kGraphicsExportGetExifEnabledSelect)) return badComponentSelector;
    return get(ci, &ExportSettings::exif, enabled);
}

// ---- all settings at once ------------------------------------------------------------

// Every setting as an atom, in the table's order.
ComponentResult GraphicsExportGetSettingsAsAtomContainer(ComponentInstance ci, Handle *settings) {
    EXPORTER(ci);
    if (!settings) return paramErr;
    Handle h = NewHandle(std::size(kSettings) * kAtomSize);
    if (!h) return memFullErr;
    uint8_t *p = HandleData(h);
    for (const auto &s : kSettings) {
        putBE32(p, kAtomSize), putBE32(p + 4, s.atom), putBE32(p + 8, ex->settings.*s.field);
        p += kAtomSize;
    }
    *settings = h;
    return noErr;
}

// Takes the settings a container holds, each checked as its setter checks
// it; atoms of other types or sizes are passed over. A container that is
// malformed or holds a refused value changes nothing.
ComponentResult GraphicsExportSetSettingsFromAtomContainer(ComponentInstance ci, Handle settings) {
    EXPORTER(ci);
    if (!settings) return paramErr;
    ExportSettings next = ex->settings;
    const uint8_t *p = HandleData(settings);
    size_t left = GetHandleSize(settings);
    while (left) {
        uint32_t size = left >= 8 ? getBE32(p) : 0;
        if (size < 8 || size > left) return paramErr;
        const Setting *s = size == kAtomSize ? settingOf(OSType(getBE32(p + 4))) : nullptr;
        if (s) {
            std::optional<uint32_t> kept = s->accept(*ex, getBE32(p + 8));
            if (!kept) return paramErr;
            next.*s->field = *kept;
        }
        p += size, left -= size;
    }
    ex->settings = next;
    return noErr;
}

ComponentResult GraphicsExportGetSettingsAsText(ComponentInstance ci, Handle *text) {
    EXPORTER(ci);
    if (!text) return paramErr;
    const ExportSettings &s = ex->settings;
    char buf[256];
    int n = std::snprintf(buf, sizeof buf,
                          "depth %d, resolution %gx%g dpi, quality %u, method %d, interlace %u, target size %u%s",
                          int(s.depth), fixedToDouble(s.hres), fixedToDouble(s.vres), unsigned(s.quality),
                          int32_t(s.method), unsigned(s.interlace), unsigned(s.targetSize), s.exif ? ", exif" : "");
    return PtrToHand(buf, text, size_t(n));
}

}  // namespace imaging
