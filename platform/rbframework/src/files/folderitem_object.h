// The framework class "FolderItem" as plug-ins see it: an object that names
// a path (folderitem_object.cpp), and its members (folderitem_members.cpp).
#pragma once

#include <rb/object.h>

#include <string>

namespace rb {

struct FolderItemFields {
    std::string path;
};

ClassInfo *folderItemClass();
// A new folder item object for the path, with a reference for the caller;
// nil for an empty path.
REALobject newFolderItemObject(const std::string &path);
// The path a folder item object names; nullptr for nil or another class.
const std::string *folderItemPath(REALobject obj);
// Adds the members plug-ins reach (called once, as the class is made).
void defineFolderItemMembers(ClassInfo *cls);

}  // namespace rb
