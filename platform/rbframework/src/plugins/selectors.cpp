// Generic getters and setters by selector (see selectors.h).
#include "plugins/selectors.h"

#include "core.h"

#include <rb/exception.h>
#include <rb/host.h>

#include <array>
#include <map>
#include <string>
#include <tuple>
#include <utility>

namespace rb::sel {

namespace {

struct Row {
    std::string cls;  // lower case
    std::string property;
};

// (service, selector) -> rows, one per class.
std::map<std::pair<std::string, int32_t>, std::vector<Row>> &rows() {
    static std::map<std::pair<std::string, int32_t>, std::vector<Row>> m;
    return m;
}

// A service function knows its name by the slot it was made for.
constexpr size_t kSlots = 128;
std::array<const char *, kSlots> gSlotName{};
size_t gSlotsUsed = 0;
std::map<std::string, size_t> &slotOf() {
    static std::map<std::string, size_t> m;
    return m;
}

// Runs a property read or write; an exception the model raises is left
// pending for the plug-in's caller, as the property services do.
template <class F> auto guardedProperty(F &&f) -> decltype(f()) {
    try {
        return f();
    } catch (const Exception &e) {
        setPending(e.object());
        return {};
    }
}

Value read(size_t slot, REALobject obj, int32_t k) {
    const char *prop = find(gSlotName[slot], obj, k);
    if (!prop) return {};
    return guardedProperty([&] { return getPropValue(obj, prop); });
}

void write(size_t slot, REALobject obj, int32_t k, const Value &v) {
    const char *prop = find(gSlotName[slot], obj, k);
    if (!prop) return;
    guardedProperty([&] { return setPropValue(obj, prop, v); });
}

int32_t asInt(const Value &v) {
    if (auto *i = std::get_if<int64_t>(&v)) return int32_t(*i);
    if (auto *b = std::get_if<bool>(&v)) return *b ? 1 : 0;
    if (auto *d = std::get_if<double>(&v)) return int32_t(*d);
    return 0;
}

template <size_t I> int32_t getInt(REALobject o, int32_t k) { return asInt(read(I, o, k)); }
template <size_t I> RBBoolean getBool(REALobject o, int32_t k) { return asInt(read(I, o, k)) ? 1 : 0; }
template <size_t I> REALstring getString(REALobject o, int32_t k) {
    Value v = read(I, o, k);
    auto *s = std::get_if<String>(&v);
    return s ? String(*s).detach() : nullptr;  // a reference for the caller
}
template <size_t I> REALobject getObject(REALobject o, int32_t k) {
    Value v = read(I, o, k);
    auto *r = std::get_if<ObjRef>(&v);
    return r ? ObjRef(*r).detach() : nullptr;  // a reference for the caller
}
template <size_t I> void setInt(REALobject o, int32_t k, int32_t v) { write(I, o, k, int64_t(v)); }
template <size_t I> void setBool(REALobject o, int32_t k, RBBoolean v) { write(I, o, k, (v & 1) != 0); }
template <size_t I> void setString(REALobject o, int32_t k, REALstring v) { write(I, o, k, String::retain(v)); }
template <size_t I> void setObject(REALobject o, int32_t k, REALobject v) { write(I, o, k, ObjRef::retain(v)); }

template <size_t... I> constexpr auto table(std::index_sequence<I...>) {
    using Fns = std::array<void *, kSlots>;
    return std::tuple<Fns, Fns, Fns, Fns, Fns, Fns, Fns, Fns>{
        Fns{reinterpret_cast<void *>(&getInt<I>)...},    Fns{reinterpret_cast<void *>(&getBool<I>)...},
        Fns{reinterpret_cast<void *>(&getString<I>)...}, Fns{reinterpret_cast<void *>(&getObject<I>)...},
        Fns{reinterpret_cast<void *>(&setInt<I>)...},    Fns{reinterpret_cast<void *>(&setBool<I>)...},
        Fns{reinterpret_cast<void *>(&setString<I>)...}, Fns{reinterpret_cast<void *>(&setObject<I>)...}};
}

void define(const char *name, Kind kind, bool setter) {
    if (!name || slotOf().count(name) || gSlotsUsed == kSlots) return;
    static const auto fns = table(std::make_index_sequence<kSlots>{});
    size_t slot = gSlotsUsed++;
    gSlotName[slot] = name;
    slotOf()[name] = slot;
    void *fn = nullptr;
    switch (kind) {
        case Kind::Int:
            fn = (setter ? std::get<4>(fns) : std::get<0>(fns))[slot];
            break;
        case Kind::Bool:
            fn = (setter ? std::get<5>(fns) : std::get<1>(fns))[slot];
            break;
        case Kind::String:
            fn = (setter ? std::get<6>(fns) : std::get<2>(fns))[slot];
            break;
        case Kind::Object:
            fn = (setter ? std::get<7>(fns) : std::get<3>(fns))[slot];
            break;
    }
    registerService(name, fn);
}

}  // namespace

void add(const char *service, const char *className, int32_t selector, const char *property) {
    rows()[{service, selector}].push_back({core::lower(className), property});
}

const char *find(const char *service, REALobject obj, int32_t selector) {
    if (!obj || !service) return nullptr;
    auto it = rows().find({service, selector});
    if (it == rows().end()) return nullptr;
    // The nearest class in the object's chain that has the row.
    for (const ClassInfo *c = obj->klass; c; c = c->super) {
        std::string name = core::lower(c->name);
        for (const Row &r : it->second)
            if (r.cls == name) return r.property.c_str();
    }
    return nullptr;
}

void defineGetter(const char *name, Kind kind) { define(name, kind, false); }
void defineSetter(const char *name, Kind kind) { define(name, kind, true); }

}  // namespace rb::sel
