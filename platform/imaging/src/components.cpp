// The component registry, the graphics exporter and importer components,
// image compression and the system library lookup of the optional calls.
#include "codecs.h"
#include "handles.h"
#include "importer_internal.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace imaging {

namespace {

struct Format {
    OSType type;        // exporter/importer subtype
    OSType extension;   // default file name extension
    OSType codec;       // image compression codec type
    OSErr (*encode)(const codec::Image &, const codec::Options &, std::vector<uint8_t> &);
};

const Format kFormats[] = {
    {FourCC("TIFF"), FourCC("tif "), FourCC("tiff"), codec::encodeTIFF},
    {FourCC("JPEG"), FourCC("jpg "), FourCC("jpeg"), codec::encodeJPEG},
    {FourCC("PNGf"), FourCC("png "), FourCC("png "), codec::encodePNG},
    {FourCC("BMPf"), FourCC("bmp "), FourCC("WRLE"), codec::encodeBMP},
};
constexpr size_t kFormatCount = sizeof kFormats / sizeof kFormats[0];
constexpr OSType kManufacturer = FourCC("tavr");
constexpr OSType kUnknownCreator = FourCC("????");

const Format *formatOf(OSType type) {
    for (const auto &f : kFormats)
        if (f.type == type) return &f;
    return nullptr;
}

// Component k (1-based): exporters first, then importers.
ComponentDescription describe(Component c) {
    size_t i = c - 1;
    bool exporter = i < kFormatCount;
    return {exporter ? GraphicsExporterComponentType : GraphicsImporterComponentType, kFormats[i % kFormatCount].type,
            kManufacturer, 0, 0};
}
constexpr Component kComponentCount = Component(2 * kFormatCount);

struct Exporter {
    const Format *format = nullptr;
    PicHandle inputPicture = nullptr;
    GWorldRef inputWorld = 0;
    ComponentInstance inputImporter = 0;
    Handle outputHandle = nullptr;
    std::string outputFile;
    bool toFile = false;
    ICMProgressProcRecord progress{nullptr, nullptr};
    int32_t depth = 0;
    Fixed hres = 72 << 16, vres = 72 << 16;
    CodecQ quality = codecNormalQuality;
    int32_t method = 0;
    bool dontRecompress = false;
    uint32_t interlace = 0;
    uint32_t targetSize = 0;
    bool exif = false;
    std::vector<uint8_t> icc;
    UserData meta = nullptr;
    OSType outType = 0, outCreator = 0;
};

struct Importer {
    OSType subtype = 0;         // 0: whatever the content is
    Handle data = nullptr;      // not owned
    OSType hint = 0;            // format named by the data reference's hints
};

struct Instance {
    Component component = 0;
    int busy = 0;               // inside a call that runs the progress procedure
    bool closePending = false;  // closed while busy: freed when the call ends
    std::unique_ptr<Exporter> exporter;
    std::unique_ptr<Importer> importer;
};

std::map<ComponentInstance, Instance> &instances() {
    static std::map<ComponentInstance, Instance> m;
    return m;
}
ComponentInstance gNextInstance = 0x10001;

Instance *find(ComponentInstance ci) {
    auto it = instances().find(ci);
    return it == instances().end() || it->second.closePending ? nullptr : &it->second;
}
Exporter *exporterOf(ComponentInstance ci) {
    Instance *in = find(ci);
    return in ? in->exporter.get() : nullptr;
}
Importer *importerOf(ComponentInstance ci) {
    Instance *in = find(ci);
    return in ? in->importer.get() : nullptr;
}

void freeInstance(ComponentInstance ci) {
    auto it = instances().find(ci);
    if (it == instances().end()) return;
    if (it->second.exporter) DisposeUserData(it->second.exporter->meta);
    if (it->second.importer) importer::closed(ci);
    instances().erase(it);
}

#define EXPORTER(ci)                             \
    Exporter *ex = exporterOf(ci);               \
    if (!ex) return badComponentInstance

#define EXPORTER_IDLE(ci)                        \
    EXPORTER(ci);                                \
    if (instances()[ci].busy) return fBsyErr

double fixedToDouble(Fixed f) { return double(f) / 65536.0; }

int32_t effectiveDepth(const Exporter &ex, int16_t inputDepth, const codec::Image &img) {
    int32_t d = ex.depth;
    if (d == 40) return 8;
    if (d == 8 || d == 24 || d == 32) return d;
    if (inputDepth == 8 || inputDepth == 40) return 8;
    if (inputDepth != 32) return 24;
    // A 32-bit input whose alpha carries nothing (all the same) is colour only.
    uint8_t first = img.argb[0];
    for (int32_t y = 0; y < img.height; ++y) {
        const uint8_t *p = img.argb + size_t(y) * img.rowBytes;
        for (int32_t x = 0; x < img.width; ++x)
            if (p[size_t(x) * 4] != first) return 32;
    }
    return 24;
}

OSErr importAsDecoded(Importer &im, codec::Decoded &out) {
    if (!im.data || !GetHandleSize(im.data)) return paramErr;
    const uint8_t *d = HandleData(im.data);
    size_t n = GetHandleSize(im.data);
    OSType kind = codec::sniff(d, n);
    if (!kind) kind = im.hint;
    if (im.subtype && kind != im.subtype) return codecErr;
    if (!kind) return noCodecErr;
    return codec::decode(kind, d, n, out);
}

}  // namespace

// ---- registry ------------------------------------------------------------------------

OSErr OpenADefaultComponent(OSType type, OSType subType, ComponentInstance *out) {
    if (!out) return paramErr;
    *out = 0;
    for (Component c = 1; c <= kComponentCount; ++c) {
        ComponentDescription d = describe(c);
        // An importer of no particular subtype reads whatever the data is.
        bool anyImporter = type == GraphicsImporterComponentType && subType == 0;
        if (d.componentType != type || (d.componentSubType != subType && !anyImporter)) continue;
        Instance in;
        in.component = c;
        if (type == GraphicsExporterComponentType) {
            in.exporter = std::make_unique<Exporter>();
            in.exporter->format = formatOf(subType);
            in.exporter->method = subType == FourCC("TIFF") ? 1 : subType == FourCC("PNGf") ? -1 : 0;
        } else {
            in.importer = std::make_unique<Importer>();
            in.importer->subtype = subType;
        }
        ComponentInstance ci = gNextInstance++;
        instances()[ci] = std::move(in);
        *out = ci;
        return noErr;
    }
    return couldntGetRequiredComponent;
}

OSErr CloseComponent(ComponentInstance ci) {
    auto it = instances().find(ci);
    if (it == instances().end() || it->second.closePending) return invalidComponentID;
    if (it->second.busy) {
        it->second.closePending = true;  // freed when the running call returns
        return noErr;
    }
    freeInstance(ci);
    return noErr;
}

bool ComponentInstanceExists(ComponentInstance ci) { return find(ci) != nullptr; }

OSType GetComponentSubType(ComponentInstance ci) {
    Instance *in = find(ci);
    return in ? describe(in->component).componentSubType : 0;
}

ComponentResult CallComponentCanDo(ComponentInstance ci, int16_t selector) {
    Instance *in = find(ci);
    if (!in || !in->exporter) return 0;
    switch (selector) {
    case kGraphicsExportSetExifEnabledSelect:
    case kGraphicsExportGetExifEnabledSelect:
        return in->exporter->format->type == FourCC("JPEG");
    default:
        return 0;   // no settings dialog; no format here carries a thumbnail
    }
}

Component FindNextComponent(Component previous, const ComponentDescription *looking) {
    for (Component c = previous + 1; c <= kComponentCount; ++c) {
        ComponentDescription d = describe(c);
        if (looking) {
            if (looking->componentType && looking->componentType != d.componentType) continue;
            if (looking->componentSubType && looking->componentSubType != d.componentSubType) continue;
            if (looking->componentManufacturer && looking->componentManufacturer != d.componentManufacturer) continue;
            if ((d.componentFlags & looking->componentFlagsMask) != (looking->componentFlags & looking->componentFlagsMask))
                continue;
        }
        return c;
    }
    return 0;
}

OSErr GetComponentInfo(Component c, ComponentDescription *out) {
    if (c < 1 || c > kComponentCount || !out) return invalidComponentID;
    *out = describe(c);
    return noErr;
}

// ---- exporter: inputs and outputs ---------------------------------------------------------

ComponentResult GraphicsExportSetInputPicture(ComponentInstance ci, PicHandle pic) {
    EXPORTER_IDLE(ci);
    if (pic && !GetPictureInfo(pic, nullptr, nullptr, nullptr)) return paramErr;
    ex->inputPicture = pic;
    ex->inputWorld = 0;
    ex->inputImporter = 0;
    return noErr;
}

ComponentResult GraphicsExportGetInputPicture(ComponentInstance ci, PicHandle *pic) {
    EXPORTER(ci);
    if (!pic) return paramErr;
    *pic = ex->inputPicture;
    return noErr;
}

ComponentResult GraphicsExportSetInputGWorld(ComponentInstance ci, GWorldRef world) {
    EXPORTER_IDLE(ci);
    if (world && !GWorldExists(world)) return paramErr;
    ex->inputWorld = world;
    ex->inputPicture = nullptr;
    ex->inputImporter = 0;
    return noErr;
}

ComponentResult GraphicsExportGetInputGWorld(ComponentInstance ci, GWorldRef *world) {
    EXPORTER(ci);
    if (!world) return paramErr;
    *world = ex->inputWorld;
    return noErr;
}

ComponentResult GraphicsExportSetInputGraphicsImporter(ComponentInstance ci, ComponentInstance importer) {
    EXPORTER_IDLE(ci);
    if (importer && !importerOf(importer)) return paramErr;
    ex->inputImporter = importer;
    ex->inputPicture = nullptr;
    ex->inputWorld = 0;
    return noErr;
}

ComponentResult GraphicsExportSetOutputHandle(ComponentInstance ci, Handle h) {
    EXPORTER_IDLE(ci);
    ex->outputHandle = h;
    ex->toFile = false;
    return noErr;
}

ComponentResult GraphicsExportSetOutputFile(ComponentInstance ci, const FSSpec *file) {
    EXPORTER_IDLE(ci);
    if (!file || !memchr(file->path, 0, sizeof file->path) || !file->path[0]) return paramErr;
    ex->outputFile = file->path;
    ex->toFile = true;
    ex->outputHandle = nullptr;
    return noErr;
}

ComponentResult GraphicsExportGetOutputFile(ComponentInstance ci, FSSpec *file) {
    EXPORTER(ci);
    if (!file) return paramErr;
    if (!ex->toFile) return fnfErr;
    std::snprintf(file->path, sizeof file->path, "%s", ex->outputFile.c_str());
    return noErr;
}

ComponentResult GraphicsExportSetProgressProc(ComponentInstance ci, const ICMProgressProcRecord *proc) {
    EXPORTER(ci);
    ex->progress = proc ? *proc : ICMProgressProcRecord{nullptr, nullptr};
    return noErr;
}

ComponentResult GraphicsExportDoExport(ComponentInstance ci, uint32_t *actualSizeWritten) {
    EXPORTER(ci);
    if (actualSizeWritten) *actualSizeWritten = 0;
    Instance &inst = instances()[ci];
    if (inst.busy) return fBsyErr;
    if (!ex->toFile && !ex->outputHandle) return paramErr;

    // The input as a view of ARGB pixels.
    codec::Image img;
    int16_t inputDepth = 24;
    codec::Decoded decoded;
    if (ex->inputPicture) {
        int32_t w, h;
        if (!GetPictureInfo(ex->inputPicture, &w, &h, &inputDepth)) return paramErr;
        img = {w, h, PicturePixels(ex->inputPicture), w * 4};
    } else if (ex->inputWorld) {
        PixMapInfo pm;
        if (!GetGWorldPixMap(ex->inputWorld, &pm)) return paramErr;
        img = {RectWidth(pm.bounds), RectHeight(pm.bounds), pm.baseAddr, pm.rowBytes};
        inputDepth = pm.depth;
    } else if (ex->inputImporter) {
        Importer *im = importerOf(ex->inputImporter);
        if (!im) return paramErr;
        if (OSErr e = importAsDecoded(*im, decoded)) return e;
        img = {decoded.width, decoded.height, decoded.argb.data(), decoded.width * 4};
        inputDepth = decoded.alpha ? 32 : 24;
    } else {
        return paramErr;
    }

    codec::Options opt;
    opt.depth = effectiveDepth(*ex, inputDepth, img);
    opt.hres = fixedToDouble(ex->hres);
    opt.vres = fixedToDouble(ex->vres);
    opt.quality = ex->quality;
    opt.method = ex->method;
    opt.interlace = ex->interlace;
    opt.targetSize = ex->targetSize;
    opt.exif = ex->exif;
    opt.icc = ex->icc;
    if (ex->meta) {
        const OSType types[] = {codec::kTitle, codec::kDescription, codec::kInfo, codec::kCopyright, codec::kArtist,
                                codec::kMake,  codec::kModel,       codec::kSoftware, codec::kDate};
        Handle h = NewEmptyHandle();
        for (OSType t : types)
            if (h && GetUserData(ex->meta, h, t, 1) == noErr) {
                std::string text(reinterpret_cast<const char *>(HandleData(h)), GetHandleSize(h));
                text = text.substr(0, text.find('\0'));
                opt.meta.emplace_back(t, text);
            }
        DisposeHandle(h);
    }
    const ICMProgressProcRecord progress = ex->progress;
    if (progress.progressProc)
        opt.progress = [progress](int32_t done, int32_t total) {
            Fixed f = Fixed((int64_t(done) << 16) / (total ? total : 1));
            return progress.progressProc(codecProgressUpdatePercent, f, progress.progressRefCon);
        };

    // The progress procedure may run other code that closes this component:
    // it stays alive, unusable, until the export returns.
    ++inst.busy;
    ComponentResult err = noErr;
    if (progress.progressProc) err = progress.progressProc(codecProgressOpen, 0, progress.progressRefCon);
    std::vector<uint8_t> bytes;
    if (!err) {
        try {
            err = ex->format->encode(img, opt, bytes);
        } catch (const std::bad_alloc &) {
            err = memFullErr;
        }
    }
    if (progress.progressProc) progress.progressProc(codecProgressClose, 0x10000, progress.progressRefCon);
    --inst.busy;
    if (inst.closePending) {
        freeInstance(ci);
        return err ? err : ComponentResult(badComponentInstance);
    }
    if (err) return err;

    const size_t written = bytes.size();
    if (ex->toFile) {
        FILE *f = std::fopen(ex->outputFile.c_str(), "wb");
        if (!f) return fnfErr;
        bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        ok = (std::fclose(f) == 0) && ok;
        KeepSpareBuffer(std::move(bytes));
        if (!ok) return ioErr;
    } else {
        // The encoded bytes become the handle's contents: no copy.
        if (OSErr e = SetHandleBytes(ex->outputHandle, std::move(bytes))) return e;
    }
    if (actualSizeWritten) *actualSizeWritten = uint32_t(written);
    return noErr;
}

// ---- exporter: settings -----------------------------------------------------------------

ComponentResult GraphicsExportSetDepth(ComponentInstance ci, int32_t depth) {
    EXPORTER(ci);
    if (depth != 0 && depth != 8 && depth != 24 && depth != 32 && depth != 40) return paramErr;
    ex->depth = depth;
    return noErr;
}
ComponentResult GraphicsExportGetDepth(ComponentInstance ci, int32_t *depth) {
    EXPORTER(ci);
    if (!depth) return paramErr;
    *depth = ex->depth;
    return noErr;
}

ComponentResult GraphicsExportSetResolution(ComponentInstance ci, Fixed h, Fixed v) {
    EXPORTER(ci);
    if (h <= 0 || v <= 0) return paramErr;
    ex->hres = h, ex->vres = v;
    return noErr;
}
ComponentResult GraphicsExportGetResolution(ComponentInstance ci, Fixed *h, Fixed *v) {
    EXPORTER(ci);
    if (!h || !v) return paramErr;
    *h = ex->hres, *v = ex->vres;
    return noErr;
}

ComponentResult GraphicsExportSetCompressionQuality(ComponentInstance ci, CodecQ q) {
    EXPORTER(ci);
    ex->quality = q > codecLosslessQuality ? codecLosslessQuality : q;
    return noErr;
}
ComponentResult GraphicsExportGetCompressionQuality(ComponentInstance ci, CodecQ *q) {
    EXPORTER(ci);
    if (!q) return paramErr;
    *q = ex->quality;
    return noErr;
}

ComponentResult GraphicsExportSetCompressionMethod(ComponentInstance ci, int32_t method) {
    EXPORTER(ci);
    OSType t = ex->format->type;
    if (t == FourCC("TIFF") ? !codec::tiffMethodSupported(method)
        : t == FourCC("PNGf") ? (method < -1 || method > 9)
                               : true)
        return paramErr;
    ex->method = method;
    return noErr;
}
ComponentResult GraphicsExportGetCompressionMethod(ComponentInstance ci, int32_t *method) {
    EXPORTER(ci);
    if (!method) return paramErr;
    *method = ex->method;
    return noErr;
}

ComponentResult GraphicsExportSetDontRecompress(ComponentInstance ci, bool dont) {
    EXPORTER(ci);
    ex->dontRecompress = dont;
    return noErr;
}
ComponentResult GraphicsExportGetDontRecompress(ComponentInstance ci, bool *dont) {
    EXPORTER(ci);
    if (!dont) return paramErr;
    *dont = ex->dontRecompress;
    return noErr;
}

ComponentResult GraphicsExportSetInterlaceStyle(ComponentInstance ci, uint32_t style) {
    EXPORTER(ci);
    if (style > 1) return paramErr;
    ex->interlace = style;
    return noErr;
}
ComponentResult GraphicsExportGetInterlaceStyle(ComponentInstance ci, uint32_t *style) {
    EXPORTER(ci);
    if (!style) return paramErr;
    *style = ex->interlace;
    return noErr;
}

ComponentResult GraphicsExportSetTargetDataSize(ComponentInstance ci, uint32_t size) {
    EXPORTER(ci);
    ex->targetSize = size;
    return noErr;
}
ComponentResult GraphicsExportGetTargetDataSize(ComponentInstance ci, uint32_t *size) {
    EXPORTER(ci);
    if (!size) return paramErr;
    *size = ex->targetSize;
    return noErr;
}

ComponentResult GraphicsExportSetMetaData(ComponentInstance ci, UserData ud) {
    EXPORTER(ci);
    if (!ud) return paramErr;
    if (!ex->meta)
        if (OSErr e = NewUserData(&ex->meta)) return e;
    return CopyUserData(ud, ex->meta);
}
ComponentResult GraphicsExportGetMetaData(ComponentInstance ci, UserData ud) {
    EXPORTER(ci);
    if (!ud) return paramErr;
    if (!ex->meta) {
        UserData empty = nullptr;
        if (OSErr e = NewUserData(&empty)) return e;
        OSErr e = CopyUserData(empty, ud);
        DisposeUserData(empty);
        return e;
    }
    return CopyUserData(ex->meta, ud);
}

ComponentResult GraphicsExportSetColorSyncProfile(ComponentInstance ci, Handle profile) {
    EXPORTER(ci);
    const uint8_t *p = HandleData(profile);
    ex->icc.assign(p, p + GetHandleSize(profile));
    return noErr;
}
ComponentResult GraphicsExportGetColorSyncProfile(ComponentInstance ci, Handle *profile) {
    EXPORTER(ci);
    if (!profile) return paramErr;
    *profile = nullptr;
    if (ex->icc.empty()) return noErr;
    return PtrToHand(ex->icc.data(), profile, ex->icc.size());
}

namespace {
const OSType kSettingAtoms[] = {FourCC("dpth"), FourCC("hres"), FourCC("vres"), FourCC("qual"), FourCC("meth"),
                                FourCC("dnrc"), FourCC("intl"), FourCC("tsiz"), FourCC("exif")};
uint32_t *settingField(Exporter &ex, OSType atom) {
    static_assert(sizeof(int32_t) == sizeof(uint32_t));
    if (atom == FourCC("dpth")) return reinterpret_cast<uint32_t *>(&ex.depth);
    if (atom == FourCC("hres")) return reinterpret_cast<uint32_t *>(&ex.hres);
    if (atom == FourCC("vres")) return reinterpret_cast<uint32_t *>(&ex.vres);
    if (atom == FourCC("qual")) return &ex.quality;
    if (atom == FourCC("meth")) return reinterpret_cast<uint32_t *>(&ex.method);
    if (atom == FourCC("intl")) return &ex.interlace;
    if (atom == FourCC("tsiz")) return &ex.targetSize;
    return nullptr;
}
void putBE32(uint8_t *p, uint32_t v) { p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v); }
uint32_t getBE32(const uint8_t *p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }
}  // namespace

// Settings as a list of atoms: 32-bit big-endian size (12), type, value.
ComponentResult GraphicsExportGetSettingsAsAtomContainer(ComponentInstance ci, Handle *settings) {
    EXPORTER(ci);
    if (!settings) return paramErr;
    Handle h = NewHandle(sizeof kSettingAtoms / sizeof kSettingAtoms[0] * 12);
    if (!h) return memFullErr;
    uint8_t *p = HandleData(h);
    for (OSType atom : kSettingAtoms) {
        uint32_t v = atom == FourCC("dnrc") ? ex->dontRecompress : atom == FourCC("exif") ? ex->exif : *settingField(*ex, atom);
        putBE32(p, 12), putBE32(p + 4, atom), putBE32(p + 8, v);
        p += 12;
    }
    *settings = h;
    return noErr;
}

ComponentResult GraphicsExportSetSettingsFromAtomContainer(ComponentInstance ci, Handle settings) {
    EXPORTER(ci);
    if (!settings) return paramErr;
    // Check the whole container first, so a bad one changes nothing.
    Exporter next = *ex;
    const uint8_t *p = HandleData(settings);
    size_t left = GetHandleSize(settings);
    OSErr err = noErr;
    while (left && !err) {
        uint32_t size = left >= 8 ? getBE32(p) : 0;
        if (size < 8 || size > left) {
            err = paramErr;
            break;
        }
        OSType atom = getBE32(p + 4);
        if (size == 12) {
            uint32_t v = getBE32(p + 8);
            if (atom == FourCC("dnrc")) next.dontRecompress = v != 0;
            else if (atom == FourCC("exif")) next.exif = v != 0;
            else if (uint32_t *f = settingField(next, atom)) *f = v;
        }
        p += size, left -= size;
    }
    bool valid = !err && (next.depth == 0 || next.depth == 8 || next.depth == 24 || next.depth == 32 || next.depth == 40) &&
                 next.hres > 0 && next.vres > 0 && next.quality <= codecLosslessQuality && next.interlace <= 1;
    if (!valid) return paramErr;
    *ex = next;
    return noErr;
}

ComponentResult GraphicsExportGetSettingsAsText(ComponentInstance ci, Handle *text) {
    EXPORTER(ci);
    if (!text) return paramErr;
    char buf[256];
    int n = std::snprintf(buf, sizeof buf,
                          "depth %d, resolution %gx%g dpi, quality %u, method %d, interlace %u, target size %u%s",
                          int(ex->depth), fixedToDouble(ex->hres), fixedToDouble(ex->vres), unsigned(ex->quality),
                          int(ex->method), unsigned(ex->interlace), unsigned(ex->targetSize), ex->exif ? ", exif" : "");
    return PtrToHand(buf, text, size_t(n));
}

ComponentResult GraphicsExportRequestSettings(ComponentInstance ci, void *, void *) {
    EXPORTER(ci);
    (void)ex;
    return badComponentSelector;   // no settings dialog here
}

ComponentResult GraphicsExportGetDefaultFileNameExtension(ComponentInstance ci, OSType *ext) {
    EXPORTER(ci);
    if (!ext) return paramErr;
    *ext = ex->format->extension;
    return noErr;
}

ComponentResult GraphicsExportGetDefaultFileTypeAndCreator(ComponentInstance ci, OSType *type, OSType *creator) {
    EXPORTER(ci);
    if (!type || !creator) return paramErr;
    *type = ex->format->type, *creator = kUnknownCreator;
    return noErr;
}

ComponentResult GraphicsExportGetOutputFileTypeAndCreator(ComponentInstance ci, OSType *type, OSType *creator) {
    EXPORTER(ci);
    if (!type || !creator) return paramErr;
    *type = ex->outType ? ex->outType : ex->format->type;
    *creator = ex->outCreator ? ex->outCreator : kUnknownCreator;
    return noErr;
}

ComponentResult GraphicsExportSetOutputFileTypeAndCreator(ComponentInstance ci, OSType type, OSType creator) {
    EXPORTER(ci);
    ex->outType = type, ex->outCreator = creator;
    return noErr;
}

// ---- the optional calls ------------------------------------------------------------------

namespace {

ComponentResult getThumbnailEnabled(ComponentInstance ci, bool *enabled, int32_t *w, int32_t *h) {
    EXPORTER(ci);
    (void)ex;
    if (!enabled || !w || !h) return paramErr;
    return badComponentSelector;
}
ComponentResult setThumbnailEnabled(ComponentInstance ci, bool, int32_t, int32_t) {
    EXPORTER(ci);
    (void)ex;
    return badComponentSelector;
}
ComponentResult setExifEnabled(ComponentInstance ci, bool enabled) {
    EXPORTER(ci);
    if (!CallComponentCanDo(ci, kGraphicsExportSetExifEnabledSelect)) return badComponentSelector;
    ex->exif = enabled;
    return noErr;
}
ComponentResult getExifEnabled(ComponentInstance ci, bool *enabled) {
    EXPORTER(ci);
    if (!enabled) return paramErr;
    if (!CallComponentCanDo(ci, kGraphicsExportGetExifEnabledSelect)) return badComponentSelector;
    *enabled = ex->exif;
    return noErr;
}

struct NamedFunction {
    const char *name;
    void *fn;
};
const NamedFunction kOptionalFunctions[] = {
    {"GraphicsExportGetThumbnailEnabled", reinterpret_cast<void *>(static_cast<GraphicsExportGetThumbnailEnabledProc>(getThumbnailEnabled))},
    {"GraphicsExportSetThumbnailEnabled", reinterpret_cast<void *>(static_cast<GraphicsExportSetThumbnailEnabledProc>(setThumbnailEnabled))},
    {"GraphicsExportSetExifEnabled", reinterpret_cast<void *>(static_cast<GraphicsExportSetExifEnabledProc>(setExifEnabled))},
    {"GraphicsExportGetExifEnabled", reinterpret_cast<void *>(static_cast<GraphicsExportGetExifEnabledProc>(getExifEnabled))},
};

std::set<std::string> &withheld() {
    static std::set<std::string> s;
    return s;
}

}  // namespace

struct BundleRec {
    int unused;
};

BundleRef LoadSystemFramework(const char *name) {
    static BundleRec quickTime;
    return name && std::strcmp(name, "QuickTime.framework") == 0 ? &quickTime : nullptr;
}

void *BundleGetFunctionPointerForName(BundleRef bundle, const char *name) {
    if (!bundle || !name || withheld().count(name)) return nullptr;
    for (const auto &f : kOptionalFunctions)
        if (std::strcmp(f.name, name) == 0) return f.fn;
    return nullptr;
}

void WithholdFunction(const char *name) {
    if (name) withheld().insert(name);
    else withheld().clear();
}

// ---- importer -----------------------------------------------------------------------------

ComponentResult GraphicsImportSetDataHandle(ComponentInstance ci, Handle data) {
    Importer *im = importerOf(ci);
    if (!im) return badComponentInstance;
    im->data = data;
    im->hint = 0;
    importer::dataChanged(ci);
    return noErr;
}

ComponentResult GraphicsImportGetAsPicture(ComponentInstance ci, PicHandle *pic) {
    Importer *im = importerOf(ci);
    if (!im) return badComponentInstance;
    if (!pic) return paramErr;
    *pic = nullptr;
    return importer::currentPicture(ci, pic);   // the current image, of several
}

namespace {

OSType formatFromHints(const std::string &name, const std::string &mime, OSType fileType) {
    if (fileType && formatOf(fileType)) return fileType;
    std::string m;
    for (char c : mime) m += char(std::tolower(uint8_t(c)));
    if (m == "image/tiff") return FourCC("TIFF");
    if (m == "image/jpeg" || m == "image/jpg") return FourCC("JPEG");
    if (m == "image/png") return FourCC("PNGf");
    if (m == "image/bmp" || m == "image/x-bmp") return FourCC("BMPf");
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return 0;
    std::string ext;
    for (char c : name.substr(dot + 1)) ext += char(std::tolower(uint8_t(c)));
    if (ext == "tif" || ext == "tiff") return FourCC("TIFF");
    if (ext == "jpg" || ext == "jpeg") return FourCC("JPEG");
    if (ext == "png") return FourCC("PNGf");
    if (ext == "bmp") return FourCC("BMPf");
    return 0;
}

}  // namespace

OSErr GetGraphicsImporterForDataRef(Handle dataRef, OSType dataRefType, ComponentInstance *out) {
    if (!out) return paramErr;
    *out = 0;
    if (dataRefType == FourCC("url ")) return importer::forURL(dataRef, out);
    if (dataRefType != HandleDataHandlerSubType) return cantFindHandler;
    const uint8_t *p = HandleData(dataRef);
    size_t n = GetHandleSize(dataRef);
    if (n < sizeof(Handle)) return paramErr;
    Handle data;
    std::memcpy(&data, p, sizeof data);
    if (!data) return nilHandleErr;
    p += sizeof data, n -= sizeof data;
    std::string name, mime;
    OSType fileType = 0;
    if (n) {
        size_t len = p[0];
        if (len + 1 > n) return paramErr;
        name.assign(reinterpret_cast<const char *>(p + 1), len);
        p += len + 1, n -= len + 1;
    }
    while (n) {
        if (n < 8) return paramErr;
        uint32_t size = getBE32(p);
        OSType type = getBE32(p + 4);
        if (size < 8 || size > n) return paramErr;
        if (type == FourCC("mime") && size > 8) {
            size_t len = p[8];
            if (len + 9 > size) return paramErr;
            mime.assign(reinterpret_cast<const char *>(p + 9), len);
        } else if (type == FourCC("ftyp") && size >= 12) {
            fileType = getBE32(p + 8);
        }
        p += size, n -= size;
    }
    OSType kind = codec::sniff(HandleData(data), GetHandleSize(data));
    if (!kind) kind = formatFromHints(name, mime, fileType);
    if (!kind) return couldntGetRequiredComponent;
    ComponentInstance ci;
    if (OSErr e = OpenADefaultComponent(GraphicsImporterComponentType, kind, &ci)) return e;
    Importer *im = importerOf(ci);
    im->data = data;
    im->hint = kind;
    *out = ci;
    return noErr;
}

bool importer::sourceOf(ComponentInstance ci, Source *out) {
    Instance *in = find(ci);
    if (!in || !in->importer || !out) return false;
    *out = {in->importer->data, in->importer->subtype, in->importer->hint};
    return true;
}

// ---- image compression ------------------------------------------------------------------

namespace {
const Format *codecFormat(OSType cType) {
    if (cType == FourCC("raw ")) return nullptr;
    for (const auto &f : kFormats)
        if (f.codec == cType) return &f;
    return nullptr;
}
bool knownCodec(OSType cType) { return cType == FourCC("raw ") || codecFormat(cType); }
bool clipRect(const PixMapInfo *src, const Rect *r) {
    return src && r && RectWidth(*r) > 0 && RectHeight(*r) > 0 && r->left >= src->bounds.left &&
           r->top >= src->bounds.top && r->right <= src->bounds.right && r->bottom <= src->bounds.bottom;
}
}  // namespace

OSErr GetMaxCompressionSize(const PixMapInfo *src, const Rect *srcRect, int16_t depth, CodecQ, OSType cType,
                            CompressorComponent, int32_t *size) {
    if (!size) return paramErr;
    *size = 0;
    if (!clipRect(src, srcRect)) return paramErr;
    if (!knownCodec(cType)) return noCodecErr;
    if (depth != 0 && depth != 8 && depth != 24 && depth != 32 && depth != 40) return paramErr;
    uint64_t w = uint64_t(RectWidth(*srcRect)), h = uint64_t(RectHeight(*srcRect));
    uint64_t raw = w * h * 4;
    uint64_t bound = raw + raw / 64 + h * 8 + 65536;
    if (bound > uint64_t(INT32_MAX)) return memFullErr;
    *size = int32_t(bound);
    return noErr;
}

OSErr CompressImage(const PixMapInfo *src, const Rect *srcRect, CodecQ quality, OSType cType,
                    ImageDescriptionHandle desc, void *data, size_t dataCapacity) {
    if (!clipRect(src, srcRect) || !desc || !data) return paramErr;
    if (!knownCodec(cType)) return noCodecErr;
    int32_t w = RectWidth(*srcRect), h = RectHeight(*srcRect);
    if (w > INT16_MAX || h > INT16_MAX) return paramErr;
    const uint8_t *origin = src->baseAddr + size_t(srcRect->top - src->bounds.top) * src->rowBytes +
                            size_t(srcRect->left - src->bounds.left) * 4;
    std::vector<uint8_t> bytes;
    int16_t depth = src->depth == 32 ? 32 : (src->depth == 8 || src->depth == 40) ? 8 : 24;
    try {
        if (const Format *f = codecFormat(cType)) {
            codec::Options opt;
            opt.depth = depth;
            opt.quality = quality;
            opt.method = f->type == FourCC("TIFF") ? 1 : f->type == FourCC("PNGf") ? -1 : 0;
            if (OSErr e = f->encode({w, h, origin, src->rowBytes}, opt, bytes)) return e;
        } else {
            depth = 32;
            for (int32_t y = 0; y < h; ++y) {
                const uint8_t *row = origin + size_t(y) * src->rowBytes;
                bytes.insert(bytes.end(), row, row + size_t(w) * 4);
            }
        }
    } catch (const std::bad_alloc &) {
        return memFullErr;
    }
    if (bytes.size() > dataCapacity || bytes.size() > size_t(INT32_MAX)) return codecSpoolErr;
    if (GetHandleSize(desc) < sizeof(ImageDescription))
        if (OSErr e = SetHandleSize(desc, sizeof(ImageDescription))) return e;
    std::memcpy(data, bytes.data(), bytes.size());
    ImageDescription d{};
    d.idSize = sizeof d;
    d.cType = cType;
    d.vendor = int32_t(kManufacturer);
    d.spatialQuality = quality;
    d.width = int16_t(w), d.height = int16_t(h);
    d.hRes = d.vRes = 72 << 16;
    d.dataSize = int32_t(bytes.size());
    d.frameCount = 1;
    d.depth = depth;
    d.clutID = -1;
    std::memcpy(HandleData(desc), &d, sizeof d);
    return noErr;
}

}  // namespace imaging
