// What the tests of the graphics plug-in's importer in the real host share:
// the entry points by binding text, temporary files, folder items, pictures
// of a pattern, the exporter's output, and a fixture with the plug-ins
// loaded and an importer made.
#pragma once

#include "binding/entrypoints.h"

#include <rb/entrypoints.h>
#include <rb/graphics.h>
#include <rb/host.h>
#include <rb/memory.h>
#include <rb/object.h>
#include <rb/picture.h>
#include <rb/plugins.h>
#include <rb/string.h>
#include <rb/ui.h>

#include <imaging/imaging.h>

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace importer_host {

inline void *entry(const std::string &text) { return RuntimeLookupPluginEntrypoint(text.c_str()); }

// Members of the importer, exporter and matrix classes, typed from their
// texts; imLike picks a member at run time, typed like Like.
template <rb::Text M> auto im() { return tavrin::lookupEntry<rb::Text("QTGraphicsImporterPlyx.") + M>(); }
template <rb::Text M> auto ex() { return tavrin::lookupEntry<rb::Text("QTGraphicsExporterPlyx.") + M>(); }
template <rb::Text M> auto mx() { return tavrin::lookupEntry<rb::Text("QTGraphicsImporterMatrixPlyx.") + M>(); }
template <rb::Text Like> auto imLike(const std::string &member) {
    return tavrin::lookupEntryLike<rb::Text("QTGraphicsImporterPlyx.") + Like>("QTGraphicsImporterPlyx." + member);
}

inline int32_t lastError(REALobject o) { return rb::direct<int32_t>(o, 8); }
inline uint32_t handleOf(REALobject o) { return rb::direct<uint32_t>(o, 4); }

// A temporary folder, removed with what is in it.
struct TempDir {
    std::string path;
    TempDir() {
        char name[] = "/tmp/importerXXXXXX";
        path = mkdtemp(name);
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string file(const std::string &name) const { return path + "/" + name; }
};

inline void writeBytes(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
inline std::string readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline rb::ObjRef folderItem(const std::string &path) {
    auto fn = reinterpret_cast<REALobject (*)(const char *)>(rb::resolve("FolderItemFromPath"));
    return rb::ObjRef::adopt(fn(path.c_str()));
}

// A picture with a pattern that survives lossless formats exactly.
inline rb::ObjRef patternPicture(int32_t w, int32_t h) {
    rb::ObjRef pic = rb::newPicture(w, h, 24);
    imaging::PixMapInfo pm{};
    imaging::GetGWorldPixMap(rb::pictureWorld(pic.get()), &pm);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t *p = pm.baseAddr + size_t(y) * pm.rowBytes + size_t(x) * 4;
            p[0] = 0xFF, p[1] = uint8_t(x * 5), p[2] = uint8_t(y * 3), p[3] = uint8_t(x + y);
        }
    return pic;
}

inline std::string exportAs(const char *type, REALobject pic, rb::ObjRef *exporterOut = nullptr) {
    rb::ObjRef e = rb::make("QTGraphicsExporterPlyx");
    rb::call(ex<"OpenExporter(type as string)">(), e.get(), rb::String(type));
    rb::setProp(ex<"InputPicture.Set">(), e.get(), pic);
    rb::String s = rb::call(ex<"ExportToString as string">(), e.get());
    if (exporterOut) *exporterOut = e;
    return s.str();
}

class ImporterHost : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char *path : {GRAPHICSPLUGIN_PATH, GRABBERPLUGIN_PATH}) {
            rb::PluginLoad load = rb::loadPlugin(path);
            ASSERT_TRUE(load.ok) << load.error;
        }
    }
    rb::ObjRef importer = rb::make("QTGraphicsImporterPlyx");
    TempDir dir;

    void openData(const std::string &bytes, const char *type) {
        rb::call(im<"OpenData(data as string, datatype as string)">(), importer.get(), rb::String(bytes, 0xFFFF),
                 rb::String(type));
    }
    void openFile(const std::string &path) {
        rb::call(im<"OpenFile(file as folderitem)">(), importer.get(), folderItem(path));
    }
    int32_t get(const char *prop) {
        return rb::getProp(imLike<"DestRectLeft.Get">(std::string(prop) + ".Get"), importer.get());
    }
    void set(const char *prop, int32_t v) {
        rb::setProp(imLike<"DestRectLeft.Set">(std::string(prop) + ".Set"), importer.get(), v);
    }
    rb::ObjRef description() {
        return rb::call(im<"ImageDescription as QTGraphicsImporterImageDescriptionPlyx">(), importer.get());
    }
    static int64_t intProp(REALobject o, const char *name) { return std::get<int64_t>(rb::getPropValue(o, name)); }
    static std::string stringProp(REALobject o, const char *name) {
        rb::Value v = rb::getPropValue(o, name);
        auto *s = std::get_if<rb::String>(&v);
        return s && s->get() ? s->str() : "<none>";
    }
};

}  // namespace importer_host
