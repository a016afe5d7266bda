// Small services the plug-ins use besides the core table: a string's bytes
// and a class test by name.
#include <rb/host.h>
#include <rb/object.h>
#include <rb/string.h>
#include <cstring>

namespace rb {
namespace {

// "REALGetStringContents"(string, size out) -> its bytes (valid while the
// string lives), nullptr for nil.
extern "C" const char *svcGetStringContents(REALstring s, size_t *size) {
    if (size) *size = s ? s->bytes.size() : 0;
    return s ? s->bytes.data() : nullptr;
}

// "REALObjectIsA"(object, class name) -> whether the object is of that class
// or a subclass of it.
extern "C" RBBoolean svcObjectIsA(REALobject obj, const char *className) {
    return obj && className && isA(obj, className) ? 1 : 0;
}

RB_SERVICE("REALGetStringContents", svcGetStringContents);
RB_SERVICE("REALObjectIsA", svcObjectIsA);

}  // namespace
}  // namespace rb

// ---- folder items as host objects ---------------------------------------------

#include "folderitem_object.h"

#include <rb/files.h>

namespace rb {

ClassInfo *folderItemClass() {
    static ClassInfo *cls = [] {
        ClassInfo *c = defineClass<FolderItemFields>("FolderItem");
        defineFolderItemMembers(c);
        return c;
    }();
    return cls;
}

REALobject newFolderItemObject(const std::string &path) {
    if (path.empty()) return nullptr;
    REALobject obj = newObject(folderItemClass());
    if (obj) fields<FolderItemFields>(obj, folderItemClass())->path = path;
    return obj;
}

const std::string *folderItemPath(REALobject obj) {
    if (!obj || !isA(obj->klass, folderItemClass())) return nullptr;
    return &fields<FolderItemFields>(obj, folderItemClass())->path;
}

namespace {

// "FolderItemFromPath"(path) -> a new folder item object, retained for the caller.
extern "C" REALfolderItem svcFolderItemFromPath(const char *path) {
    return reinterpret_cast<REALfolderItem>(path ? newFolderItemObject(path) : nullptr);
}

RB_SERVICE("FolderItemFromPath", svcFolderItemFromPath);

}  // namespace
}  // namespace rb

// ---- folder items as file references -----------------------------------------

namespace rb {
namespace {

// The file reference of the platform stand-ins: an absolute path.
struct FileRef {
    char path[1024];
};

// "REALFSRefFromFolderItem"(folder item, file reference out) -> true when the
// item's path fits; the path need not exist.
extern "C" RBBoolean svcFSRefFromFolderItem(REALobject item, FileRef *out) {
    if (!item || !out || !isA(item, "FolderItem")) return 0;
    const std::string &path = fields<FolderItemFields>(item, folderItemClass())->path;
    if (path.empty() || path.size() >= sizeof out->path) return 0;
    std::memcpy(out->path, path.c_str(), path.size() + 1);
    return 1;
}

RB_SERVICE("REALFSRefFromFolderItem", svcFSRefFromFolderItem);

}  // namespace
}  // namespace rb
