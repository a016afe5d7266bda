// Host services for the graphics plug-in: folder items as file specs and
// back, graphics contexts ("SelectGraphics") over pictures and windows,
// pictures from offscreen worlds, and the image services' links to windows
// and to HTTP for URLs.
#include <rb/graphics.h>
#include <rb/host.h>
#include <rb/httpengine.h>
#include <rb/loop.h>
#include <rb/picture.h>
#include <rb/ui.h>

#include <imaging/importer.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace rb {

namespace {

// ---- folder items and file specs ---------------------------------------------------------

std::string folderItemPath(REALobject item) {
    if (!item || !isA(item, "FolderItem")) return std::string();
    Value v = getPropValue(item, "AbsolutePath");
    auto *s = std::get_if<String>(&v);
    return s ? s->str() : std::string();
}

// "REALFSSpecFromFolderItem"(folder item, spec out) -> true when the item's
// path fits the spec; the file need not exist.
extern "C" RBBoolean svcFSSpecFromFolderItem(REALobject item, imaging::FSSpec *out) {
    if (!out) return 0;
    std::string path = folderItemPath(item);
    if (path.empty() || path.size() >= sizeof out->path) return 0;
    std::memcpy(out->path, path.c_str(), path.size() + 1);
    return 1;
}

// "FolderItemFromFSSpec"(spec) -> a new folder item, retained for the caller.
extern "C" REALfolderItem svcFolderItemFromFSSpec(const imaging::FSSpec *spec) {
    if (!spec || !std::memchr(spec->path, 0, sizeof spec->path) || !spec->path[0]) return nullptr;
    auto make = reinterpret_cast<REALfolderItem (*)(const char *)>(resolve("FolderItemFromPath"));
    return make ? make(spec->path) : nullptr;
}

// ---- window ports -------------------------------------------------------------------------

std::map<Window *, imaging::GWorldRef> &ports() {
    static std::map<Window *, imaging::GWorldRef> p;
    return p;
}

bool isOpen(Window *w) {
    auto open = windows();
    return w && std::find(open.begin(), open.end(), w) != open.end();
}

// Ports of windows that are gone are let go.
void dropClosedPorts() {
    for (auto it = ports().begin(); it != ports().end();) {
        if (isOpen(it->first)) {
            ++it;
        } else {
            imaging::DisposeGWorld(it->second);
            it = ports().erase(it);
        }
    }
}

imaging::GWorldRef portForWindow(void *window) { return windowPort(static_cast<Window *>(window)); }

// After a drawing into a window's port, the window's surface shows it.
void portDrawn(imaging::GWorldRef world) {
    for (auto &[w, port] : ports()) {
        if (port != world || !isOpen(w)) continue;
        imaging::PixMapInfo pm{};
        if (!imaging::GetGWorldPixMap(world, &pm)) return;
        int32_t width = imaging::RectWidth(pm.bounds), height = imaging::RectHeight(pm.bounds);
        uint32_t *to = w->surface.repaint({0, 0, width, height});
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t *p = pm.baseAddr + size_t(y) * pm.rowBytes;
            for (int32_t x = 0; x < width; ++x, p += 4) *to++ = uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
        }
        ++w->surface.paintings;
        w->refresh();
        return;
    }
}

// ---- graphics objects -----------------------------------------------------------------------

struct GraphicsFields {
    ObjRef picture;
    Window *window = nullptr;
};

// "SelectGraphics"(graphics) -> true when its port is now the current one.
extern "C" RBBoolean svcSelectGraphics(REALobject g) {
    if (!g || !isA(g, "Graphics")) return 0;
    auto *f = fields<GraphicsFields>(g, graphicsClass());
    imaging::GWorldRef port = f->picture ? pictureWorld(f->picture.get()) : windowPort(f->window);
    if (!port) return 0;
    imaging::SetGWorld(port);
    return 1;
}

// "REALBuildPictureFromGWorld"(world, take over) -> a new picture of the
// world's pixels; with take over the world is disposed once copied.
extern "C" REALpicture svcBuildPictureFromGWorld(uint32_t world, RBBoolean takeOver) {
    imaging::PixMapInfo pm{};
    if (!imaging::GetGWorldPixMap(world, &pm)) return nullptr;
    ObjRef pic = newPicture(imaging::RectWidth(pm.bounds), imaging::RectHeight(pm.bounds), pm.depth);
    if (!pic || imaging::CopyWorld(world, pictureWorld(pic.get()), 0, 0) != 0) return nullptr;
    if (takeOver & 1) imaging::DisposeGWorld(world);
    return reinterpret_cast<REALpicture>(pic.detach());
}

// ---- URLs over HTTP ---------------------------------------------------------------------------

// Fetches a URL with the framework's HTTP client, running the main loop
// until the page or an error comes. A status other than 2xx is fnfErr.
imaging::OSErr fetchURL(const char *url, imaging::Handle *out) {
    *out = nullptr;
    HTTPSocket socket(httpEngine());
    bool done = false;
    imaging::OSErr err = imaging::ioErr;
    std::string body;
    socket.pageReceived = [&](const std::string &, int status, const std::string &, const std::string &content) {
        done = true;
        err = status >= 200 && status < 300 ? imaging::OSErr(imaging::noErr) : imaging::OSErr(imaging::fnfErr);
        body = content;
    };
    socket.error = [&](HTTPError, const std::string &) { done = true; };
    socket.get(url);
    int64_t deadline = microseconds() + int64_t(socket.limits.timeoutMs + 1000) * 1000;
    while (!done && microseconds() < deadline) runOnce(50);
    if (!done) return imaging::ioErr;
    if (err) return err;
    return imaging::PtrToHand(body.data(), out, body.size());
}

struct Links {
    Links() {
        imaging::SetWindowPortProvider(portForWindow);
        imaging::SetPortDrawnHook(portDrawn);
        imaging::SetURLFetcher(fetchURL);
    }
} gLinks;

RB_SERVICE("REALFSSpecFromFolderItem", svcFSSpecFromFolderItem);
RB_SERVICE("FolderItemFromFSSpec", svcFolderItemFromFSSpec);
RB_SERVICE("SelectGraphics", svcSelectGraphics);
RB_SERVICE("REALBuildPictureFromGWorld", svcBuildPictureFromGWorld);

}  // namespace

ClassInfo *graphicsClass() {
    static ClassInfo *cls = [] {
        ClassInfo *c = findClass("Graphics");
        return c ? c : defineClass<GraphicsFields>("Graphics");
    }();
    return cls;
}

ObjRef newPictureGraphics(REALobject picture) {
    if (!isPicture(picture)) return {};
    ObjRef g = make(graphicsClass());
    if (g) fields<GraphicsFields>(g.get(), graphicsClass())->picture = ObjRef::retain(picture);
    return g;
}

ObjRef newWindowGraphics(Window *window) {
    if (!window) return {};
    ObjRef g = make(graphicsClass());
    if (g) fields<GraphicsFields>(g.get(), graphicsClass())->window = window;
    return g;
}

uint32_t windowPort(Window *window) {
    dropClosedPorts();
    if (!isOpen(window)) return 0;
    int32_t w = std::max(1, window->width()), h = std::max(1, window->height());
    imaging::GWorldRef &port = ports()[window];
    imaging::PixMapInfo pm{};
    if (port && imaging::GetGWorldPixMap(port, &pm) && imaging::RectWidth(pm.bounds) == w &&
        imaging::RectHeight(pm.bounds) == h)
        return port;
    imaging::DisposeGWorld(port);
    port = 0;
    imaging::Rect r{0, 0, h, w};
    if (imaging::NewGWorld(&port, 32, &r, 0) != 0) {
        ports().erase(window);
        return 0;
    }
    return port;
}

}  // namespace rb
