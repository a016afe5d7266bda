#include "fake_host.h"

#include "resolver.h"

#include <Carbon/Carbon.h>

namespace fakehost {

std::map<std::string, void *> services, methods;
std::map<std::string, Property> properties;
std::vector<std::string> log, asked;

namespace {

template <class T> RBBoolean getProp(REALobject, const char *name, T *out) {
    auto it = properties.find(name);
    if (it == properties.end()) return 0;
    std::memcpy(out, &it->second.value, sizeof(T));
    return 1;
}
template <class T> RBBoolean setProp(REALobject, const char *name, T value) {
    auto it = properties.find(name);
    if (it == properties.end()) return 0;
    it->second.written = 0;
    std::memcpy(&it->second.written, &value, sizeof(T));
    ++it->second.writes;
    return 1;
}
void *loadMethod(REALobject, const char *signature) {
    auto it = methods.find(signature);
    return it == methods.end() ? nullptr : it->second;
}
void capture(const char *text, size_t length, void *) { log.emplace_back(text, length); }

}  // namespace

extern "C" void *resolve(const char *name) {
    static const std::map<std::string, void *> fixed = {
        {"REALGetPropValueInt", reinterpret_cast<void *>(&getProp<int32_t>)},
        {"REALGetPropValueBool", reinterpret_cast<void *>(&getProp<uint8_t>)},
        {"REALGetPropValueDouble", reinterpret_cast<void *>(&getProp<double>)},
        {"REALGetPropValueString", reinterpret_cast<void *>(&getProp<REALstring>)},
        {"REALGetPropValueObject", reinterpret_cast<void *>(&getProp<REALobject>)},
        {"REALSetPropValueInt", reinterpret_cast<void *>(&setProp<int32_t>)},
        {"REALSetPropValueBoolean", reinterpret_cast<void *>(&setProp<uint8_t>)},
        {"REALSetPropValueDouble", reinterpret_cast<void *>(&setProp<double>)},
        {"REALSetPropValueString", reinterpret_cast<void *>(&setProp<REALstring>)},
        {"REALSetPropValueObject", reinterpret_cast<void *>(&setProp<REALobject>)},
        {"REALLoadObjectMethod", reinterpret_cast<void *>(&loadMethod)},
        {"REALLoadGlobalMethod", reinterpret_cast<void *>(&loadMethod)},
    };
    if (auto it = fixed.find(name); it != fixed.end()) return it->second;
    asked.emplace_back(name);
    auto it = services.find(name);
    return it == services.end() ? nullptr : it->second;
}

void install() {
    services.clear();
    methods.clear();
    properties.clear();
    log.clear();
    asked.clear();
    gResolver = resolve;
    fw_set_debugstr_hook(capture, nullptr);
}

}  // namespace fakehost
