// The plug-in entry-point table: members found by declaration text.
#include "core.h"

#include <rb/entrypoints.h>
#include <rb/host.h>

#include <array>
#include <cstdlib>
#include <string>
#include <utility>

namespace rb {

namespace {

// Unknown texts get a trap each, so the trap can name its text when called.
constexpr size_t kTraps = 512;
std::array<std::string, kTraps> gTrapTexts;
size_t gTrapsUsed = 0;

void raiseMissing(const std::string &text) {
    ObjRef e = newException("RuntimeError", "Plug-in member not available: " + text, -1);
    setPending(e.get());
}

template <size_t I> intptr_t trap() {
    raiseMissing(gTrapTexts[I]);
    return 0;
}

// Past the last trap, every further unknown text shares this one.
intptr_t sharedTrap() {
    raiseMissing("(one of many unknown members)");
    return 0;
}

template <size_t... I> constexpr std::array<void *, kTraps> makeTraps(std::index_sequence<I...>) {
    return {reinterpret_cast<void *>(&trap<I>)...};
}
const std::array<void *, kTraps> gTraps = makeTraps(std::make_index_sequence<kTraps>{});

void *trapFor(const std::string &text) {
    for (size_t i = 0; i < gTrapsUsed; ++i)
        if (gTrapTexts[i] == text) return gTraps[i];
    if (gTrapsUsed == kTraps) return reinterpret_cast<void *>(&sharedTrap);
    gTrapTexts[gTrapsUsed] = text;
    return gTraps[gTrapsUsed++];
}

// A member of `cls` named by `rest` (the text after "Class.").
void *lookupMember(const ClassInfo *cls, const std::string &rest) {
    if (cls->def) {
        if (rest == "__init") return reinterpret_cast<void *>(cls->def->constructor);
        if (rest == "__exit") return reinterpret_cast<void *>(cls->def->destructor);
    }
    for (const MethodInfo &m : cls->methods)
        if (m.declaration == rest) return m.function;
    auto endsWith = [&](const char *suffix) {
        size_t n = std::char_traits<char>::length(suffix);
        return rest.size() > n && rest.compare(rest.size() - n, n, suffix) == 0;
    };
    if (endsWith(".Set")) {
        std::string decl = rest.substr(0, rest.size() - 4);
        for (const MethodInfo &m : cls->methods)
            if (m.declaration == decl && m.setter) return m.setter;
    }
    if (endsWith(".Get") || endsWith(".Set")) {
        std::string name = rest.substr(0, rest.size() - 4);
        bool get = endsWith(".Get");
        for (const PropertyInfo &p : cls->properties) {
            if (p.name != name) continue;
            void *fn = get ? p.getter : p.setter;
            if (fn && fn != REALstandardGetter) return fn;
        }
    }
    return nullptr;
}

}  // namespace

bool isTrap(void *entry) {
    if (entry == reinterpret_cast<void *>(&sharedTrap)) return true;
    for (void *t : gTraps)
        if (t == entry) return true;
    return false;
}

void detail::missingEntry() { raise("RuntimeError", "Plug-in member not available", -1); }

}  // namespace rb

extern "C" void **RuntimeAllocatePluginEntrypointsTable(int n) {
    return static_cast<void **>(std::calloc(size_t(n > 0 ? n : 1), sizeof(void *)));
}

extern "C" void *RuntimeLookupPluginEntrypoint(const char *textPtr) {
    using namespace rb;
    if (!textPtr) return trapFor("");
    std::string text = textPtr;
    void *found = nullptr;
    size_t dot = text.find('.');
    size_t stop = text.find_first_of("( ");
    if (dot != std::string::npos && dot > 0 && (stop == std::string::npos || dot < stop)) {
        std::string clsName = text.substr(0, dot), rest = text.substr(dot + 1);
        const ClassInfo *cls = clsName == "application" ? core::classes().application : findClass(clsName);
        if (cls && (cls->name == clsName || cls == core::classes().application)) found = lookupMember(cls, rest);
    }
    if (!found) found = findGlobalMethod(text);
    return found ? found : trapFor(text);
}
