// QTGraphicsExporterPlyx: one graphics exporter component behind a host
// object. Every member except the constructor, Close and CodecList sets
// "Lasterror" to -1 first; without a component it returns the empty value,
// otherwise the component's status goes to "Lasterror" and the value is
// returned only when that status is 0.
#include "classes.h"
#include "component_member.h"
#include "helpers.h"
#include "progress.h"

#include <cstddef>
#include <cstring>

using namespace imaging;

namespace gp {

namespace {

// Instance data. The host reads and writes the first three fields itself
// ("Progress", "Handle", "Lasterror"), so their positions are fixed; the
// others hold addresses and are pointer-sized.
struct ExporterData {
    int32_t progress;           // 0: 0 none, 1 leave as is, 2 events, 3 events and yield
    uint32_t component;         // 4: "Handle"
    int32_t lastError;          // 8: "Lasterror"
    uint32_t busy;              // exports running on this object (mode 3 lets host code in)
    Handle outputHandle;        // disposed by Close
    REALobject inputImporter;   // released by Close
    REALpicture inputPicture;   // retained while held
    GWorldRef gworld;           // disposed by Close
    uint32_t closePending;      // Close asked for while busy: done when the export ends
    ProgressHandlers handlers;  // resolved at construction
};
static_assert(offsetof(ExporterData, progress) == 0 && offsetof(ExporterData, component) == 4 &&
                  offsetof(ExporterData, lastError) == 8,
              "host-read fields");

ExporterData *dataOf(REALobject obj) { return static_cast<ExporterData *>(REALGetClassData(obj, &gExporterClass)); }

// Let go of the held input picture; the component is pointed away from it
// first, so it never reads a picture that is gone.
void dropInputPicture(ExporterData *d) {
    if (!d->inputPicture) return;
    if (d->component) {
        GraphicsExportSetInputPicture(d->component, nullptr);
        GraphicsExportSetInputGWorld(d->component, 0);
    }
    unlockObject(reinterpret_cast<REALobject>(d->inputPicture));
    d->inputPicture = nullptr;
}

void closeExporter(REALobject obj) {
    ExporterData *d = dataOf(obj);
    if (!d) return;
    if (d->busy) {  // the component is in use further up the stack
        d->closePending = 1;
        return;
    }
    if (d->component) {
        CloseComponent(d->component);
        d->component = 0;
    }
    if (d->outputHandle) {
        DisposeHandle(d->outputHandle);
        d->outputHandle = nullptr;
    }
    if (d->inputImporter) {
        unlockObject(d->inputImporter);
        d->inputImporter = nullptr;
    }
    dropInputPicture(d);
    if (d->gworld) {
        DisposeGWorld(d->gworld);
        d->gworld = 0;
    }
}

// Runs an export with the object marked busy, then any Close that came in.
ComponentResult runExport(REALobject obj, ExporterData *d, uint32_t *written) {
    ComponentInstance ci = d->component;
    ++d->busy;
    ComponentResult err = GraphicsExportDoExport(ci, written);
    --d->busy;
    if (!d->busy && d->closePending) {
        d->closePending = 0;
        closeExporter(obj);
    }
    return err;
}

// Members that would change what a running export reads are refused.
constexpr int32_t kBusy = fBsyErr;

// ---- the three members the application uses ---------------------------------------------

void OpenExporter(REALobject obj, REALstring type) {
    ExporterData *d = dataOf(obj);
    if (!d) return;
    if (d->busy) {
        d->lastError = kBusy;
        return;
    }
    closeExporter(obj);
    d->lastError = -1;
    OSType subtype = type ? osTypeFromHostString(type) : FourCC("JPEG");
    ComponentInstance ci = 0;
    d->lastError = int16_t(OpenADefaultComponent(GraphicsExporterComponentType, subtype, &ci));
    if (d->lastError == 0) d->component = ci;
}

void SetInputPicture(REALobject obj, intptr_t, REALpicture picture) {
    ExporterData *d = dataOf(obj);
    if (!d) return;
    d->lastError = -1;
    if (d->busy) {
        d->lastError = kBusy;
        return;
    }
    dropInputPicture(d);
    if (!d->component || !picture) return;
    REALpictureDescription desc;
    if (!lockPictureDescription(picture, &desc)) return;
    if (desc.pictureType == pictureMacintoshPICT)
        d->lastError = GraphicsExportSetInputPicture(d->component, static_cast<PicHandle>(desc.pictureData));
    else if (desc.pictureType == pictureGWorld)
        d->lastError =
            GraphicsExportSetInputGWorld(d->component, GWorldRef(reinterpret_cast<uintptr_t>(desc.pictureData)));
    if (d->lastError == 0) {
        lockObject(reinterpret_cast<REALobject>(picture));
        d->inputPicture = picture;
    }
    unlockPictureDescription(picture);
}

REALpicture GetInputPicture(REALobject obj, intptr_t) {
    ExporterData *d = dataOf(obj);
    if (!d) return nullptr;
    d->lastError = -1;
    if (d->inputPicture) lockObject(reinterpret_cast<REALobject>(d->inputPicture));
    return d->inputPicture;
}

REALstring ExportToString(REALobject obj) {
    COMPONENT_MEMBER(nullptr);
    Handle h = NewEmptyHandle();
    if (!h) return nullptr;
    REALstring result = nullptr;
    d->lastError = GraphicsExportSetOutputHandle(ci, h);
    if (d->lastError == 0) d->lastError = runExport(obj, d, nullptr);
    if (d->lastError == 0) {
        HLock(h);
        result = hostStringFromBytes(HandleData(h), GetHandleSize(h), kEncodingUnknown);
        HUnlock(h);
    }
    if (ComponentInstanceExists(ci)) GraphicsExportSetOutputHandle(ci, nullptr);
    DisposeHandle(h);
    return result;
}

RBInteger Export(REALobject obj) {
    COMPONENT_MEMBER(0);
    uint32_t written = 0;
    d->lastError = runExport(obj, d, &written);
    return d->lastError == 0 ? RBInteger(written) : 0;
}

void Close(REALobject obj) { closeExporter(obj); }

void Constructor(REALobject obj) {
    if (ExporterData *d = dataOf(obj)) d->handlers = progressHandlersOf(obj, gExporterClass);
}

// ---- progress -----------------------------------------------------------------------------

void SetProgress(REALobject obj, intptr_t, RBInteger mode) {
    ExporterData *d = dataOf(obj);
    if (!d) return;
    d->progress = mode;
    if (mode == 1 || !d->component) return;
    ICMProgressProcRecord rec{nullptr, nullptr};
    if (mode == 2 || mode == 3) rec = {gExporterProgressUPP, obj};
    GraphicsExportSetProgressProc(d->component, &rec);
}

// ---- settings -------------------------------------------------------------------------------

template <typename T, typename Call> T getValue(REALobject obj, Call call) {
    COMPONENT_MEMBER(T());
    T value{};
    d->lastError = call(ci, &value);
    return d->lastError == 0 ? value : T();
}

template <typename Call> void setValue(REALobject obj, Call call) {
    COMPONENT_MEMBER();
    d->lastError = call(ci);
}

RBInteger GetDepth(REALobject obj, intptr_t) { return getValue<int32_t>(obj, GraphicsExportGetDepth); }
void SetDepth(REALobject obj, intptr_t, RBInteger v) {
    setValue(obj, [v](ComponentInstance ci) { return GraphicsExportSetDepth(ci, v); });
}
RBInteger GetCompressionQuality(REALobject obj, intptr_t) {
    return RBInteger(getValue<CodecQ>(obj, GraphicsExportGetCompressionQuality));
}
void SetCompressionQuality(REALobject obj, intptr_t, RBInteger v) {
    setValue(obj, [v](ComponentInstance ci) { return GraphicsExportSetCompressionQuality(ci, CodecQ(v < 0 ? 0 : v)); });
}
RBInteger GetCompressionMethod(REALobject obj, intptr_t) {
    return getValue<int32_t>(obj, GraphicsExportGetCompressionMethod);
}
void SetCompressionMethod(REALobject obj, intptr_t, RBInteger v) {
    setValue(obj, [v](ComponentInstance ci) { return GraphicsExportSetCompressionMethod(ci, v); });
}
RBBoolean GetDontRecompress(REALobject obj, intptr_t) { return getValue<bool>(obj, GraphicsExportGetDontRecompress); }
void SetDontRecompress(REALobject obj, intptr_t, RBBoolean v) {
    setValue(obj, [v](ComponentInstance ci) { return GraphicsExportSetDontRecompress(ci, v & 1); });
}
RBInteger GetInterlaceStyle(REALobject obj, intptr_t) {
    return RBInteger(getValue<uint32_t>(obj, GraphicsExportGetInterlaceStyle));
}
void SetInterlaceStyle(REALobject obj, intptr_t, RBInteger v) {
    setValue(obj, [v](ComponentInstance ci) { return GraphicsExportSetInterlaceStyle(ci, uint32_t(v)); });
}
RBInteger GetTargetDataSize(REALobject obj, intptr_t) {
    return RBInteger(getValue<uint32_t>(obj, GraphicsExportGetTargetDataSize));
}
void SetTargetDataSize(REALobject obj, intptr_t, RBInteger v) {
    setValue(obj, [v](ComponentInstance ci) { return GraphicsExportSetTargetDataSize(ci, uint32_t(v)); });
}

double getResolution(REALobject obj, bool vertical) {
    COMPONENT_MEMBER(0);
    Fixed h = 0, v = 0;
    d->lastError = GraphicsExportGetResolution(ci, &h, &v);
    return d->lastError == 0 ? (vertical ? v : h) / 65536.0 : 0;
}
double GetHorizontalResolution(REALobject obj, intptr_t) { return getResolution(obj, false); }
double GetVerticalResolution(REALobject obj, intptr_t) { return getResolution(obj, true); }
void SetResolution(REALobject obj, double h, double v) {
    // The exporter keeps 16.16 fixed-point values: anything else (and NaN)
    // is refused as a bad parameter, not converted.
    auto fits = [](double x) { return x > -32768.0 && x < 32768.0; };
    if (!fits(h) || !fits(v)) {
        setValue(obj, [](ComponentInstance) { return ComponentResult(paramErr); });
        return;
    }
    setValue(obj, [h, v](ComponentInstance ci) {
        return GraphicsExportSetResolution(ci, Fixed(h * 65536), Fixed(v * 65536));
    });
}

RBInteger GetInputGWorldHandle(REALobject obj, intptr_t) {
    return RBInteger(getValue<GWorldRef>(obj, GraphicsExportGetInputGWorld));
}
void SetInputGWorldHandle(REALobject obj, intptr_t, RBInteger world) {
    COMPONENT_MEMBER();
    if (d->busy) {
        d->lastError = kBusy;
        return;
    }
    dropInputPicture(d);
    if (world) d->lastError = GraphicsExportSetInputGWorld(ci, GWorldRef(world));
}

void SetInputGraphicsImporter(REALobject obj, REALobject importer) {
    COMPONENT_MEMBER();
    if (d->busy) {
        d->lastError = kBusy;
        return;
    }
    if (d->inputImporter) {
        GraphicsExportSetInputGraphicsImporter(ci, 0);
        unlockObject(d->inputImporter);
        d->inputImporter = nullptr;
    }
    // The importer's component is word 1 of its instance data.
    if (!importer || !gImporterClass || objectIsA(importer, "QTGraphicsImporterPlyx") != 1) return;
    auto *words = static_cast<uint32_t *>(REALGetClassData(importer, gImporterClass));
    d->lastError = GraphicsExportSetInputGraphicsImporter(ci, words[1]);
    if (d->lastError == 0) {
        lockObject(importer);
        d->inputImporter = importer;
    }
}

// ---- optional functions -----------------------------------------------------------------------

void getThumbnail(REALobject obj, bool *enabled, int32_t *w, int32_t *h) {
    *enabled = false, *w = 0, *h = 0;
    COMPONENT_MEMBER();
    if (!gGetThumbnailEnabled) return;
    bool e = false;
    int32_t mw = 0, mh = 0;
    d->lastError = gGetThumbnailEnabled(ci, &e, &mw, &mh);
    if (d->lastError == 0) *enabled = e, *w = mw, *h = mh;
}
RBBoolean GetThumbnailEnabled(REALobject obj, intptr_t) {
    bool e;
    int32_t w, h;
    getThumbnail(obj, &e, &w, &h);
    return e;
}
RBInteger GetThumbnailMaxWidth(REALobject obj, intptr_t) {
    bool e;
    int32_t w, h;
    getThumbnail(obj, &e, &w, &h);
    return w;
}
RBInteger GetThumbnailMaxHeight(REALobject obj, intptr_t) {
    bool e;
    int32_t w, h;
    getThumbnail(obj, &e, &w, &h);
    return h;
}
void SetThumbnail(REALobject obj, RBBoolean enabled, RBInteger w, RBInteger h) {
    COMPONENT_MEMBER();
    if (gSetThumbnailEnabled) d->lastError = gSetThumbnailEnabled(ci, enabled & 1, w, h);
}
RBBoolean GetExifEnabled(REALobject obj, intptr_t) {
    COMPONENT_MEMBER(false);
    if (!gGetExifEnabled) return false;
    bool e = false;
    d->lastError = gGetExifEnabled(ci, &e);
    return d->lastError == 0 && e;
}
void SetExifEnabled(REALobject obj, intptr_t, RBBoolean enabled) {
    COMPONENT_MEMBER();
    if (gSetExifEnabled) d->lastError = gSetExifEnabled(ci, enabled & 1);
}

// Whether the component can do both selectors of a feature; the answer of
// the last one asked is kept in "Lasterror". A feature whose optional calls
// are missing cannot be used, so it is not available.
RBBoolean canDo(REALobject obj, int16_t first, int16_t second, bool functionsPresent) {
    COMPONENT_MEMBER(false);
    ComponentResult a = CallComponentCanDo(ci, first);
    d->lastError = a;
    if (second) {
        ComponentResult b = CallComponentCanDo(ci, second);
        d->lastError = b;
        a = a && b;
    }
    return a != 0 && functionsPresent;
}
RBBoolean CanRequestSettings(REALobject obj) { return canDo(obj, kGraphicsExportRequestSettingsSelect, 0, true); }
RBBoolean CanThumbnail(REALobject obj) {
    return canDo(obj, kGraphicsExportSetThumbnailEnabledSelect, kGraphicsExportGetThumbnailEnabledSelect,
                 gGetThumbnailEnabled && gSetThumbnailEnabled);
}
RBBoolean CanExif(REALobject obj) {
    return canDo(obj, kGraphicsExportSetExifEnabledSelect, kGraphicsExportGetExifEnabledSelect,
                 gGetExifEnabled && gSetExifEnabled);
}

RBBoolean RequestSettings(REALobject obj) {
    COMPONENT_MEMBER(false);
    d->lastError = GraphicsExportRequestSettings(ci, nullptr, nullptr);
    return d->lastError == 0;
}

// ---- files and codes ---------------------------------------------------------------------------

REALfolderItem GetOutputFile(REALobject obj, intptr_t) {
    COMPONENT_MEMBER(nullptr);
    FSSpec spec{};
    d->lastError = GraphicsExportGetOutputFile(ci, &spec);
    return d->lastError == 0 ? folderItemFromFSSpec(&spec) : nullptr;
}
void SetOutputFile(REALobject obj, intptr_t, REALfolderItem file) {
    COMPONENT_MEMBER();
    FSSpec spec{};
    if (fsSpecFromFolderItem(file, &spec)) d->lastError = GraphicsExportSetOutputFile(ci, &spec);
}

REALstring GetDefaultFileNameExtension(REALobject obj) {
    COMPONENT_MEMBER(nullptr);
    OSType ext = 0;
    d->lastError = GraphicsExportGetDefaultFileNameExtension(ci, &ext);
    if (d->lastError != 0) return nullptr;
    char text[4];
    size_t n = 0;
    for (; n < 4 && char(ext >> (24 - 8 * n)) != ' '; ++n) text[n] = char(ext >> (24 - 8 * n));
    return hostStringFromBytes(text, n, kEncodingMacRoman);
}

REALstring typeOrCreator(REALobject obj, bool output, bool creator) {
    COMPONENT_MEMBER(nullptr);
    OSType type = 0, maker = 0;
    d->lastError = output ? GraphicsExportGetOutputFileTypeAndCreator(ci, &type, &maker)
                          : GraphicsExportGetDefaultFileTypeAndCreator(ci, &type, &maker);
    return d->lastError == 0 ? hostStringFromOSType(creator ? maker : type) : nullptr;
}
REALstring GetDefaultMacType(REALobject obj) { return typeOrCreator(obj, false, false); }
REALstring GetDefaultMacCreator(REALobject obj) { return typeOrCreator(obj, false, true); }
REALstring GetOutputMacType(REALobject obj) { return typeOrCreator(obj, true, false); }
REALstring GetOutputMacCreator(REALobject obj) { return typeOrCreator(obj, true, true); }
void SetOutputFileTypeAndCreator(REALobject obj, REALstring type, REALstring creator) {
    COMPONENT_MEMBER();
    d->lastError =
        GraphicsExportSetOutputFileTypeAndCreator(ci, osTypeFromHostString(type), osTypeFromHostString(creator));
}

// ---- metadata, settings, profile ------------------------------------------------------------------

// The component's metadata in new user data, or 0.
UserData readMetaData(REALobject obj) {
    COMPONENT_MEMBER(nullptr);
    return readComponentMetaData(ci, GraphicsExportGetMetaData, &d->lastError);
}

REALobject GetMetaData(REALobject obj) {
    UserData ud = readMetaData(obj);
    return ud ? newUserDataObject(ud, true) : nullptr;
}
void SetMetaData(REALobject obj, REALobject value) {
    COMPONENT_MEMBER();
    d->lastError = GraphicsExportSetMetaData(ci, userDataFromObject(value));
}

REALstring GetMetaDataString(REALobject obj) {
    UserData ud = readMetaData(obj);
    return ud ? hostStringFromUserData(ud) : nullptr;
}
void SetMetaDataString(REALobject obj, REALstring value) {
    COMPONENT_MEMBER();
    UserData ud = userDataFromHostString(value);
    d->lastError = GraphicsExportSetMetaData(ci, ud);
    DisposeUserData(ud);
}

Handle handleFromString(REALstring value) {
    size_t length = 0;
    const char *bytes = stringBytes(value, &length);
    Handle h = nullptr;
    PtrToHand(bytes, &h, bytes ? length : 0);
    return h;
}

// A value the component hands over in a new handle, as a string in
// `encoding`; the handle is disposed.
template <typename Get> REALstring handleValue(REALobject obj, Get get, uint32_t encoding) {
    COMPONENT_MEMBER(nullptr);
    Handle h = nullptr;
    d->lastError = get(ci, &h);
    REALstring s = d->lastError == 0 ? hostStringFromBytes(HandleData(h), GetHandleSize(h), encoding) : nullptr;
    DisposeHandle(h);
    return s;
}

// The bytes of `value` given to the component in a handle of their own.
template <typename Set> void setHandleValue(REALobject obj, REALstring value, Set set) {
    COMPONENT_MEMBER();
    Handle h = handleFromString(value);
    d->lastError = set(ci, h);
    DisposeHandle(h);
}

REALstring GetSettings(REALobject obj) {
    return handleValue(obj, GraphicsExportGetSettingsAsAtomContainer, kEncodingUnknown);
}
void SetSettings(REALobject obj, REALstring value) {
    setHandleValue(obj, value, [](ComponentInstance ci, Handle h) {
        return h ? GraphicsExportSetSettingsFromAtomContainer(ci, h) : ComponentResult(memFullErr);
    });
}

REALstring GetColorSyncProfileData(REALobject obj) {
    return handleValue(obj, GraphicsExportGetColorSyncProfile, kEncodingUnknown);
}
void SetColorSyncProfileData(REALobject obj, REALstring value) {
    setHandleValue(obj, value, GraphicsExportSetColorSyncProfile);
}

REALstring SettingsAsText(REALobject obj) {
    return handleValue(obj, GraphicsExportGetSettingsAsText, kEncodingMacRoman);
}

// Every exporter's type, four bytes each (needs no component).
REALstring CodecList(REALobject) {
    Handle h = NewEmptyHandle();
    if (!h) return nullptr;
    ComponentDescription look{GraphicsExporterComponentType, 0, 0, 0, 4096};
    bool ok = true;
    for (Component c = FindNextComponent(0, &look); c && ok; c = FindNextComponent(c, &look)) {
        ComponentDescription info;
        if (GetComponentInfo(c, &info) != noErr) continue;
        uint8_t code[4] = {uint8_t(info.componentSubType >> 24), uint8_t(info.componentSubType >> 16),
                           uint8_t(info.componentSubType >> 8), uint8_t(info.componentSubType)};
        ok = PtrAndHand(code, h, 4) == noErr;
    }
    REALstring s = ok ? hostStringFromBytes(HandleData(h), GetHandleSize(h), kEncodingMacRoman) : nullptr;
    DisposeHandle(h);
    return s;
}

}  // namespace

#define MEMBERS_DEF "graphicsplugin/members.def"
#define PLUGIN_SECTION GRAPHICS_EXPORTER
#define CLASS_RECORD gExporterClass
#define CLASS_DATA ExporterData
#include "class_records.inc"

// The exporter's progress procedure: raises the object's progress events
// (yielding to the host first in mode 3). A true answer to
// ProgressUpdatePercent cancels the export.
OSErr exporterProgressProc(int16_t message, Fixed completeness, void *refCon) {
    auto obj = static_cast<REALobject>(refCon);
    ExporterData *d = obj ? dataOf(obj) : nullptr;
    return d ? raiseProgress(obj, d->progress, d->handlers, message, completeness, userCanceledErr) : OSErr(noErr);
}

}  // namespace gp
