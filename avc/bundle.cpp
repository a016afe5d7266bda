#include "bundle.h"

#include "host_api.h"

#include <Carbon/Carbon.h>

namespace avc {

void bundleFromPath(HelperBundle b, REALstring path, REALobject obj, SetUp setUp) {
    uint32_t encoding = 0;
    if (path) {
        encoding = plugin::stringEncoding(path);
        if (encoding == 0xFFFFFFFFu || encoding == 0xFFFF) encoding = CFStringGetSystemEncoding();
    }
    size_t length = 0;
    const char *bytes = plugin::stringBytes(path, &length);
    CFStringRef text = bytes ? CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(bytes), CFIndex(length),
                                                       encoding, false)
                             : nullptr;
    b.url = text ? CFURLCreateWithFileSystemPath(nullptr, text, kCFURLPOSIXPathStyle, true) : nullptr;
    if (b.url) {
        // A bundle that cannot be made or loaded is a failure, not a quiet 0.
        b.lastError = -4960;
        b.bundle = CFBundleCreate(nullptr, b.url);
        if (b.bundle) {
            b.loaded = CFBundleLoadExecutable(b.bundle) ? 1 : 0;
            if (b.loaded) {
                b.lastError = 0;
                setUp(obj);
            }
        }
    } else {
        setUp(obj);
    }
    if (text) CFRelease(text);
}

void bundleFromFolderItem(HelperBundle b, REALobject folderItem, REALobject obj, SetUp setUp) {
    b.lastError = -4960;
    CFURLRef url = nullptr;
    FSRef ref;
    if (plugin::folderItemRef(folderItem, &ref)) {
        b.lastError = 0;
        url = CFURLCreateFromFSRef(nullptr, &ref);
        if (!url) b.lastError = -4960;
    }
    if (b.lastError == 0) {
        b.bundle = CFBundleCreate(nullptr, url);
        if (!b.bundle) b.lastError = -4960;
    }
    if (b.bundle) {
        b.loaded = CFBundleLoadExecutable(b.bundle) ? 1 : 0;
        if (b.loaded) setUp(obj);
    } else {
        setUp(obj);
    }
    if (url) CFRelease(url);
}

void *bundleFunction(CFBundleRef bundle, const char *name) {
    if (!bundle) return nullptr;
    CFStringRef n = CFStringCreateWithCString(nullptr, name, kCFStringEncodingASCII);
    void *fn = CFBundleGetFunctionPointerForName(bundle, n);
    CFRelease(n);
    return fn;
}

}  // namespace avc
