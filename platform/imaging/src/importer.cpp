// The graphics importer component: opening by data reference, file and URL,
// geometry and matrix, drawing into worlds, image index, description,
// metadata, profile, validation and saving. The registry (registry.cpp)
// owns the component and its data handle; the rest of an importer's state
// lives here, keyed by the component instance, and goes when it closes.
#include "imaging/importer.h"

#include "answer.h"
#include "handles.h"
#include "registry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

namespace imaging {

namespace {

struct State {
    Handle ownedData = nullptr;  // bytes read from a file or URL; disposed when closed
    std::string dataFile;        // the file the bytes came from, if any
    uint32_t index = 0;          // current image, from 0
    bool probed = false;
    OSErr probeErr = noErr;
    codec::Info info;
    bool decoded = false;
    OSErr decodeErr = noErr;
    std::shared_ptr<const codec::Decoded> pixels;  // shared with a drawing under way
    bool sourceSet = false;
    Rect source{};
    MatrixRecord matrix{};
    // The rectangle last given as bounds, answered as it was while the
    // matrix made from it stands (the matrix's 16.16 values may miss it by
    // a fraction of a pixel).
    bool boundsKept = false;
    Rect bounds{};
    GWorldRef port = 0;
    CodecQ quality = codecNormalQuality;
    int32_t flags = 0;
    int32_t mode = ditherCopy;
    RGBColor opColor{0x8000, 0x8000, 0x8000};
    ICMProgressProcRecord progress{nullptr, nullptr};
    State() { SetIdentityMatrix(&matrix); }
};

std::map<ComponentInstance, State> &states() {
    static std::map<ComponentInstance, State> s;
    return s;
}

URLFetcher gFetcher = nullptr;
WindowPortProvider gWindowPorts = nullptr;
PortDrawnHook gPortDrawn = nullptr;

// The state of a live importer (made on first use), or 0.
State *stateOf(ComponentInstance ci) { return importerOf(ci) ? &states()[ci] : nullptr; }

#define IMPORTER(ci)         \
    State *st = stateOf(ci); \
    if (!st) return badComponentInstance

// The format the importer reads its bytes as; 0 when there is none.
OSType contentFormat(ComponentInstance ci, const uint8_t **data, size_t *size) {
    const importer::Source *src = importerOf(ci);
    if (!src) return 0;
    *data = HandleData(src->data);
    *size = GetHandleSize(src->data);
    OSType kind = sniff(*data, *size);
    if (!kind) kind = src->hint ? src->hint : src->subtype;
    if (src->subtype && kind != src->subtype) return 0;
    return kind;
}

// What the current image is, read once per data and index.
OSErr ensureInfo(ComponentInstance ci, State &st) {
    if (st.probed) return st.probeErr;
    const uint8_t *data = nullptr;
    size_t size = 0;
    OSType kind = contentFormat(ci, &data, &size);
    st.probeErr = !data || !size ? OSErr(paramErr)
                  : !kind        ? OSErr(codecErr)
                                 : probe(kind, data, size, st.index, st.info);
    st.probed = true;
    return st.probeErr;
}

OSErr ensurePixels(ComponentInstance ci, State &st) {
    if (OSErr e = ensureInfo(ci, st)) return e;
    if (st.decoded) return st.decodeErr;
    const uint8_t *data = nullptr;
    size_t size = 0;
    OSType kind = contentFormat(ci, &data, &size);
    auto pixels = std::make_shared<codec::Decoded>();
    st.decodeErr = decode(kind, data, size, st.index, *pixels);
    if (!st.decodeErr) st.pixels = std::move(pixels);
    st.decoded = true;
    return st.decodeErr;
}

void forgetImage(State &st) {
    st.probed = st.decoded = false;
    st.info = codec::Info();
    st.pixels.reset();
    st.sourceSet = false;
    st.boundsKept = false;
}

Rect naturalBounds(const State &st) { return {0, 0, st.info.height, st.info.width}; }
Rect sourceRect(const State &st) { return st.sourceSet ? st.source : naturalBounds(st); }
bool emptyRect(const Rect *r) { return !r || r->right <= r->left || r->bottom <= r->top; }

std::string pathOf(const FSSpec *file) {
    if (!file || !std::memchr(file->path, 0, sizeof file->path)) return std::string();
    return file->path;
}

// A whole file into a new handle.
OSErr readFile(const std::string &path, Handle *out) {
    *out = nullptr;
    if (path.empty()) return paramErr;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return fnfErr;
    OSErr err = noErr;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) err = ioErr;
    else if (uint64_t(size) > kMaxBlockSize) err = memFullErr;
    Handle h = err ? nullptr : NewHandle(size_t(size));
    if (!err && !h) err = memFullErr;
    if (!err && size && std::fread(HandleData(h), 1, size_t(size), f) != size_t(size)) err = ioErr;
    std::fclose(f);
    if (err) DisposeHandle(h);
    else *out = h;
    return err;
}

OSErr writeFile(const std::string &path, const void *bytes, size_t size) {
    if (path.empty()) return paramErr;
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return fnfErr;
    bool ok = !size || std::fwrite(bytes, 1, size, f) == size;
    ok = std::fclose(f) == 0 && ok;
    return ok ? OSErr(noErr) : OSErr(ioErr);
}

OSType formatFromName(const std::string &name) {
    const Format *f = formatOfFileName(name);
    return f ? f->type : 0;
}

// Opens an importer over bytes that it then owns.
OSErr openOwned(Handle bytes, const std::string &name, bool nameFirst, const std::string &dataFile,
                ComponentInstance *out) {
    OSType byContent = sniff(HandleData(bytes), GetHandleSize(bytes));
    OSType byName = formatFromName(name);
    OSType kind = nameFirst ? (byName ? byName : byContent) : (byContent ? byContent : byName);
    if (!kind) {
        DisposeHandle(bytes);
        return couldntGetRequiredComponent;
    }
    ComponentInstance ci = 0;
    if (OSErr e = OpenADefaultComponent(GraphicsImporterComponentType, kind, &ci)) {
        DisposeHandle(bytes);
        return e;
    }
    GraphicsImportSetDataHandle(ci, bytes);
    State &st = *stateOf(ci);
    st.ownedData = bytes;
    st.dataFile = dataFile;
    *out = ci;
    return noErr;
}

int hexDigit(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

// The path of a "file:" URL ("file:///a/b%20c", "file://localhost/a",
// "file:/a"); empty when it names no local file.
std::string pathFromFileURL(const std::string &url) {
    std::string rest = url.substr(5);
    if (rest.rfind("//", 0) == 0) {
        rest = rest.substr(2);
        if (rest.rfind("localhost", 0) == 0) rest = rest.substr(9);
        if (rest.empty() || rest[0] != '/') return std::string();
    }
    std::string path;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() + 0 && hexDigit(rest[i + 1]) >= 0 && hexDigit(rest[i + 2]) >= 0) {
            char c = char(hexDigit(rest[i + 1]) * 16 + hexDigit(rest[i + 2]));
            if (c == 0) return std::string();
            path += c;
            i += 2;
        } else if (rest[i] == '?' || rest[i] == '#') {
            break;
        } else {
            path += rest[i];
        }
    }
    return path.empty() || path[0] != '/' ? std::string() : path;
}

// ---- drawing ----------------------------------------------------------------------------

struct Target {
    PixMapInfo pm;
    uint8_t *at(int32_t x, int32_t y) const {
        return pm.baseAddr + size_t(y - pm.bounds.top) * pm.rowBytes + size_t(x - pm.bounds.left) * 4;
    }
};

void putPixel(uint8_t *d, const uint8_t *s, int32_t mode, const RGBColor &op) {
    switch (mode) {
        case blend: {
            const uint32_t w[3] = {op.red, op.green, op.blue};
            for (int c = 0; c < 3; ++c)
                d[c + 1] = uint8_t((s[c + 1] * w[c] + d[c + 1] * (65535u - w[c]) + 32767) / 65535);
            break;
        }
        case transparent:
            if (s[1] == op.red >> 8 && s[2] == op.green >> 8 && s[3] == op.blue >> 8) return;
            std::memcpy(d, s, 4);
            break;
        case graphicsModeStraightAlpha: {
            uint32_t a = s[0];
            for (int c = 1; c < 4; ++c) d[c] = uint8_t((s[c] * a + d[c] * (255 - a) + 127) / 255);
            d[0] = uint8_t(a + d[0] * (255 - a) / 255);
            break;
        }
        default:
            std::memcpy(d, s, 4);
    }
}

bool plainCopy(int32_t mode) { return mode != blend && mode != transparent && mode != graphicsModeStraightAlpha; }

// The matrix as a whole-pixel shift, if it is one.
bool integerShift(const MatrixRecord &m, int32_t *dx, int32_t *dy) {
    const auto &a = m.matrix;
    if (a[0][0] != fixed1 || a[1][1] != fixed1 || a[0][1] || a[1][0] || a[0][2] || a[1][2] || a[2][2] != fract1)
        return false;
    if ((a[2][0] & 0xFFFF) || (a[2][1] & 0xFFFF)) return false;
    *dx = a[2][0] >> 16, *dy = a[2][1] >> 16;
    return true;
}

// Reports row progress; a non-zero answer stops the drawing with it.
OSErr reportRows(const State &st, int32_t done, int32_t total) {
    if (!st.progress.progressProc || total <= 0) return noErr;
    int32_t step = total / 32 > 0 ? total / 32 : 1;
    if (done != total && done % step) return noErr;
    Fixed f = Fixed((int64_t(done) << 16) / total);
    return st.progress.progressProc(codecProgressUpdatePercent, f, st.progress.progressRefCon);
}

OSErr render(const State &st, const Target &t) {
    const codec::Decoded &img = *st.pixels;
    Rect src = sourceRect(st);
    // Only the part of the source rectangle that lies on the image is drawn.
    src.left = std::max(src.left, 0), src.top = std::max(src.top, 0);
    src.right = std::min(src.right, img.width), src.bottom = std::min(src.bottom, img.height);
    if (emptyRect(&src)) return noErr;
    const Rect &port = t.pm.bounds;
    int32_t dx = 0, dy = 0;
    if (integerShift(st.matrix, &dx, &dy)) {
        int64_t x0 = std::max<int64_t>(int64_t(src.left) + dx, port.left),
                x1 = std::min<int64_t>(int64_t(src.right) + dx, port.right);
        int64_t y0 = std::max<int64_t>(int64_t(src.top) + dy, port.top),
                y1 = std::min<int64_t>(int64_t(src.bottom) + dy, port.bottom);
        for (int64_t y = y0; y < y1; ++y) {
            const uint8_t *s = img.argb.data() + (size_t(y - dy) * img.width + size_t(x0 - dx)) * 4;
            uint8_t *d = t.at(int32_t(x0), int32_t(y));
            if (plainCopy(st.mode)) std::memcpy(d, s, size_t(x1 - x0) * 4);
            else
                for (int64_t x = x0; x < x1; ++x, s += 4, d += 4) putPixel(d, s, st.mode, st.opColor);
            if (OSErr e = reportRows(st, int32_t(y - y0 + 1), int32_t(y1 - y0))) return e;
        }
        return noErr;
    }
    MatrixRecord inverse;
    Rect box;
    if (!InverseMatrix(&st.matrix, &inverse) || !TransformRect(&st.matrix, &src, &box)) return paramErr;
    double inv[3][3];
    MatrixToDoubles(&inverse, inv);
    int32_t x0 = std::max(box.left, port.left), x1 = std::min(box.right, port.right);
    int32_t y0 = std::max(box.top, port.top), y1 = std::min(box.bottom, port.bottom);
    for (int32_t y = y0; y < y1; ++y) {
        for (int32_t x = x0; x < x1; ++x) {
            double sx, sy;
            if (!TransformPoint(inv, x + 0.5, y + 0.5, &sx, &sy)) continue;
            sx = std::floor(sx), sy = std::floor(sy);
            if (sx < src.left || sy < src.top || sx >= src.right || sy >= src.bottom) continue;
            const uint8_t *s = img.argb.data() + (size_t(sy) * img.width + size_t(sx)) * 4;
            putPixel(t.at(x, y), s, st.mode, st.opColor);
        }
        if (OSErr e = reportRows(st, y - y0 + 1, y1 - y0)) return e;
    }
    return noErr;
}

}  // namespace

// ---- links with the registry ---------------------------------------------------------------

void importer::closed(ComponentInstance ci) {
    auto it = states().find(ci);
    if (it == states().end()) return;
    DisposeHandle(it->second.ownedData);
    states().erase(it);
}

// ---- the data -------------------------------------------------------------------------------

ComponentResult GraphicsImportSetDataHandle(ComponentInstance ci, Handle data) {
    importer::Source *src = importerOf(ci);
    if (!src) return badComponentInstance;
    src->data = data;
    src->hint = 0;
    auto it = states().find(ci);
    if (it != states().end()) {
        it->second.index = 0;
        forgetImage(it->second);
        SetIdentityMatrix(&it->second.matrix);
    }
    return noErr;
}

// The current image, of several, as a new picture.
ComponentResult GraphicsImportGetAsPicture(ComponentInstance ci, PicHandle *pic) {
    IMPORTER(ci);
    if (!pic) return paramErr;
    *pic = nullptr;
    if (OSErr e = ensurePixels(ci, *st)) return e;
    const codec::Decoded &img = *st->pixels;
    *pic = NewPicture(img.width, img.height, img.alpha ? 32 : 24);
    if (!*pic) return memFullErr;
    std::memcpy(PicturePixels(*pic), img.argb.data(), img.argb.size());
    return noErr;
}

// ---- opening ----------------------------------------------------------------------------------

namespace {

OSErr openURL(Handle dataRef, ComponentInstance *out) {
    const char *bytes = reinterpret_cast<const char *>(HandleData(dataRef));
    size_t size = GetHandleSize(dataRef);
    std::string url(bytes ? bytes : "", bytes ? size : 0);
    url = url.substr(0, url.find('\0'));
    if (url.empty()) return paramErr;
    std::string scheme;
    for (char c : url.substr(0, url.find(':'))) scheme += char(std::tolower(uint8_t(c)));
    Handle h = nullptr;
    std::string path;
    if (scheme == "file" && url.find(':') == 4) {
        path = pathFromFileURL(url);
        if (path.empty()) return paramErr;
        if (OSErr e = readFile(path, &h)) return e;
    } else {
        if (!gFetcher || url.find(':') == std::string::npos) return cantFindHandler;
        if (OSErr e = gFetcher(url.c_str(), &h)) return e;
        if (!h) return ioErr;
    }
    std::string name = url.substr(0, url.find_first_of("?#"));
    return openOwned(h, name, false, path, out);
}

// The format the hints of a handle data reference name: a file type, a MIME
// type or a file name's extension, in that order.
OSType formatFromHints(const std::string &name, const std::string &mime, OSType fileType) {
    if (fileType && formatOf(fileType)) return fileType;
    const Format *f = formatOfMimeType(mime);
    if (!f) f = formatOfFileName(name);
    return f ? f->type : 0;
}

}  // namespace

OSErr GetGraphicsImporterForDataRef(Handle dataRef, OSType dataRefType, ComponentInstance *out) {
    if (!out) return paramErr;
    *out = 0;
    if (dataRefType == FourCC("url ")) return openURL(dataRef, out);
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
    OSType kind = sniff(HandleData(data), GetHandleSize(data));
    if (!kind) kind = formatFromHints(name, mime, fileType);
    if (!kind) return couldntGetRequiredComponent;
    ComponentInstance ci;
    if (OSErr e = OpenADefaultComponent(GraphicsImporterComponentType, kind, &ci)) return e;
    importer::Source *src = importerOf(ci);
    src->data = data;
    src->hint = kind;
    *out = ci;
    return noErr;
}

OSErr GetGraphicsImporterForFile(const FSSpec *file, ComponentInstance *out) {
    return GetGraphicsImporterForFileWithFlags(file, out, 0);
}

OSErr GetGraphicsImporterForFileWithFlags(const FSSpec *file, ComponentInstance *out, int32_t flags) {
    if (!out) return paramErr;
    *out = 0;
    std::string path = pathOf(file);
    Handle h = nullptr;
    if (OSErr e = readFile(path, &h)) return e;
    return openOwned(h, path, flags & kDontUseValidateToFindGraphicsImporter, path, out);
}

OSErr GetComponentFileNameExtension(Component c, OSType *ext) {
    ComponentDescription d;
    if (!ext || GetComponentInfo(c, &d) != noErr || d.componentType != GraphicsImporterComponentType) return paramErr;
    const Format *f = formatOf(d.componentSubType);
    if (!f) return paramErr;
    *ext = f->extension;
    return noErr;
}

void SetURLFetcher(URLFetcher fetcher) { gFetcher = fetcher; }
void SetWindowPortProvider(WindowPortProvider provider) { gWindowPorts = provider; }
void SetPortDrawnHook(PortDrawnHook hook) { gPortDrawn = hook; }
GWorldRef GetWindowPort(void *window) { return window && gWindowPorts ? gWindowPorts(window) : 0; }

// ---- geometry -----------------------------------------------------------------------------------

ComponentResult GraphicsImportGetNaturalBounds(ComponentInstance ci, Rect *r) {
    IMPORTER(ci);
    if (!r) return paramErr;
    if (OSErr e = ensureInfo(ci, *st)) return e;
    *r = naturalBounds(*st);
    return noErr;
}

ComponentResult GraphicsImportGetDefaultSourceRect(ComponentInstance ci, Rect *r) {
    return GraphicsImportGetNaturalBounds(ci, r);
}

ComponentResult GraphicsImportGetSourceRect(ComponentInstance ci, Rect *r) {
    IMPORTER(ci);
    if (!r) return paramErr;
    if (OSErr e = ensureInfo(ci, *st)) return e;
    *r = sourceRect(*st);
    return noErr;
}

ComponentResult GraphicsImportSetSourceRect(ComponentInstance ci, const Rect *r) {
    IMPORTER(ci);
    if (emptyRect(r)) return paramErr;
    if (OSErr e = ensureInfo(ci, *st)) return e;
    st->source = *r;
    st->sourceSet = true;
    st->boundsKept = false;
    return noErr;
}

ComponentResult GraphicsImportGetBoundsRect(ComponentInstance ci, Rect *r) {
    IMPORTER(ci);
    if (!r) return paramErr;
    if (OSErr e = ensureInfo(ci, *st)) return e;
    if (st->boundsKept) {
        *r = st->bounds;
        return noErr;
    }
    Rect src = sourceRect(*st);
    return TransformRect(&st->matrix, &src, r) ? ComponentResult(noErr) : ComponentResult(paramErr);
}

ComponentResult GraphicsImportSetBoundsRect(ComponentInstance ci, const Rect *r) {
    IMPORTER(ci);
    if (emptyRect(r)) return paramErr;
    if (OSErr e = ensureInfo(ci, *st)) return e;
    Rect src = sourceRect(*st);
    MatrixRecord m;
    if (OSErr e = RectMatrix(&m, &src, r)) return e;
    st->matrix = m;
    st->bounds = *r;
    st->boundsKept = true;
    return noErr;
}

ComponentResult GraphicsImportGetDestRect(ComponentInstance ci, Rect *r) { return GraphicsImportGetBoundsRect(ci, r); }
ComponentResult GraphicsImportSetDestRect(ComponentInstance ci, const Rect *r) {
    return GraphicsImportSetBoundsRect(ci, r);
}

ComponentResult GraphicsImportGetMatrix(ComponentInstance ci, MatrixRecord *m) {
    IMPORTER(ci);
    return answer(m, st->matrix);
}

ComponentResult GraphicsImportSetMatrix(ComponentInstance ci, const MatrixRecord *m) {
    IMPORTER(ci);
    if (m) st->matrix = *m;
    else SetIdentityMatrix(&st->matrix);
    st->boundsKept = false;
    return noErr;
}

ComponentResult GraphicsImportGetDefaultMatrix(ComponentInstance ci, MatrixRecord *m) {
    IMPORTER(ci);
    (void)st;
    if (!m) return paramErr;
    SetIdentityMatrix(m);
    return noErr;
}

// ---- drawing --------------------------------------------------------------------------------------

ComponentResult GraphicsImportSetGWorld(ComponentInstance ci, GWorldRef port) {
    IMPORTER(ci);
    if (port && !GWorldExists(port)) return paramErr;
    st->port = port;
    return noErr;
}

ComponentResult GraphicsImportGetGWorld(ComponentInstance ci, GWorldRef *port) {
    IMPORTER(ci);
    return answer(port, st->port);
}

ComponentResult GraphicsImportSetProgressProc(ComponentInstance ci, const ICMProgressProcRecord *proc) {
    IMPORTER(ci);
    st->progress = proc ? *proc : ICMProgressProcRecord{nullptr, nullptr};
    return noErr;
}

ComponentResult GraphicsImportDraw(ComponentInstance ci) {
    IMPORTER(ci);
    GWorldRef port = st->port ? st->port : GetGWorld();
    Target t{};
    // Drawing goes into A R G B worlds only (a world over packed rows is read-only).
    if (!GetGWorldPixMap(port, &t.pm) || t.pm.pixelSize != 32) return paramErr;
    if (OSErr e = ensurePixels(ci, *st)) return e;
    // The progress procedure may close this importer: work on a copy of the
    // state, which keeps the pixels alive until the drawing ends.
    const ICMProgressProcRecord progress = st->progress;
    State work = *st;
    work.ownedData = nullptr;
    ComponentResult err = noErr;
    if (progress.progressProc) err = progress.progressProc(codecProgressOpen, 0, progress.progressRefCon);
    if (!err && GetGWorldPixMap(port, &t.pm)) err = render(work, t);
    if (progress.progressProc) progress.progressProc(codecProgressClose, 0x10000, progress.progressRefCon);
    if (gPortDrawn && GWorldExists(port)) gPortDrawn(port);
    return err;
}

// ---- images of the data -------------------------------------------------------------------------

ComponentResult GraphicsImportGetImageCount(ComponentInstance ci, uint32_t *count) {
    IMPORTER(ci);
    if (!count) return paramErr;
    if (OSErr e = ensureInfo(ci, *st)) return e;
    *count = st->info.imageCount;
    return noErr;
}

ComponentResult GraphicsImportGetImageIndex(ComponentInstance ci, uint32_t *index) {
    IMPORTER(ci);
    return answer(index, st->index + 1);
}

ComponentResult GraphicsImportSetImageIndex(ComponentInstance ci, uint32_t index) {
    IMPORTER(ci);
    if (OSErr e = ensureInfo(ci, *st)) return e;
    if (index < 1 || index > st->info.imageCount) return paramErr;
    if (index - 1 == st->index) return noErr;
    st->index = index - 1;
    forgetImage(*st);
    return noErr;
}

// ---- settings ---------------------------------------------------------------------------------------

ComponentResult GraphicsImportGetQuality(ComponentInstance ci, CodecQ *q) {
    IMPORTER(ci);
    return answer(q, st->quality);
}
ComponentResult GraphicsImportSetQuality(ComponentInstance ci, CodecQ q) {
    IMPORTER(ci);
    st->quality = q > codecLosslessQuality ? codecLosslessQuality : q;
    return noErr;
}
ComponentResult GraphicsImportGetFlags(ComponentInstance ci, int32_t *flags) {
    IMPORTER(ci);
    return answer(flags, st->flags);
}
ComponentResult GraphicsImportSetFlags(ComponentInstance ci, int32_t flags) {
    IMPORTER(ci);
    st->flags = flags;
    return noErr;
}
ComponentResult GraphicsImportGetGraphicsMode(ComponentInstance ci, int32_t *mode, RGBColor *opColor) {
    IMPORTER(ci);
    if (mode) *mode = st->mode;
    if (opColor) *opColor = st->opColor;
    return noErr;
}
ComponentResult GraphicsImportSetGraphicsMode(ComponentInstance ci, int32_t mode, const RGBColor *opColor) {
    IMPORTER(ci);
    st->mode = mode;
    if (opColor) st->opColor = *opColor;
    return noErr;
}

// ---- what the importer knows ------------------------------------------------------------------------

ComponentResult GraphicsImportGetImageDescription(ComponentInstance ci, ImageDescriptionHandle *desc) {
    IMPORTER(ci);
    if (!desc) return paramErr;
    *desc = nullptr;
    if (OSErr e = ensureInfo(ci, *st)) return e;
    const codec::Info &info = st->info;
    if (info.width > INT16_MAX || info.height > INT16_MAX) return paramErr;  // beyond what a description holds
    ImageDescription d{};
    d.cType = info.codec;
    d.vendor = int32_t(FourCC("tavr"));
    d.spatialQuality = codecNormalQuality;
    d.width = int16_t(info.width), d.height = int16_t(info.height);
    d.hRes = Fixed(std::lround(info.hres * 65536.0)), d.vRes = Fixed(std::lround(info.vres * 65536.0));
    const uint8_t *data = nullptr;
    size_t size = 0;
    contentFormat(ci, &data, &size);
    d.dataSize = int32_t(std::min<size_t>(size, INT32_MAX));
    d.frameCount = 1;
    const Format *format = formatOfCodec(info.codec);
    const char *name = format ? format->codecName : "";
    d.name[0] = uint8_t(std::strlen(name));
    std::memcpy(d.name + 1, name, d.name[0]);
    d.depth = info.depth;
    d.clutID = -1;
    // The colour space of the profile (its header's data colour space) as a
    // 'cpsc' extension.
    uint8_t ext[12] = {0, 0, 0, 12, 'c', 'p', 's', 'c', 0, 0, 0, 0};
    bool hasSpace = info.icc.size() >= 20;
    if (hasSpace) std::memcpy(ext + 8, info.icc.data() + 16, 4);
    d.idSize = int32_t(sizeof d + (hasSpace ? sizeof ext : 0));
    Handle h = NewHandle(size_t(d.idSize));
    if (!h) return memFullErr;
    std::memcpy(HandleData(h), &d, sizeof d);
    if (hasSpace) std::memcpy(HandleData(h) + sizeof d, ext, sizeof ext);
    *desc = h;
    return noErr;
}

ComponentResult GraphicsImportGetDataFile(ComponentInstance ci, FSSpec *file) {
    IMPORTER(ci);
    if (!file) return paramErr;
    if (st->dataFile.empty() || st->dataFile.size() >= sizeof file->path) return fnfErr;
    std::memcpy(file->path, st->dataFile.c_str(), st->dataFile.size() + 1);
    return noErr;
}

ComponentResult GraphicsImportSetDataFile(ComponentInstance ci, const FSSpec *file) {
    IMPORTER(ci);
    (void)st;
    std::string path = pathOf(file);
    Handle h = nullptr;
    if (OSErr e = readFile(path, &h)) return e;
    Handle old = stateOf(ci)->ownedData;
    GraphicsImportSetDataHandle(ci, h);
    State *now = stateOf(ci);
    now->ownedData = h;
    now->dataFile = path;
    DisposeHandle(old);
    return noErr;
}

ComponentResult GraphicsImportGetMetaData(ComponentInstance ci, UserData ud) {
    IMPORTER(ci);
    if (!ud) return paramErr;
    if (OSErr e = ensureInfo(ci, *st)) return e;
    for (const auto &m : st->info.meta)
        if (OSErr e = AddUserDataText(ud, m.second.c_str(), m.first)) return e;
    return noErr;
}

ComponentResult GraphicsImportGetColorSyncProfile(ComponentInstance ci, Handle *profile) {
    IMPORTER(ci);
    if (!profile) return paramErr;
    *profile = nullptr;
    if (OSErr e = ensureInfo(ci, *st)) return e;
    return answerBytes(profile, st->info.icc);
}

ComponentResult GraphicsImportValidate(ComponentInstance ci, bool *valid) {
    IMPORTER(ci);
    if (!valid) return paramErr;
    *valid = ensurePixels(ci, *st) == noErr;
    return noErr;
}

ComponentResult GraphicsImportSaveAsPicture(ComponentInstance ci, const FSSpec *file, int16_t) {
    IMPORTER(ci);
    std::string path = pathOf(file);
    if (path.empty()) return paramErr;
    (void)st;
    PicHandle pic = nullptr;
    if (ComponentResult e = GraphicsImportGetAsPicture(ci, &pic)) return e;
    OSErr err = writeFile(path, HandleData(pic), GetHandleSize(pic));
    DisposeHandle(pic);
    return err;
}

ComponentResult GraphicsImportSaveAsQuickTimeImageFile(ComponentInstance ci, const FSSpec *file, int16_t) {
    IMPORTER(ci);
    std::string path = pathOf(file);
    if (path.empty()) return paramErr;
    if (OSErr e = ensurePixels(ci, *st)) return e;
    const codec::Decoded &img = *st->pixels;
    codec::Options opt;
    opt.depth = st->info.depth == 8 ? 8 : img.alpha ? 32 : 24;
    opt.hres = st->info.hres, opt.vres = st->info.vres;
    opt.method = 1;  // uncompressed
    opt.icc = st->info.icc;
    opt.meta = st->info.meta;
    std::vector<uint8_t> bytes;
    try {
        if (OSErr e = kTIFFFormat.encode({img.width, img.height, img.argb.data(), img.width * 4}, opt, bytes)) return e;
    } catch (const std::bad_alloc &) {
        return memFullErr;
    }
    return writeFile(path, bytes.data(), bytes.size());
}

}  // namespace imaging
