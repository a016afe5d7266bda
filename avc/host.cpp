#include "host.h"

#include <cstring>

namespace avc {

void raiseException(REALobject exception) {
    HOST_SERVICE(fn, "RuntimeRaiseException", void (*)(REALobject));
    if (fn && exception) fn(exception);
}

uint32_t stringEncoding(REALstring s) {
    HOST_SERVICE(fn, "REALGetStringEncoding", uint32_t(*)(REALstring));
    return fn && s ? fn(s) : 0xFFFF;
}

bool folderItemRef(REALobject folderItem, FSRef *ref) {
    HOST_SERVICE(fn, "REALFSRefFromFolderItem", RBBoolean(*)(REALobject, FSRef *));
    return fn && folderItem && ref && (fn(folderItem, ref) & 1);
}

}  // namespace avc
