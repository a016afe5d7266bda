// The Carbon services the deck-control plug-in uses: the system version
// (Gestalt), the debugger (DebugStr), file references and the special
// Frameworks folder, and event-loop idle timers running on the main run
// loop of CoreFoundation/CoreFoundation.h.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

extern "C" {

enum : int32_t {
    noErr = 0,
    paramErr = -50,
    fnfErr = -43,
    dirNFErr = -120,
    gestaltUndefSelectorErr = -5551,
};

// Four-character code, first character in the high byte: FW_FOURCC("sysv").
constexpr OSType FW_FOURCC(const char (&s)[5]) {
    return (OSType(uint8_t(s[0])) << 24) | (OSType(uint8_t(s[1])) << 16) | (OSType(uint8_t(s[2])) << 8) |
           OSType(uint8_t(s[3]));
}

// ---- system version -----------------------------------------------------------
enum : OSType { gestaltSystemVersion = FW_FOURCC("sysv") };
// 'sysv' answers 0x1048 (system 10.4.8). Other selectors:
// gestaltUndefSelectorErr. fw_gestalt_fail makes every call fail.
OSErr Gestalt(OSType selector, SInt32 *response);
// Test seam: a non-zero status makes Gestalt return it (response untouched);
// 0 restores normal answers.
void fw_gestalt_fail(OSErr status);

// ---- debugger ------------------------------------------------------------------
typedef unsigned char Str255[256];
typedef const unsigned char *ConstStr255Param;
// Writes the length-prefixed text and a new line to standard error, or hands
// it to the hook when one is set.
void DebugStr(ConstStr255Param debuggerMsg);
typedef void (*FwDebugStrHook)(const char *text, size_t length, void *ctx);
void fw_set_debugstr_hook(FwDebugStrHook hook, void *ctx);  // 0 restores stderr

// ---- files and special folders ---------------------------------------------------
// A file reference: the absolute POSIX path (UTF-8, NUL-terminated) of an
// existing file or folder. Whoever fills one (FSPathMakeRef, the host's
// folder items) writes the path into `path`.
struct FSRef {
    char path[1024];
};

OSStatus FSPathMakeRef(const UInt8 *path, FSRef *ref, Boolean *isDirectory);  // fnfErr if absent
OSStatus FSRefMakePath(const FSRef *ref, UInt8 *path, UInt32 maxPathSize);
CFURLRef CFURLCreateFromFSRef(CFAllocatorRef, const FSRef *ref);  // 0 when not a path
Boolean CFURLGetFSRef(CFURLRef url, FSRef *ref);                  // false when absent

enum : SInt16 {
    kOnSystemDisk = -32768,
    kOnAppropriateDisk = -32767,
    kSystemDomain = -32766,
    kLocalDomain = -32765,
    kNetworkDomain = -32764,
    kUserDomain = -32763,
};
enum : OSType { kFrameworksFolderType = FW_FOURCC("fram") };
// The Frameworks folder (the only special folder) for every domain:
// $TAVRIN_FRAMEWORKS_DIR when set, else the folder "Frameworks" beside
// libcarbon.so (where the build places "System.framework"). With
// createFolder the folder is made when missing. Other folder types: fnfErr.
OSErr FSFindFolder(SInt16 vRefNum, OSType folderType, Boolean createFolder, FSRef *foundRef);

// ---- event loop and idle timers -------------------------------------------------------
typedef struct OpaqueEventLoopRef *EventLoopRef;
typedef struct OpaqueEventLoopTimerRef *EventLoopTimerRef;
typedef double EventTimerInterval;  // seconds
typedef double EventTimeout;        // seconds
#define kEventDurationForever (-1.0)
#define kEventDurationNoWait (0.0)

// The main event loop is the main run loop; both calls return it.
EventLoopRef GetCurrentEventLoop();
EventLoopRef GetMainEventLoop();
CFRunLoopRef GetCFRunLoopFromEventLoop(EventLoopRef loop);
// Runs the main run loop for up to `inTimeout` seconds (see CFRunLoopRunInMode).
OSStatus RunCurrentEventLoop(EventTimeout inTimeout);

enum : UInt16 {
    kEventLoopIdleTimerStarted = 1,  // the user has been idle for the delay
    kEventLoopIdleTimerIdling = 2,   // every interval after that
    kEventLoopIdleTimerStopped = 3,  // the user is active again
};
typedef UInt16 EventLoopIdleTimerMessage;
typedef void (*EventLoopIdleTimerProcPtr)(EventLoopTimerRef inTimer, EventLoopIdleTimerMessage inState,
                                          void *inUserData);
typedef EventLoopIdleTimerProcPtr EventLoopIdleTimerUPP;
typedef void (*EventLoopTimerProcPtr)(EventLoopTimerRef inTimer, void *inUserData);
typedef EventLoopTimerProcPtr EventLoopTimerUPP;

EventLoopIdleTimerUPP NewEventLoopIdleTimerUPP(EventLoopIdleTimerProcPtr proc);
void DisposeEventLoopIdleTimerUPP(EventLoopIdleTimerUPP upp);

// Idle timer: idleness counts from the install (or the last user activity
// reported with fw_note_user_activity). After inFireDelay seconds of
// idleness the procedure gets Started, then Idling every inInterval seconds
// (0 = none), and Stopped at the next user activity, after which the delay
// counts again. Installs on the main loop whatever loop is given.
OSStatus InstallEventLoopIdleTimer(EventLoopRef inEventLoop, EventTimerInterval inFireDelay,
                                   EventTimerInterval inInterval, EventLoopIdleTimerUPP inTimerProc, void *inTimerData,
                                   EventLoopTimerRef *outTimer);
// Plain timer: fires after inFireDelay, then every inInterval (0 = once).
OSStatus InstallEventLoopTimer(EventLoopRef inEventLoop, EventTimerInterval inFireDelay, EventTimerInterval inInterval,
                               EventLoopTimerUPP inTimerProc, void *inTimerData, EventLoopTimerRef *outTimer);
OSStatus RemoveEventLoopTimer(EventLoopTimerRef inTimer);  // paramErr for 0
// Next firing in inNextFire seconds from now; kEventDurationForever = never
// (until set again).
OSStatus SetEventLoopTimerNextFireTime(EventLoopTimerRef inTimer, EventTimerInterval inNextFire);

// The host calls this on every key press and mouse event.
void fw_note_user_activity();

}  // extern "C"
