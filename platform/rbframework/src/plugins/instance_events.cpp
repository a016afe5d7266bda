// Handlers of single objects, installed by plug-ins by event name, and the
// service "RuntimeInstallInstanceEventHandler" that installs them.
#include "core.h"
#include "windows/ui_host.h"

#include <rb/host.h>
#include <rb/string.h>

#include <map>
#include <unordered_map>

namespace rb {

namespace {

// object -> lower-case event name -> function(object)
std::unordered_map<REALobject, std::map<std::string, void *>> &table() {
    static std::unordered_map<REALobject, std::map<std::string, void *>> t;
    return t;
}

}  // namespace

bool installInstanceHandler(REALobject obj, const std::string &event, void *fn) {
    if (!obj || event.empty() || !fn || (obj->flags & core::kObjectDying)) return false;
    table()[obj][core::lower(event)] = fn;
    obj->flags |= core::kObjectHasInstanceHandlers;
    return true;
}

void *instanceHandler(REALobject obj, const std::string &event) {
    if (!obj || !(obj->flags & core::kObjectHasInstanceHandlers)) return nullptr;
    auto it = table().find(obj);
    if (it == table().end()) return nullptr;
    auto h = it->second.find(core::lower(event));
    return h == it->second.end() ? nullptr : h->second;
}

bool raiseInstanceEvent(REALobject obj, const std::string &event) {
    void *fn = instanceHandler(obj, event);
    if (!fn) return false;
    ObjRef hold = ObjRef::retain(obj);  // the handler may drop the last other reference
    reinterpret_cast<void (*)(REALobject)>(fn)(obj);
    return true;
}

void core::dropInstanceHandlers(REALobject obj) {
    table().erase(obj);
    obj->flags &= ~uint32_t(kObjectHasInstanceHandlers);
}

bool uihost::raiseInstanceEvent(REALobject obj, const std::string &event) { return rb::raiseInstanceEvent(obj, event); }

namespace {

// "RuntimeInstallInstanceEventHandler"(object, event name, function) -> 1
// when installed, 0 for a nil object, an empty name or a nil function. The
// name string stays the caller's.
extern "C" int32_t svcInstallInstanceEventHandler(REALobject obj, REALstring event, void (*fn)()) {
    return installInstanceHandler(obj, toStd(event), reinterpret_cast<void *>(fn)) ? 1 : 0;
}
RB_SERVICE("RuntimeInstallInstanceEventHandler", svcInstallInstanceEventHandler);

}  // namespace
}  // namespace rb
