// A small stand-in host for loading a plug-in in tests and benchmarks:
// strings, reference-counted objects laid out with the 24-byte header, the
// registration services, pictures of both kinds, folder items by path,
// memory blocks, and the binding texts a host derives from the records.
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

// The host's side of a class: a plug-in's registered record, or one of the
// host's own classes below (no record).
struct ClassInfo {
    std::string name;
    REALclassDefinition *def = nullptr;
    size_t dataSize = 0;
};

// Instance data of the host's own classes.
struct PictureData {  // "Picture"
    uint32_t kind;    // 1 picture handle, 4 world, anything else: neither
    void *data;
    int32_t width, height, depth;
    int locks;
};
struct UserDataData {  // "QTUserDataPlyx", while no plug-in registers it
    uint32_t tag, owns, unused;
    imaging::UserData userData;
};
struct MemoryBlockData {  // "MemoryBlock"
    uint32_t size;
    uint8_t *bytes;
};
// "FolderItem": its path (a std::string *). "Window": one pointer word.

struct Host {
    double version = 6.0;
    bool hasVersion = true;
    std::set<std::string> withheld;       // services the resolver does not answer
    std::map<std::string, void *> added;  // services of a test's own, by name
    int announcedVersion = 0;
    std::vector<REALclassDefinition *> classes;
    std::vector<REALclassDefinition *> extensions;
    std::vector<REALmethodDefinition *> globals;
    std::vector<bool> shortRecords;       // per class as registered
    std::map<intptr_t, void *> handlers;  // event token -> handler
    std::function<void()> onYield;
    int liveObjects = 0;
    int liveStrings = 0;
};

Host &host();
// A new host state; the classes seen so far lose their records.
void reset();
void *resolve(const char *name);

// Strings (the caller owns one reference). text() of no string is "".
REALstring str(const std::string &s, uint32_t encoding = 0x08000100);
std::string text(REALstring s);
uint32_t encoding(REALstring s);
void release(REALstring s);

// Objects (the caller owns one reference).
REALobject newObject(const char *className);
void retain(REALobject o);
void release(REALobject o);
int refs(REALobject o);
const std::string &className(REALobject o);
template <typename T> T *data(REALobject o) { return reinterpret_cast<T *>(reinterpret_cast<char *>(o) + 24); }

// A picture of kind 4 (a world) or 1 (a picture handle) with a pattern.
REALpicture newPicture(int32_t w, int32_t h, uint32_t kind, int16_t depth = 24);
// The same pattern as packed R G B rows in `rows` (which must outlive the
// picture), under a picture of kind 4 whose world is over them.
REALpicture newPackedPicture(int32_t w, int32_t h, std::vector<uint8_t> &rows);
// The handle or world a picture holds; the path of a folder item.
void *pictureHandle(REALobject picture);
std::string folderPath(REALobject folderItem);
REALmemoryBlock newMemoryBlock(const std::string &bytes);

// A plug-in loaded with dlopen, registered through REALPluginMain.
struct Plugin {
    void *lib = nullptr;
    std::string copy;
    bool ok = false;
    // A private copy is a copy of the file, loaded on its own (its own
    // records and statics), and stays loaded for the life of the process:
    // the method lists it made for an old host live as long as in a host.
    explicit Plugin(const std::string &path, bool privateCopy = false);
    ~Plugin();
    Plugin(const Plugin &) = delete;
    Plugin &operator=(const Plugin &) = delete;
    // Runs REALPluginMain again: the records are registered afresh and the
    // plug-in fetches its services anew (so withheld ones take effect).
    bool reRegister();

    REALclassDefinition *cls(const char *name) const;
    void *method(const char *cls, const char *decl) const;
    void *setter(const char *cls, const char *decl) const;
    REALpropertyDefinition *property(const char *cls, const char *name) const;
    void *global(const char *decl) const;
};

// The binding texts a class record yields, in order: constructor and
// destructor, methods, method-style setters, then function-backed getters
// and setters.
std::vector<std::string> bindingTexts(const REALclassDefinition *def, bool shortRecords);

// Binding text -> function of everything registered: the classes in
// registration order, then the extensions ("application." texts), then the
// global methods.
struct Binding {
    std::vector<std::string> texts;
    std::map<std::string, void *> entry;
};
Binding binding(bool shortRecords = false);

}  // namespace fake
