// A host of the tests' own for plug-in code that reaches host services by
// name: resolver names, properties by name and methods by declaration are
// whatever the test puts in the tables below, and the debug output is
// captured line by line.
#pragma once

#include <rb/plugin.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace fakehost {

struct Property {
    uint64_t value = 0;    // the bits of the value, whatever its type
    uint64_t written = 0;  // the bits of the last value set
    int writes = 0;
};

extern std::map<std::string, void *> services;  // by resolver name
extern std::map<std::string, void *> methods;   // by declaration, object or global
extern std::map<std::string, Property> properties;
extern std::vector<std::string> log;
extern std::vector<std::string> asked;  // every resolver name asked, in order

// The resolver of this host (also answering the property and method services).
extern "C" void *resolve(const char *name);

// Makes this host the plug-in code's host and captures the debug output;
// clears every table.
void install();

template <class T> void setProperty(const char *name, T value) {
    Property p;
    std::memcpy(&p.value, &value, sizeof(T));
    properties[name] = p;
}
template <class F> void offer(const char *name, F *fn) { services[name] = reinterpret_cast<void *>(fn); }
inline int count(const std::string &line) {
    int n = 0;
    for (auto &l : log) n += l == line;
    return n;
}

}  // namespace fakehost
