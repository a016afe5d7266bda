// The framework class "FolderItem" as host objects: the class, new folder
// items by path, and the services that make one from a path or give the
// file reference of one.
#include "files/folderitem_object.h"

#include <rb/files.h>
#include <rb/host.h>

#include <cstring>
#include <string>

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
