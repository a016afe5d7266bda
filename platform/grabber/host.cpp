// The grabber's own host services, fetched by name on first use and kept
// (resolver.h); the shared ones are in pluginapi (host_api.h).
#include "host.h"

#include "imaging/imaging.h"

#include <cstring>

namespace grab {

bool stringBytes(REALstring s, std::string *out) {
    out->clear();
    if (!s) return false;
    size_t n = 0;
    const char *p = plugin::stringBytes(s, &n);
    if (!p && n) return false;
    if (!p && !hostService("REALGetStringContents")) return false;
    out->assign(p ? p : "", n);
    return true;
}

int64_t (*hostMicroseconds())() {
    HOST_SERVICE(fn, "RuntimeMicroseconds", int64_t(*)());
    return fn;
}

REALfolderItem folderItemFromPath(const std::string &path) {
    {
        HOST_SERVICE(fn, "FolderItemFromPath", REALfolderItem(*)(const char *));
        if (fn) return fn(path.c_str());
    }
    if (path.size() >= sizeof(imaging::FSSpec::path)) return nullptr;
    imaging::FSSpec spec{};
    std::memcpy(spec.path, path.data(), path.size());
    return plugin::folderItemFromFSSpec(&spec);
}

bool paintWindow(REALobject window, int left, int top, int width, int height, const uint32_t *pixels) {
    HOST_SERVICE(fn, "PaintWindowSurface",
                 RBBoolean(*)(REALobject, int32_t, int32_t, int32_t, int32_t, const uint32_t *));
    if (!fn || !window || width < 1 || height < 1) return false;
    return fn(window, left, top, width, height, pixels) & 1;
}

bool showPopupDialog(RBPopupDialog *dialog) {
    HOST_SERVICE(fn, "RuntimePopupDialog", RBBoolean(*)(RBPopupDialog *));
    return fn && dialog && (fn(dialog) & 1);
}

void setNote(const char *about, const std::string &text) {
    HOST_SERVICE(fn, "PluginSetNote", void (*)(const char *, const char *));
    if (fn) fn(about, text.c_str());
}

}  // namespace grab
