// The host services that take or give the imaging layer's objects.
#include "host_api.h"

#include "imaging/imaging.h"

namespace plugin {

REALpicture pictureFromPicHandle(imaging::HandleRec *handle) {
    HOST_SERVICE(fn, "REALBuildPictureFromPicHandle", REALpicture(*)(void *, RBBoolean));
    REALpicture picture = fn && handle ? fn(handle, 1) : nullptr;
    if (!picture) imaging::DisposeHandle(handle);
    return picture;
}

REALpicture buildPictureFromGWorld(uint32_t world) {
    HOST_SERVICE(fn, "REALBuildPictureFromGWorld", REALpicture(*)(uint32_t, RBBoolean));
    return fn && world ? fn(world, 1) : nullptr;
}

REALfolderItem folderItemFromFSSpec(const imaging::FSSpec *spec) {
    HOST_SERVICE(fn, "FolderItemFromFSSpec", REALfolderItem(*)(const imaging::FSSpec *));
    return fn ? fn(spec) : nullptr;
}

bool fsSpecFromFolderItem(REALfolderItem f, imaging::FSSpec *out) {
    HOST_SERVICE(fn, "REALFSSpecFromFolderItem", RBBoolean(*)(REALfolderItem, imaging::FSSpec *));
    return fn && f && (fn(f, out) & 1);
}

}  // namespace plugin
