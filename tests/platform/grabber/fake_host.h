// A small stand-in host for loading the grabber plug-in in tests: string and
// object services, registration, pictures from picture handles, folder items
// by path, and the binding texts a host derives from the records.
#pragma once

#include <rb/plugin.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace fake {

struct Host {
    double version = 6.0;
    std::set<std::string> withheld;
    int announcedVersion = 0;
    std::vector<REALclassDefinition *> classes;
    std::vector<REALclassDefinition *> extensions;
    std::vector<REALmethodDefinition *> globals;
    int liveObjects = 0;
    int liveStrings = 0;
};

Host &host();
void *resolve(const char *name);

REALstring str(const std::string &s);
std::string text(REALstring s);
void release(REALstring s);

REALobject newObject(const char *className);  // one reference for the caller
void retain(REALobject o);
void release(REALobject o);
int refs(REALobject o);
std::string className(REALobject o);
template <typename T>
T *data(REALobject o) {
    return reinterpret_cast<T *>(reinterpret_cast<char *>(o) + 24);
}

// A picture made from a picture handle: its handle. A folder item: its path.
void *pictureHandle(REALobject picture);
std::string folderPath(REALobject folderItem);

// A copy of the plug-in loaded on its own (its own records and statics).
struct Plugin {
    void *lib = nullptr;
    std::string copy;
    bool ok = false;
    explicit Plugin(bool privateCopy = false);
    ~Plugin();
    // Runs REALPluginMain again: the records are registered afresh and the
    // plug-in fetches its services anew (so withheld ones take effect).
    bool reRegister();
};

// Binding text -> function, as a host derives them from what was registered
// (records in registration order; class texts in record order).
struct Binding {
    std::vector<std::string> texts;
    std::map<std::string, void *> entry;
};
Binding binding(bool shortRecords = false);

}  // namespace fake
