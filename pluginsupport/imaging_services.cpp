#include "imaging_services.h"

#include "resolver.h"

namespace plugin {

REALpicture pictureFromPicHandle(imaging::PicHandle handle) {
    HOST_SERVICE(fn, "REALBuildPictureFromPicHandle", REALpicture(*)(void *, RBBoolean));
    REALpicture picture = fn && handle ? fn(handle, 1) : nullptr;
    if (!picture) imaging::DisposeHandle(handle);
    return picture;
}

REALfolderItem folderItemFromFSSpec(const imaging::FSSpec *spec) {
    HOST_SERVICE(fn, "FolderItemFromFSSpec", REALfolderItem(*)(const imaging::FSSpec *));
    return fn ? fn(spec) : nullptr;
}

}  // namespace plugin
