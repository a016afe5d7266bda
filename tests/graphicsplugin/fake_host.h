// A small stand-in host for loading the graphics plug-in in tests: strings,
// reference-counted objects laid out with the 24-byte header, pictures of
// both kinds, memory blocks and the registration services.
#pragma once

#include <rb/plugin.h>

#include "imaging/imaging.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fake {

struct FakeString {
    int refs = 1;
    uint32_t encoding = 0x08000100;
    std::string bytes;
};

struct ClassInfo {
    std::string name;
    REALclassDefinition *def = nullptr;   // plug-in classes
    size_t dataSize = 0;
};

// Picture instance data (class "Picture").
struct PictureData {
    uint32_t kind;   // 1 picture handle, 4 world, anything else: neither
    void *data;
    int32_t width, height, depth;
    int locks;
};

// "QTUserDataPlyx" instance data.
struct UserDataData {
    uint32_t tag, owns, unused;
    imaging::UserData userData;
};

struct MemoryBlockData {
    uint32_t size;
    uint8_t *bytes;
};

struct Host {
    double version = 6.0;
    bool hasVersion = true;
    std::set<std::string> withheld;
    std::vector<REALclassDefinition *> classes;
    std::vector<REALclassDefinition *> extensions;
    std::vector<REALmethodDefinition *> globals;
    std::vector<bool> shortRecords;       // per class as registered
    int announcedVersion = 0;
    std::map<intptr_t, void *> handlers;  // event token -> handler
    std::function<void()> onYield;
    int liveObjects = 0;
    int liveStrings = 0;
};

Host &host();
void reset();
void *resolve(const char *name);

// Strings (the caller owns one reference).
REALstring str(const std::string &s, uint32_t encoding = 0x08000100);
std::string text(REALstring s);
uint32_t encoding(REALstring s);
void release(REALstring s);

// Objects.
REALobject newObject(const char *className);
void retain(REALobject o);
void release(REALobject o);
int refs(REALobject o);
const std::string &className(REALobject o);
template <typename T>
T *data(REALobject o) {
    return reinterpret_cast<T *>(reinterpret_cast<char *>(o) + 24);
}

// A picture of kind 4 (a world) or 1 (a picture handle) with a pattern.
REALpicture newPicture(int32_t w, int32_t h, uint32_t kind, int16_t depth = 24);
REALmemoryBlock newMemoryBlock(const std::string &bytes);

// The plug-in, loaded with dlopen.
struct Plugin {
    void *lib = nullptr;
    bool ok = false;
    Plugin();
    ~Plugin();
    REALclassDefinition *cls(const char *name) const;
    void *method(const char *cls, const char *decl) const;
    void *setter(const char *cls, const char *decl) const;
    REALpropertyDefinition *property(const char *cls, const char *name) const;
    void *global(const char *decl) const;
};

// The binding texts (Part of the application's start-up list) a class
// record yields: constructor/destructor, methods, method-style setters,
// then function-backed getters and setters.
std::vector<std::string> bindingTexts(const REALclassDefinition *def, bool shortRecords);

}  // namespace fake
