// The plug-in interface shared by the host runtime and every plug-in.
//
// Records keep the field order, texts and names of the interface; their sizes
// and offsets are those of the native 64-bit build (pointer-sized words where
// the interface holds addresses). Both sides include this header, so nothing
// depends on hard-coded byte positions except the object layout below.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// ---- host handles -----------------------------------------------------------

// Every host object starts with this 24-byte header; a plug-in class's
// instance data follows at byte 24 (the host writes that position into the
// class record at registration). Fields of an application subclass follow the
// plug-in data.
struct REALobjectStruct {
    const struct RBClassInfo *klass;  // the host's class of this object
    int32_t refCount;
    uint32_t flags;
    void *hostData;  // host-private
};
static_assert(sizeof(REALobjectStruct) == 24, "object header is 24 bytes");

typedef REALobjectStruct *REALobject;
typedef struct REALstringStruct *REALstring;            // opaque; host-owned
typedef struct REALpictureStruct *REALpicture;          // a REALobject in this host
typedef struct REALfolderItemStruct *REALfolderItem;    // a REALobject in this host
typedef struct REALgraphicsStruct *REALgraphics;        // a REALobject in this host
typedef struct REALwindowStruct *REALwindow;            // a REALobject in this host
typedef struct REALmemoryBlockStruct *REALmemoryBlock;  // a REALobject in this host
typedef struct REALarrayStruct *REALarray;              // a REALobject in this host
typedef struct REALstringArrayStruct *REALstringArray;  // a REALobject in this host
typedef struct REALintArrayStruct *REALintArray;        // a REALobject in this host
typedef struct REALclassRefStruct *REALclassRef;        // a host class
typedef void (*REALproc)();                             // a plain host procedure

// The interface's "integer" is 32-bit; booleans are one byte, low bit.
typedef int32_t RBInteger;
typedef uint8_t RBBoolean;

// ---- records ------------------------------------------------------------------

enum { kCurrentREALControlVersion = 9 };

// A property whose getter or setter is this value is read or written by the
// host itself at byte `param` of the instance data (direct access).
#define REALstandardGetter ((void *)(intptr_t)-1)
#define REALstandardSetter ((void *)(intptr_t)-1)

struct REALmethodDefinition {
    void *function;           // receives the object first (none for globals)
    void *setterFunction;     // method-style property setter, or 0
    const char *declaration;  // e.g. "PlayForward(speed as integer)"
    uint32_t mFlags;          // 0
};

// The short record of hosts older than 5.9: the first three words.
struct REALmethodDefinitionShort {
    void *function;
    void *setterFunction;
    const char *declaration;
};

struct REALpropertyDefinition {
    const char *group;  // 0
    const char *name;
    const char *type;   // "integer", "Boolean", "String", ...
    uint32_t flags;     // 0
    void *getter;       // function(object, param) / REALstandardGetter / 0
    void *setter;       // function(object, param, value) / REALstandardSetter / 0
    intptr_t param;     // byte position in the instance data for direct access
    void *editor;       // 0
    void *enumeration;  // 0
    uint32_t reserved;  // 0
};

struct REALeventDefinition {
    const char *declaration;  // e.g. "ServiceIsTerminated(message as string)"
    intptr_t forSystemUse;    // 0 in the plug-in; the host's event token
};

struct REALclassDefinition {
    uint32_t version;  // kCurrentREALControlVersion
    const char *name;
    const char *superName;  // or 0
    uint32_t dataSize;      // instance data bytes
    intptr_t forSystemUse;  // set by the host: byte position of the instance data
    void (*constructor)(REALobject);
    void (*destructor)(REALobject);
    REALpropertyDefinition *properties;
    uint32_t propertyCount;
    REALmethodDefinition *methods;  // may be replaced by a short list (old hosts)
    uint32_t methodCount;
    REALeventDefinition *events;
    uint32_t eventCount;
    void *reserved[12];  // 0 in every record of the system
};

// The resolver handed to REALPluginMain: service name in, function or 0 out.
typedef void *(*REALResolver)(const char *serviceName);
typedef RBBoolean (*REALPluginMainProc)(REALResolver resolver);

// Kinds answered by the picture description service.
enum { pictureMacintoshPICT = 1, pictureGWorld = 4 };

struct REALpictureDescription {
    uint32_t pictureType;  // pictureMacintoshPICT or pictureGWorld
    void *pictureData;     // the handle or offscreen world
    int32_t width, height, depth;
    void *copyOfData;      // 0
    uint32_t transparent;  // 0
};

}  // extern "C"

// Instance data of an object: object address + the position the host wrote
// into the class record.
inline void *REALGetClassData(REALobject obj, const REALclassDefinition *def) {
    return obj ? reinterpret_cast<char *>(obj) + def->forSystemUse : nullptr;
}
