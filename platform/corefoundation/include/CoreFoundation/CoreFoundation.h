// CoreFoundation as the deck-control plug-in uses it: reference-counted
// objects (strings, numbers, dictionaries, URLs, UUIDs, bundles) and the
// main run loop with its sources, file descriptors and timers.
//
// Part of libcorefoundation.so. Every function is extern "C" so plug-ins and
// helper bundles can also find them by name.
//
// Ownership follows the usual rule: a function with Create or Copy in its
// name hands the caller one reference, to be given back with CFRelease; a
// Get function lends the object. CFRetain/CFRelease accept 0 and do nothing
// with it.
//
// Threads: the library is called from the host's main thread or from host
// threads that hold the host's single baton, never concurrently; the run
// loop's queues (signalling a source, waking the loop) are also safe to use
// from any other thread.
//
// Host integration (the one contract with the host runtime's event loop):
//
//   int  fw_runloop_fd();       // a pollable file descriptor, fixed for the
//                               // life of the process; readable (POLLIN)
//                               // whenever the main run loop has work due
//   void fw_runloop_perform();  // runs every signalled source and every
//                               // timer that is due, then re-arms the fd
//
// The host adds fw_runloop_fd() to its main loop and calls
// fw_runloop_perform() on the main thread when it is readable. All
// run-loop callbacks (FireWire notifications, idle timers) therefore run on
// the host's main thread between its other events.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

extern "C" {

// ---- basic types -----------------------------------------------------------
typedef uint8_t Boolean;
typedef uint8_t UInt8;
typedef int8_t SInt8;
typedef uint16_t UInt16;
typedef int16_t SInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef uint64_t UInt64;
typedef int64_t SInt64;
typedef int32_t OSStatus;
typedef int16_t OSErr;
typedef uint32_t OSType;
typedef long CFIndex;
typedef unsigned long CFTypeID;
typedef unsigned long CFOptionFlags;
typedef double CFTimeInterval;
typedef double CFAbsoluteTime;  // seconds since 1 Jan 2001 00:00 UTC

typedef const void *CFTypeRef;
typedef const struct __CFString *CFStringRef;
typedef struct __CFString *CFMutableStringRef;
typedef const struct __CFNumber *CFNumberRef;
typedef const struct __CFDictionary *CFDictionaryRef;
typedef struct __CFDictionary *CFMutableDictionaryRef;
typedef const struct __CFURL *CFURLRef;
typedef const struct __CFUUID *CFUUIDRef;
typedef struct __CFBundle *CFBundleRef;
typedef struct __CFRunLoop *CFRunLoopRef;
typedef struct __CFRunLoopSource *CFRunLoopSourceRef;
typedef struct __CFRunLoopTimer *CFRunLoopTimerRef;
typedef const struct __CFAllocator *CFAllocatorRef;  // always the default

#define kCFAllocatorDefault ((CFAllocatorRef)0)

struct CFRange {
    CFIndex location;
    CFIndex length;
};
inline CFRange CFRangeMake(CFIndex loc, CFIndex len) { return CFRange{loc, len}; }

// ---- objects -----------------------------------------------------------------
CFTypeRef CFRetain(CFTypeRef cf);
void CFRelease(CFTypeRef cf);
CFIndex CFGetRetainCount(CFTypeRef cf);
CFTypeID CFGetTypeID(CFTypeRef cf);         // 0 for 0
Boolean CFEqual(CFTypeRef a, CFTypeRef b);  // same kind and same value
// A readable description ("text" for strings, decimal for numbers, the path
// for URLs, "<CFDictionary n entries>"...). Used by the %@ format.
CFStringRef CFCopyDescription(CFTypeRef cf);

CFTypeID CFStringGetTypeID();
CFTypeID CFNumberGetTypeID();
CFTypeID CFDictionaryGetTypeID();
CFTypeID CFURLGetTypeID();
CFTypeID CFUUIDGetTypeID();
CFTypeID CFBundleGetTypeID();
CFTypeID CFRunLoopSourceGetTypeID();
CFTypeID CFRunLoopTimerGetTypeID();

// ---- strings -------------------------------------------------------------------
// Text is held as UTF-16 code units; lengths and ranges count those units.
typedef UInt32 CFStringEncoding;
enum : CFStringEncoding {
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingISOLatin1 = 0x0201,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUTF8 = 0x08000100,
    kCFStringEncodingInvalidId = 0xFFFFFFFFu,
};

// The system encoding of this platform: UTF-8.
CFStringEncoding CFStringGetSystemEncoding();

// 0 when the bytes are not valid in the encoding or the encoding is unknown.
CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char *cStr, CFStringEncoding enc);
CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8 *bytes, CFIndex numBytes, CFStringEncoding enc,
                                    Boolean isExternalRepresentation);
// printf formats plus %@ (the CFCopyDescription of a CF object argument;
// "(null)" for 0). formatOptions is ignored.
CFStringRef CFStringCreateWithFormat(CFAllocatorRef, CFDictionaryRef formatOptions, CFStringRef format, ...);
CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef, CFDictionaryRef formatOptions, CFStringRef format,
                                                 va_list args);
CFIndex CFStringGetLength(CFStringRef s);
// Copies the text and a NUL into buffer; false (buffer holds "") when it
// does not fit or a character has no form in the encoding.
Boolean CFStringGetCString(CFStringRef s, char *buffer, CFIndex bufferSize, CFStringEncoding enc);
// Converts the units in range; characters without a form in the encoding
// become lossByte (or stop the conversion when lossByte is 0). buffer may be
// 0 to measure. Returns the number of units converted; *usedBufLen the bytes.
CFIndex CFStringGetBytes(CFStringRef s, CFRange range, CFStringEncoding enc, UInt8 lossByte,
                         Boolean isExternalRepresentation, UInt8 *buffer, CFIndex maxBufLen, CFIndex *usedBufLen);
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding enc);
// A compile-time constant string: CFSTR("IOProviderClass"). Interned, never freed.
CFStringRef __CFStringMakeConstantString(const char *cStr);
#define CFSTR(s) __CFStringMakeConstantString("" s "")

// ---- numbers -------------------------------------------------------------------
typedef CFIndex CFNumberType;
enum : CFIndex {
    kCFNumberSInt8Type = 1,
    kCFNumberSInt16Type = 2,
    kCFNumberSInt32Type = 3,
    kCFNumberSInt64Type = 4,
    kCFNumberFloat64Type = 6,
    kCFNumberIntType = 9,
    kCFNumberLongType = 10,
    kCFNumberDoubleType = 13,
};
CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType type, const void *valuePtr);
// Converts to the asked type; false when the value does not fit exactly.
Boolean CFNumberGetValue(CFNumberRef n, CFNumberType type, void *valuePtr);

// ---- dictionaries --------------------------------------------------------------
// Keys and values are CF objects, retained while held; keys compare with
// CFEqual. The callback records are accepted for form only.
struct CFDictionaryKeyCallBacks {
    CFIndex version;
    const void *cb[5];
};
struct CFDictionaryValueCallBacks {
    CFIndex version;
    const void *cb[4];
};
extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex capacity, const CFDictionaryKeyCallBacks *,
                                                 const CFDictionaryValueCallBacks *);
void CFDictionarySetValue(CFMutableDictionaryRef d, const void *key, const void *value);
void CFDictionaryRemoveValue(CFMutableDictionaryRef d, const void *key);
const void *CFDictionaryGetValue(CFDictionaryRef d, const void *key);  // lent, or 0
CFIndex CFDictionaryGetCount(CFDictionaryRef d);
// Calls fn for every entry in insertion order.
void CFDictionaryApplyFunction(CFDictionaryRef d, void (*fn)(const void *key, const void *value, void *ctx), void *ctx);

// ---- URLs (file-system paths) ----------------------------------------------------
typedef CFIndex CFURLPathStyle;
enum : CFIndex { kCFURLPOSIXPathStyle = 0 };

// A relative path is taken from the current directory. 0 for an empty path.
CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef, CFStringRef filePath, CFURLPathStyle style, Boolean isDirectory);
CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef, const UInt8 *buffer, CFIndex bufLen,
                                                 Boolean isDirectory);
CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef, CFURLRef url, CFStringRef pathComponent,
                                               Boolean isDirectory);
// NUL-terminated POSIX path into buffer; false when it does not fit.
Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8 *buffer, CFIndex maxBufLen);
CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle style);
Boolean CFURLHasDirectoryPath(CFURLRef url);

// ---- UUIDs -----------------------------------------------------------------------
struct CFUUIDBytes {
    UInt8 byte0, byte1, byte2, byte3, byte4, byte5, byte6, byte7;
    UInt8 byte8, byte9, byte10, byte11, byte12, byte13, byte14, byte15;
};
// Interned: the same bytes always give the same object, never freed.
CFUUIDRef CFUUIDGetConstantUUIDWithBytes(CFAllocatorRef, UInt8 b0, UInt8 b1, UInt8 b2, UInt8 b3, UInt8 b4, UInt8 b5,
                                         UInt8 b6, UInt8 b7, UInt8 b8, UInt8 b9, UInt8 b10, UInt8 b11, UInt8 b12,
                                         UInt8 b13, UInt8 b14, UInt8 b15);
CFUUIDRef CFUUIDCreateFromUUIDBytes(CFAllocatorRef, CFUUIDBytes bytes);
// "6AAF2EF7-D476-11D5-B57C-0003934B81A0"; 0 when malformed.
CFUUIDRef CFUUIDCreateFromString(CFAllocatorRef, CFStringRef text);
CFUUIDBytes CFUUIDGetUUIDBytes(CFUUIDRef uuid);  // all zero for 0

// ---- bundles ---------------------------------------------------------------------
// A bundle is a folder "Name.ext" whose executable is the shared library
// "Name.so" inside it (e.g. "AVCHelper.bundle/AVCHelper.so",
// "System.framework/System.so"). CFBundleCreate succeeds when the folder
// exists; loading opens the library with dlopen; each bundle object loads and
// unloads on its own (two bundles of one folder do not disturb each other).
CFBundleRef CFBundleCreate(CFAllocatorRef, CFURLRef bundleURL);
Boolean CFBundleLoadExecutable(CFBundleRef b);
Boolean CFBundleIsExecutableLoaded(CFBundleRef b);
void CFBundleUnloadExecutable(CFBundleRef b);
// Loads the executable first when needed; 0 when it cannot be loaded or
// does not export the name.
void *CFBundleGetFunctionPointerForName(CFBundleRef b, CFStringRef functionName);
void *CFBundleGetDataPointerForName(CFBundleRef b, CFStringRef symbolName);
CFURLRef CFBundleCopyExecutableURL(CFBundleRef b);  // the library's path

// ---- run loop ---------------------------------------------------------------------
// There is one run loop, the main one; CFRunLoopGetCurrent returns it on
// every thread. Modes are accepted and ignored (everything runs in every mode).
extern const CFStringRef kCFRunLoopDefaultMode;
extern const CFStringRef kCFRunLoopCommonModes;

CFRunLoopRef CFRunLoopGetCurrent();
CFRunLoopRef CFRunLoopGetMain();
CFAbsoluteTime CFAbsoluteTimeGetCurrent();

// Version-0 sources: signalled by CFRunLoopSourceSignal, then perform(info)
// runs once on the next fw_runloop_perform while the source is in the loop.
struct CFRunLoopSourceContext {
    CFIndex version;  // 0
    void *info;
    const void *(*retain)(const void *info);
    void (*release)(const void *info);
    CFStringRef (*copyDescription)(const void *info);
    Boolean (*equal)(const void *info1, const void *info2);
    unsigned long (*hash)(const void *info);
    void (*schedule)(void *info, CFRunLoopRef rl, CFStringRef mode);
    void (*cancel)(void *info, CFRunLoopRef rl, CFStringRef mode);
    void (*perform)(void *info);
};
CFRunLoopSourceRef CFRunLoopSourceCreate(CFAllocatorRef, CFIndex order, CFRunLoopSourceContext *context);
void CFRunLoopSourceSignal(CFRunLoopSourceRef source);      // any thread
void CFRunLoopSourceInvalidate(CFRunLoopSourceRef source);  // removed, never runs again
Boolean CFRunLoopSourceIsValid(CFRunLoopSourceRef source);
void CFRunLoopAddSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFStringRef mode);
void CFRunLoopRemoveSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFStringRef mode);
Boolean CFRunLoopContainsSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFStringRef mode);
void CFRunLoopWakeUp(CFRunLoopRef rl);

// File descriptors watched by the run loop (read callbacks only). Once the
// read callback is enabled and the descriptor's run-loop source is in the
// loop, the callback runs on the next fw_runloop_perform after the
// descriptor became readable; then the callback is disabled until it is
// enabled again, so a callback that leaves data unread does not spin. The
// source holds the descriptor object; invalidating the descriptor
// invalidates its source (and closes the descriptor when asked to).
typedef struct __CFFileDescriptor *CFFileDescriptorRef;
typedef int CFFileDescriptorNativeDescriptor;
typedef void (*CFFileDescriptorCallBack)(CFFileDescriptorRef f, CFOptionFlags callBackTypes, void *info);
struct CFFileDescriptorContext {
    CFIndex version;  // 0
    void *info;
    const void *(*retain)(const void *info);
    void (*release)(const void *info);
    CFStringRef (*copyDescription)(const void *info);
};
enum : CFOptionFlags { kCFFileDescriptorReadCallBack = 1UL << 0 };
CFFileDescriptorRef CFFileDescriptorCreate(CFAllocatorRef, CFFileDescriptorNativeDescriptor fd,
                                           Boolean closeOnInvalidate, CFFileDescriptorCallBack callout,
                                           const CFFileDescriptorContext *context);
CFFileDescriptorNativeDescriptor CFFileDescriptorGetNativeDescriptor(CFFileDescriptorRef f);
void CFFileDescriptorEnableCallBacks(CFFileDescriptorRef f, CFOptionFlags callBackTypes);
void CFFileDescriptorDisableCallBacks(CFFileDescriptorRef f, CFOptionFlags callBackTypes);
void CFFileDescriptorInvalidate(CFFileDescriptorRef f);
Boolean CFFileDescriptorIsValid(CFFileDescriptorRef f);
// One source per descriptor: a second call returns the same source.
CFRunLoopSourceRef CFFileDescriptorCreateRunLoopSource(CFAllocatorRef, CFFileDescriptorRef f, CFIndex order);

// Timers fire at fireDate and then every interval (0 = once). The loop
// holds a reference while a timer is added.
typedef void (*CFRunLoopTimerCallBack)(CFRunLoopTimerRef timer, void *info);
struct CFRunLoopTimerContext {
    CFIndex version;  // 0
    void *info;
    const void *(*retain)(const void *info);
    void (*release)(const void *info);
    CFStringRef (*copyDescription)(const void *info);
};
CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef, CFAbsoluteTime fireDate, CFTimeInterval interval,
                                       CFOptionFlags flags, CFIndex order, CFRunLoopTimerCallBack callout,
                                       CFRunLoopTimerContext *context);
void CFRunLoopAddTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFStringRef mode);
void CFRunLoopRemoveTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFStringRef mode);
void CFRunLoopTimerSetNextFireDate(CFRunLoopTimerRef timer, CFAbsoluteTime fireDate);
CFAbsoluteTime CFRunLoopTimerGetNextFireDate(CFRunLoopTimerRef timer);
void CFRunLoopTimerInvalidate(CFRunLoopTimerRef timer);
Boolean CFRunLoopTimerIsValid(CFRunLoopTimerRef timer);

// Runs the loop on the calling thread for up to `seconds`: performs due
// work, waits on the fd, performs again. With returnAfterSourceHandled it
// returns as soon as something ran. Returns kCFRunLoopRunHandledSource or
// kCFRunLoopRunTimedOut.
enum : SInt32 {
    kCFRunLoopRunFinished = 1,
    kCFRunLoopRunStopped = 2,
    kCFRunLoopRunTimedOut = 3,
    kCFRunLoopRunHandledSource = 4
};
SInt32 CFRunLoopRunInMode(CFStringRef mode, CFTimeInterval seconds, Boolean returnAfterSourceHandled);

// ---- host integration (see the top of this file) ------------------------------
int fw_runloop_fd();
// Runs what is due; returns the number of sources and timers that ran.
int fw_runloop_perform();
// Seconds until the next timer is due (0 when something is signalled, -1
// when nothing is scheduled): for hosts that would rather compute their poll
// time-out than watch the fd.
double fw_runloop_next_timeout();

// ---- the platform's clock ----------------------------------------------------
// One clock for the whole platform: the run loop's timers, the idle timers,
// CFAbsoluteTimeGetCurrent and the simulated FireWire decks follow it. It
// is the machine's (monotonic nanoseconds; a wait sleeps) until a host
// hands over its own, as the runtime does when it starts: nowNs reads it;
// passMs (may be 0) is asked to let ms milliseconds of it pass at once for
// one who waits, and answers true when it did (a test's clock, moved by
// hand), false when the clock moves by itself and the wait is one in the
// machine's time. Pass 0 for nowNs to give the machine's clock back.
// Timers keep the time they still have to run across the change. A host
// that moves its clock by hand calls fw_runloop_perform when it has.
void fw_set_clock(uint64_t (*nowNs)(void *ctx), bool (*passMs)(void *ctx, int ms), void *ctx);
// The clock's time now, in nanoseconds, and a wait of ms milliseconds on it.
uint64_t fw_clock_ns();
void fw_clock_wait(int ms);

}  // extern "C"
