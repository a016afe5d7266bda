#include "debug.h"
#include "resolver.h"

#include <Carbon/Carbon.h>
#include <CoreFoundation/CoreFoundation.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

extern "C" {

PrintProc print = nullptr;
PrintProc gprintf = nullptr;
void *NewEventLoopIdleTimer = nullptr;
}

namespace {

std::atomic<bool> gChecked{false}, gIsMacOSX{false};

// Hands at most 255 characters to the debugger as a length-prefixed string.
void toDebugger(const char *text) {
    unsigned char p[256];
    CopyC2P(text, p);
    DebugStr(p);
}

// Loads "System.framework" from the Frameworks folder and fetches `name` and,
// when asked, the idle-timer procedure maker.
int32_t loadFromSystemFramework(PrintProc *printOut, bool alsoIdleTimer) {
    FSRef folder;
    if (FSFindFolder(kOnAppropriateDisk, kFrameworksFolderType, true, &folder) != 0) return -4960;
    CFURLRef base = CFURLCreateFromFSRef(nullptr, &folder);
    if (!base) return -4960;
    CFURLRef url = CFURLCreateCopyAppendingPathComponent(nullptr, base, CFSTR("System.framework"), true);
    CFRelease(base);
    CFBundleRef bundle = url ? CFBundleCreate(nullptr, url) : nullptr;
    if (url) CFRelease(url);
    if (!bundle || !CFBundleLoadExecutable(bundle)) return -4960;
    *printOut = reinterpret_cast<PrintProc>(CFBundleGetFunctionPointerForName(bundle, CFSTR("printf")));
    if (alsoIdleTimer)
        NewEventLoopIdleTimer = CFBundleGetFunctionPointerForName(bundle, CFSTR("NewEventLoopIdleTimerUPP"));
    // The bundle stays loaded for the life of the process.
    if (!*printOut || (alsoIdleTimer && !NewEventLoopIdleTimer)) return -2802;
    return 0;
}

}  // namespace

extern "C" {

RBBoolean IsMacOSX() {
    if (gChecked.load()) return gIsMacOSX.load();
    SInt32 version = 0;
    if (Gestalt(FW_FOURCC("sysv"), &version) != 0) return 0;  // asked again next time
    gIsMacOSX = version >= 0x1000;
    gChecked = true;
    return gIsMacOSX.load();
}

void CopyC2P(const char *text, unsigned char *out) {
    if (!out) return;
    size_t n = text ? std::strlen(text) : 0;
    if (n > 255) n = 255;
    std::memmove(out + 1, text ? text : "", n);  // works in place
    out[0] = static_cast<unsigned char>(n);
}

int32_t Loadprint() { return loadFromSystemFramework(&print, true); }

int32_t Loadprintf() {
    if (!IsMacOSX()) return -2802;
    return loadFromSystemFramework(&gprintf, false);
}

void dlog(const char *format, ...) {
    char buf[255] = {};
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);  // at most 254 characters
    va_end(ap);
    toDebugger(buf);
}

void dlogmem(REALobject block, int32_t size) {
    if (!block) return;
    dlog("%s", hexDumpText(block, size).c_str());
}

void dprintmem(REALobject block, int32_t size) {
    if (!block) return;
    dprintf("%s", hexDumpText(block, size).c_str());
}

void show(const char *format, ...) {
    CFStringRef fmt = CFStringCreateWithCString(nullptr, format ? format : "", kCFStringEncodingUTF8);
    if (!fmt) return;
    va_list ap;
    va_start(ap, format);
    CFStringRef text = CFStringCreateWithFormatAndArguments(nullptr, nullptr, fmt, ap);
    va_end(ap);
    CFRelease(fmt);
    if (!text) return;
    CFIndex length = CFStringGetLength(text), used = 0;
    CFIndex max = CFStringGetMaximumSizeForEncoding(length, CFStringGetSystemEncoding());
    std::unique_ptr<UInt8[]> bytes(new UInt8[size_t(max) + 1]());
    CFStringGetBytes(text, CFRange{0, length}, CFStringGetSystemEncoding(), '?', false, bytes.get(), max, &used);
    CFRelease(text);
    if (IsMacOSX()) {
        if (gprintf) gprintf("%.*s\n", int(used), reinterpret_cast<const char *>(bytes.get()));
    } else {
        dprintf("%.*s\n", int(used), reinterpret_cast<const char *>(bytes.get()));
    }
}

}  // extern "C"

void dprintf(const char *format, ...) {
    std::unique_ptr<char[]> buf(new char[0x80000]());
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf.get(), 0x80000, format, ap);
    va_end(ap);
    toDebugger(buf.get());
}

std::string hexDumpText(REALobject block, int32_t size) {
    int32_t blockSize = 0;
    std::memcpy(&blockSize, reinterpret_cast<const char *>(block) + 24, sizeof blockSize);
    char line[128];
    std::string text;
    if (size > blockSize) {
        text = "Are you sure you know what you are doing here\n";
        std::snprintf(line, sizeof line, "%d length of memory print request\n", int(size));
        text += line;
        std::snprintf(line, sizeof line, "%d size of memoryblock\n", int(blockSize));
        text += line;
        return text;
    }
    // The block's bytes through the host; the address prints by its low 32 bits.
    auto getPtr = reinterpret_cast<void *(*)(REALobject)>(hostService("memoryBlockGetPtr"));
    const unsigned char *bytes = getPtr ? static_cast<const unsigned char *>(getPtr(block)) : nullptr;
    if (!bytes) return text;
    auto addr = [](const void *p) { return unsigned(uintptr_t(p) & 0xFFFFFFFFu); };
    std::snprintf(line, sizeof line, "Displaying %d bytes from %08x\n", int(size), addr(bytes));
    text += line;
    std::snprintf(line, sizeof line, "%08X  ", addr(bytes));
    text += line;
    for (int32_t i = 0; i < size && text.size() < 255; ++i) {
        std::snprintf(line, sizeof line, "%02x", bytes[i]);
        text += line;
        int inGroup = i % 8;
        if (inGroup == 1 || inGroup == 3 || inGroup == 5) text += ' ';
        if (inGroup == 7) text += "  ";
        if (i % 16 == 15 && i + 1 < size) {
            std::snprintf(line, sizeof line, "  \n%08X  ", addr(bytes + i + 1));
            text += line;
        }
    }
    if (text.size() > 255) text.resize(255);
    return text;
}
