// The optional helper bundle of an AVC or FWNotification object: made from
// a path or a folder item by the constructor methods, which then run the
// object's set-up through the bundle (when it loaded) or in process.
#pragma once

#include <rb/plugin.h>

#include <CoreFoundation/CoreFoundation.h>

#include <cstdint>

namespace avc {

// The bundle fields of an object's instance data.
struct HelperBundle {
    CFURLRef &url;
    CFBundleRef &bundle;
    uint8_t &loaded;
    int32_t &lastError;
};

using SetUp = void (*)(REALobject);

// From a path (the URL is kept): with a URL the set-up runs only when the
// bundle loaded (lastError -4960 when it cannot be made or loaded); without
// one it runs in process.
void bundleFromPath(HelperBundle b, REALstring path, REALobject obj, SetUp setUp);
// From a folder item: lastError -4960 when no bundle can be made, and then
// the set-up runs in process.
void bundleFromFolderItem(HelperBundle b, REALobject folderItem, REALobject obj, SetUp setUp);

// A function of the bundle by name, or null.
void *bundleFunction(CFBundleRef bundle, const char *name);

}  // namespace avc
