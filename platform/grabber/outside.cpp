// The application extension BundleResourceFolderPlyx and the global
// EncodeBase64, and their records.
#include "host.h"
#include "members.h"

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <system_error>
#include <unistd.h>

namespace grab {

namespace {

// TAVRIN_RESOURCES when set, else share/tavrin beside the program's folder.
std::string resourceFolderPath() {
    const char *over = std::getenv("TAVRIN_RESOURCES");
    if (over && *over) return over;
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return (exe.parent_path() / ".." / "share" / "tavrin").lexically_normal().string();
}

REALfolderItem bundleResourceFolder(REALobject) {
    std::string path = resourceFolderPath();
    return path.empty() ? nullptr : folderItemFromPath(path);
}

// Base64 with a line break (CR LF) after every `lineWrap` characters; no
// breaks for a wrap below 1.
std::string base64(const std::string &in, int lineWrap) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((in.size() + 2) / 3 * 4 + (in.size() / 32 + 1) * 2);
    int column = 0;
    auto put = [&](char c) {
        if (lineWrap > 0 && column == lineWrap) out += "\r\n", column = 0;
        out += c, ++column;
    };
    for (size_t i = 0; i < in.size(); i += 3) {
        uint32_t n = uint32_t(uint8_t(in[i])) << 16;
        if (i + 1 < in.size()) n |= uint32_t(uint8_t(in[i + 1])) << 8;
        if (i + 2 < in.size()) n |= uint8_t(in[i + 2]);
        put(kAlphabet[n >> 18 & 63]);
        put(kAlphabet[n >> 12 & 63]);
        put(i + 1 < in.size() ? kAlphabet[n >> 6 & 63] : '=');
        put(i + 2 < in.size() ? kAlphabet[n & 63] : '=');
    }
    return out;
}

REALstring encodeBase64(REALstring data, RBInteger lineWrap) {
    std::string bytes;
    if (!stringBytes(data, &bytes)) return nullptr;
    return newString(base64(bytes, lineWrap));
}

}  // namespace

// Their records, from the table's rows.
namespace {

#define PLUGIN_SECTION OUTSIDE_APPEXT
#define PLUGIN_EXTENSION_METHOD(cls, decl, fn) {fp(fn), nullptr, decl, 0},
REALmethodDefinition gApplicationMethods[] = {
#include "grabber/outside_members.def"
};
#undef PLUGIN_SECTION

}  // namespace

REALclassDefinition gApplicationExtension = {
    kCurrentREALControlVersion,
    "Application",
    nullptr,
    0,
    0,
    nullptr,
    nullptr,
    nullptr,
    0,
    gApplicationMethods,
    uint32_t(std::size(gApplicationMethods)),
    nullptr,
    0,
    {},
};

#define PLUGIN_SECTION OUTSIDE_CONTROLS
#define PLUGIN_GLOBAL(decl, fn) {fp(fn), nullptr, decl, 0},
REALmethodDefinition gGlobalMethods[] = {
#include "grabber/outside_members.def"
};
#undef PLUGIN_SECTION
const size_t gGlobalMethodCount = std::size(gGlobalMethods);

}  // namespace grab
