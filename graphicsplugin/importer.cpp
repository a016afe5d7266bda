// QTGraphicsImporterPlyx: one graphics importer component behind a host
// object. Every member sets "Lasterror" to -1 first; without a component it
// returns the empty value, otherwise the component's status goes to
// "Lasterror" and the value is returned only when that status is 0.
#include "classes.h"
#include "component_member.h"
#include "helpers.h"
#include "progress.h"

#include "imaging/importer.h"

#include <cstddef>
#include <cstring>

using namespace imaging;

namespace gp {

namespace {

// Instance data, fields in their documented order. The host reads and
// writes the first three itself ("Progress", "Handle", "Lasterror"), so
// those stay 32-bit at bytes 0, 4 and 8; the handle and the handlers hold
// addresses and are pointer-sized.
struct ImporterData {
    int32_t progress;    // 0: 0 none, 1 leave as is, 2 events, 3 events and yield
    uint32_t component;  // 4: "Handle"
    int32_t lastError;   // 8: "Lasterror"
    Handle dataHandle;   // bytes or URL given to OpenData / OpenURL
    uint32_t spare;
    ProgressHandlers handlers;  // resolved at construction
};
static_assert(offsetof(ImporterData, progress) == 0 && offsetof(ImporterData, component) == 4 &&
                  offsetof(ImporterData, lastError) == 8,
              "host-read fields");

ImporterData *dataOf(REALobject obj) {
    return static_cast<ImporterData *>(REALGetClassData(obj, &gImporterClassRecord));
}

void closeImporter(REALobject obj) {
    ImporterData *d = dataOf(obj);
    if (!d) return;
    if (d->component) {
        CloseComponent(d->component);
        d->component = 0;
    }
    if (d->dataHandle) {
        DisposeHandle(d->dataHandle);
        d->dataHandle = nullptr;
    }
}

// Saves the current port and restores it when the scope ends.
struct PortSaver {
    GWorldRef saved = GetGWorld();
    ~PortSaver() { SetGWorld(saved); }
};

// ---- opening ------------------------------------------------------------------------------

// The bytes of a host string in a new handle; 0 for no text.
Handle handleFromString(REALstring s) {
    size_t length = 0;
    const char *bytes = stringBytes(s, &length);
    if (!bytes || !length) return nullptr;
    Handle h = nullptr;
    return PtrToHand(bytes, &h, length) == noErr ? h : nullptr;
}

void openFile(REALobject obj, REALfolderItem file, int32_t flags, bool withFlags) {
    ImporterData *d = dataOf(obj);
    if (!d) return;
    closeImporter(obj);
    d->lastError = -1;
    FSSpec spec{};
    if (!fsSpecFromFolderItem(file, &spec)) return;
    ComponentInstance ci = 0;
    d->lastError =
        withFlags ? GetGraphicsImporterForFileWithFlags(&spec, &ci, flags) : GetGraphicsImporterForFile(&spec, &ci);
    if (d->lastError == 0) d->component = ci;
}

void OpenFile(REALobject obj, REALfolderItem file) { openFile(obj, file, 0, false); }
void OpenFileWithFlags(REALobject obj, REALfolderItem file, RBInteger flags) { openFile(obj, file, flags, true); }

void OpenURL(REALobject obj, REALstring url) {
    ImporterData *d = dataOf(obj);
    if (!d) return;
    closeImporter(obj);
    d->lastError = -1;
    Handle h = handleFromString(url);
    if (!h) return;
    d->dataHandle = h;
    ComponentInstance ci = 0;
    d->lastError = GetGraphicsImporterForDataRef(h, URLDataHandlerSubType, &ci);
    if (d->lastError == 0) d->component = ci;
}

void OpenData(REALobject obj, REALstring data, REALstring datatype) {
    ImporterData *d = dataOf(obj);
    if (!d) return;
    closeImporter(obj);
    d->lastError = -1;
    size_t length = 0;
    if (!stringBytes(data, &length) || !length) return;
    ComponentInstance ci = 0;
    d->lastError = OpenADefaultComponent(GraphicsImporterComponentType, osTypeFromHostString(datatype), &ci);
    if (d->lastError != 0) return;
    Handle h = handleFromString(data);
    if (!h) {
        CloseComponent(ci);
        d->lastError = memFullErr;
        return;
    }
    d->dataHandle = h;
    d->component = ci;
    d->lastError = GraphicsImportSetDataHandle(ci, h);
}

void Close(REALobject obj) { closeImporter(obj); }

void Constructor(REALobject obj) {
    if (ImporterData *d = dataOf(obj)) d->handlers = progressHandlersOf(obj, gImporterClassRecord);
}

// ---- progress -------------------------------------------------------------------------------

void installProgress(REALobject obj, ImporterData *d) {
    if (d->progress == 1 || !d->component) return;
    ICMProgressProcRecord rec{nullptr, nullptr};
    if (d->progress == 2 || d->progress == 3) rec = {gImporterProgressUPP, obj};
    GraphicsImportSetProgressProc(d->component, &rec);
}

void SetProgress(REALobject obj, intptr_t, RBInteger mode) {
    ImporterData *d = dataOf(obj);
    if (!d) return;
    d->progress = mode;
    installProgress(obj, d);
}

// ---- drawing ------------------------------------------------------------------------------------

// Draws into `port` (0: nothing to draw into).
void drawInto(ImporterData *d, ComponentInstance ci, GWorldRef port) {
    if (!port) return;
    d->lastError = GraphicsImportSetGWorld(ci, port);
    if (d->lastError == 0) d->lastError = GraphicsImportDraw(ci);
}

void Draw(REALobject obj, REALgraphics g) {
    COMPONENT_MEMBER();
    if (!g) return;
    PortSaver saver;
    if (!selectGraphics(g)) return;
    drawInto(d, ci, GetGWorld());
}

void DrawWindow(REALobject obj, REALwindow win) {
    COMPONENT_MEMBER();
    if (!win) return;
    PortSaver saver;
    drawInto(d, ci, GetWindowPort(windowHandle(win)));
}

void DrawGWorld(REALobject obj, RBInteger world) {
    COMPONENT_MEMBER();
    installProgress(obj, d);
    if (!world) return;
    PortSaver saver;
    drawInto(d, ci, GWorldRef(world));
}

GWorldRef makeGWorld(REALobject obj, RBInteger width, RBInteger height) {
    COMPONENT_MEMBER(0);
    Rect r{0, 0, height, width};
    GWorldRef world = 0;
    d->lastError = newGWorldPreferTemp(&world, 32, &r, 0);
    if (d->lastError != 0) return 0;
    PortSaver saver;
    SetGWorld(world);
    // Paint the world white first, so what the image leaves shows white.
    PixMapInfo pm{};
    if (GetGWorldPixMap(world, &pm))
        for (int32_t y = 0; y < RectHeight(pm.bounds); ++y)
            std::memset(pm.baseAddr + size_t(y) * pm.rowBytes, 0xFF, size_t(RectWidth(pm.bounds)) * 4);
    drawInto(d, ci, world);
    if (d->lastError != 0) {
        DisposeGWorld(world);
        return 0;
    }
    return world;
}

RBInteger MakeGWorld(REALobject obj, RBInteger width, RBInteger height) {
    return RBInteger(makeGWorld(obj, width, height));
}

REALpicture MakePicture(REALobject obj, RBInteger width, RBInteger height) {
    GWorldRef world = makeGWorld(obj, width, height);
    if (!world) return nullptr;
    REALpicture pic = buildPictureFromGWorld(world);
    if (!pic) DisposeGWorld(world);
    return pic;
}

REALpicture MakePicHandle(REALobject obj) {
    COMPONENT_MEMBER(nullptr);
    PicHandle pic = nullptr;
    d->lastError = GraphicsImportGetAsPicture(ci, &pic);
    if (d->lastError != 0) return nullptr;
    return pictureFromPicHandle(pic);
}

// ---- geometry --------------------------------------------------------------------------------------

enum RectKind { kCurrent, kSource, kDest, kDefaultSource, kNatural };
enum Side { kLeft, kWidth, kHeight, kTop };

ComponentResult getRect(ComponentInstance ci, int kind, Rect *r) {
    switch (kind) {
        case kCurrent:
            return GraphicsImportGetBoundsRect(ci, r);
        case kSource:
            return GraphicsImportGetSourceRect(ci, r);
        case kDest:
            return GraphicsImportGetDestRect(ci, r);
        case kDefaultSource:
            return GraphicsImportGetDefaultSourceRect(ci, r);
        default:
            return GraphicsImportGetNaturalBounds(ci, r);
    }
}

ComponentResult setRect(ComponentInstance ci, int kind, const Rect *r) {
    switch (kind) {
        case kCurrent:
            return GraphicsImportSetBoundsRect(ci, r);
        case kSource:
            return GraphicsImportSetSourceRect(ci, r);
        case kDest:
            return GraphicsImportSetDestRect(ci, r);
        default:
            return paramErr;
    }
}

// One getter and one setter per rectangle and side: the application calls
// them through its entry table with a parameter of 0, so the parameter
// cannot say which.
template <int Kind, int Which> RBInteger GetRectSide(REALobject obj, intptr_t) {
    COMPONENT_MEMBER(0);
    Rect r{};
    d->lastError = getRect(ci, Kind, &r);
    if (d->lastError != 0) return 0;
    switch (Which) {
        case kLeft:
            return r.left;
        case kTop:
            return r.top;
        case kWidth:
            return RectWidth(r);
        default:
            return RectHeight(r);
    }
}

template <int Kind, int Which> void SetRectSide(REALobject obj, intptr_t, RBInteger value) {
    COMPONENT_MEMBER();
    Rect r{};
    d->lastError = getRect(ci, Kind, &r);
    if (d->lastError != 0) return;
    switch (Which) {
        case kLeft:
            r.left = value;
            break;  // the right side stays
        case kTop:
            r.top = value;
            break;  // the bottom stays
        case kWidth:
            r.right = int32_t(int64_t(r.left) + value);
            break;
        default:
            r.bottom = int32_t(int64_t(r.top) + value);
            break;
    }
    d->lastError = setRect(ci, Kind, &r);
}

REALobject rectObject(REALobject obj, int kind) {
    COMPONENT_MEMBER(nullptr);
    Rect r{};
    d->lastError = getRect(ci, kind, &r);
    return d->lastError == 0 ? newIntegerRectObject(r) : nullptr;
}

void setRectObject(REALobject obj, int kind, REALobject rect) {
    COMPONENT_MEMBER();
    Rect r{};
    if (!rectFromIntegerRectObject(rect, &r)) return;
    d->lastError = setRect(ci, kind, &r);
}

REALobject NaturalBounds(REALobject obj) { return rectObject(obj, kNatural); }
REALobject DefaultSourceBounds(REALobject obj) { return rectObject(obj, kDefaultSource); }
REALobject CurrentBounds(REALobject obj) { return rectObject(obj, kCurrent); }
void SetCurrentBounds(REALobject obj, REALobject r) { setRectObject(obj, kCurrent, r); }
REALobject SourceBounds(REALobject obj) { return rectObject(obj, kSource); }
void SetSourceBounds(REALobject obj, REALobject r) { setRectObject(obj, kSource, r); }
REALobject DestBounds(REALobject obj) { return rectObject(obj, kDest); }
void SetDestBounds(REALobject obj, REALobject r) { setRectObject(obj, kDest, r); }

// ---- numbers with readers that answer -1 without a component ---------------------------------------

template <typename T, typename Call> RBInteger readNumber(REALobject obj, Call call) {
    COMPONENT_MEMBER(-1);
    T value{};
    d->lastError = call(ci, &value);
    return d->lastError == 0 ? RBInteger(value) : 0;
}

template <typename Call> void assign(REALobject obj, Call call) {
    COMPONENT_MEMBER();
    d->lastError = call(ci);
}

RBInteger ImageCount(REALobject obj) { return readNumber<uint32_t>(obj, GraphicsImportGetImageCount); }
RBInteger ImageIndex(REALobject obj) { return readNumber<uint32_t>(obj, GraphicsImportGetImageIndex); }
void SetImageIndex(REALobject obj, RBInteger v) {
    assign(obj, [v](ComponentInstance ci) { return GraphicsImportSetImageIndex(ci, uint32_t(v)); });
}
RBInteger Quality(REALobject obj) { return readNumber<CodecQ>(obj, GraphicsImportGetQuality); }
void SetQuality(REALobject obj, RBInteger v) {
    assign(obj, [v](ComponentInstance ci) { return GraphicsImportSetQuality(ci, CodecQ(v < 0 ? 0 : v)); });
}
RBInteger Flags(REALobject obj) { return readNumber<int32_t>(obj, GraphicsImportGetFlags); }
void SetFlags(REALobject obj, RBInteger v) {
    assign(obj, [v](ComponentInstance ci) { return GraphicsImportSetFlags(ci, v); });
}

RBInteger GraphicsMode(REALobject obj) {
    COMPONENT_MEMBER(0);
    int32_t mode = 0;
    d->lastError = GraphicsImportGetGraphicsMode(ci, &mode, nullptr);
    return d->lastError == 0 ? mode : 0;
}
void SetGraphicsMode(REALobject obj, RBInteger mode) {
    assign(obj, [mode](ComponentInstance ci) { return GraphicsImportSetGraphicsMode(ci, mode, nullptr); });
}

RBInteger GraphicsModeColor(REALobject obj) {
    COMPONENT_MEMBER(0);
    int32_t mode = 0;
    RGBColor c{};
    d->lastError = GraphicsImportGetGraphicsMode(ci, &mode, &c);
    if (d->lastError != 0) return 0;
    return RBInteger((uint32_t(c.red / 257) << 16) | (uint32_t(c.green / 257) << 8) | uint32_t(c.blue / 257));
}
void SetGraphicsModeColor(REALobject obj, RBInteger colour) {
    COMPONENT_MEMBER();
    int32_t mode = 0;
    d->lastError = GraphicsImportGetGraphicsMode(ci, &mode, nullptr);
    if (d->lastError != 0) return;
    uint32_t v = uint32_t(colour);
    RGBColor c{uint16_t(((v >> 16) & 0xFF) * 257), uint16_t(((v >> 8) & 0xFF) * 257), uint16_t((v & 0xFF) * 257)};
    d->lastError = GraphicsImportSetGraphicsMode(ci, mode, &c);
}

RBBoolean Validate(REALobject obj) {
    COMPONENT_MEMBER(0);
    bool valid = false;
    d->lastError = GraphicsImportValidate(ci, &valid);
    return d->lastError == 0 && valid;
}

// ---- matrices and description ---------------------------------------------------------------------

REALobject Matrix(REALobject obj) {
    COMPONENT_MEMBER(nullptr);
    MatrixRecord m;
    d->lastError = GraphicsImportGetMatrix(ci, &m);
    return d->lastError == 0 ? newMatrixObject(m) : nullptr;
}
void SetMatrix(REALobject obj, REALobject matrix) {
    COMPONENT_MEMBER();
    if (MatrixRecord *m = matrixOfObject(matrix)) d->lastError = GraphicsImportSetMatrix(ci, m);
}
REALobject DefaultMatrix(REALobject obj) {
    COMPONENT_MEMBER(nullptr);
    MatrixRecord m;
    d->lastError = GraphicsImportGetDefaultMatrix(ci, &m);
    return d->lastError == 0 ? newMatrixObject(m) : nullptr;
}

REALobject ImageDescription(REALobject obj) {
    COMPONENT_MEMBER(nullptr);
    ImageDescriptionHandle h = nullptr;
    d->lastError = GraphicsImportGetImageDescription(ci, &h);
    REALobject result = d->lastError == 0 ? newImageDescriptionObject(h) : nullptr;
    DisposeHandle(h);
    return result;
}

// ---- files ---------------------------------------------------------------------------------------------

REALfolderItem File(REALobject obj) {
    COMPONENT_MEMBER(nullptr);
    FSSpec spec{};
    d->lastError = GraphicsImportGetDataFile(ci, &spec);
    return d->lastError == 0 ? folderItemFromFSSpec(&spec) : nullptr;
}
void SetFile(REALobject obj, REALfolderItem file) {
    COMPONENT_MEMBER();
    FSSpec spec{};
    if (fsSpecFromFolderItem(file, &spec)) d->lastError = GraphicsImportSetDataFile(ci, &spec);
}

void SaveAsPicture(REALobject obj, REALfolderItem file) {
    COMPONENT_MEMBER();
    FSSpec spec{};
    if (fsSpecFromFolderItem(file, &spec)) d->lastError = GraphicsImportSaveAsPicture(ci, &spec, -1);
}
void SaveAsImage(REALobject obj, REALfolderItem file) {
    COMPONENT_MEMBER();
    FSSpec spec{};
    if (fsSpecFromFolderItem(file, &spec)) d->lastError = GraphicsImportSaveAsQuickTimeImageFile(ci, &spec, -1);
}

// ---- metadata, profile ------------------------------------------------------------------------------

UserData readMetaData(REALobject obj) {
    COMPONENT_MEMBER(nullptr);
    return readComponentMetaData(ci, GraphicsImportGetMetaData, &d->lastError);
}
REALobject MetaData(REALobject obj) {
    UserData ud = readMetaData(obj);
    return ud ? newUserDataObject(ud, true) : nullptr;
}
REALstring MetaDataString(REALobject obj) {
    UserData ud = readMetaData(obj);
    return ud ? hostStringFromUserData(ud) : nullptr;
}

REALstring ColorSyncProfileData(REALobject obj) {
    COMPONENT_MEMBER(nullptr);
    Handle h = nullptr;
    d->lastError = GraphicsImportGetColorSyncProfile(ci, &h);
    REALstring s =
        d->lastError == 0 && h ? hostStringFromBytes(HandleData(h), GetHandleSize(h), kEncodingUnknown) : nullptr;
    DisposeHandle(h);
    return s;
}

// ---- the importer component list ----------------------------------------------------------------------

// Four bytes per importer component, in the order the registry gives them:
// its type, or its file name extension. Like every member of the class,
// these answer nothing without a component of their own.
REALstring componentCodes(REALobject obj, bool extensions) {
    COMPONENT_MEMBER(nullptr);
    Handle h = NewEmptyHandle();
    if (!h) {
        d->lastError = memFullErr;
        return nullptr;
    }
    ComponentDescription look{GraphicsImporterComponentType, 0, 0, 0, 0};
    OSErr err = noErr;
    for (Component c = FindNextComponent(0, &look); c && !err; c = FindNextComponent(c, &look)) {
        ComponentDescription info;
        if (GetComponentInfo(c, &info) != noErr) continue;
        OSType code = info.componentSubType;
        if (extensions && GetComponentFileNameExtension(c, &code) != noErr) continue;
        uint8_t bytes[4] = {uint8_t(code >> 24), uint8_t(code >> 16), uint8_t(code >> 8), uint8_t(code)};
        err = PtrAndHand(bytes, h, 4);
    }
    d->lastError = err;
    REALstring s = err == noErr ? hostStringFromBytes(HandleData(h), GetHandleSize(h), kEncodingMacRoman) : nullptr;
    DisposeHandle(h);
    return s;
}
REALstring FileTypes(REALobject obj) { return componentCodes(obj, false); }
REALstring FileExtensions(REALobject obj) { return componentCodes(obj, true); }

// ---- records ------------------------------------------------------------------------------------------

}  // namespace

#define MEMBERS_DEF "graphicsplugin/members.def"
#define PLUGIN_SECTION GRAPHICS_IMPORTER
#define CLASS_RECORD gImporterClassRecord
#define CLASS_DATA ImporterData
#include "class_records.inc"

// The importer's progress procedure: raises the object's progress events
// (yielding to the host first in mode 3). A true answer to
// ProgressUpdatePercent stops the drawing.
OSErr importerProgressProc(int16_t message, Fixed completeness, void *refCon) {
    auto obj = static_cast<REALobject>(refCon);
    ImporterData *d = obj ? dataOf(obj) : nullptr;
    return d ? raiseProgress(obj, d->progress, d->handlers, message, completeness, 1) : OSErr(noErr);
}

}  // namespace gp
