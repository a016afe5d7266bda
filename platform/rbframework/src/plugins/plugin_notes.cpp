// The notes plug-ins leave for the application ("PluginSetNote").
#include <rb/host.h>
#include <rb/plugin_notes.h>

#include <map>
#include <mutex>

namespace rb {

namespace {

struct Notes {
    std::mutex lock;
    std::map<std::string, std::string> byClass;
};

Notes &notes() {
    static Notes *n = new Notes;  // plug-ins may leave notes while the process exits
    return *n;
}

// "PluginSetNote"(about, text): the note about a class; an empty text or
// nullptr takes it back. A note is one line: what follows a line break is
// left out.
extern "C" void svcPluginSetNote(const char *about, const char *text) {
    if (!about) return;
    std::string line = text ? text : "";
    line = line.substr(0, line.find_first_of("\r\n"));
    Notes &n = notes();
    std::lock_guard hold(n.lock);
    if (line.empty()) n.byClass.erase(about);
    else n.byClass[about] = line;
}
RB_SERVICE("PluginSetNote", svcPluginSetNote);

}  // namespace

std::string pluginNote(const std::string &about) {
    Notes &n = notes();
    std::lock_guard hold(n.lock);
    auto it = n.byClass.find(about);
    return it == n.byClass.end() ? std::string() : it->second;
}

}  // namespace rb
