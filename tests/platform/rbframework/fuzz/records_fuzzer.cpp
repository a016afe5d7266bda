// libFuzzer target: class registration records built from the input, handed
// to the host's registration service as a plug-in would. Whatever the host
// accepts must be sound: its object size does not wrap, every direct-access
// field lies inside the instance data, and objects of it can be made, have
// their fields written and read, and be freed.
#include <rb/host.h>
#include <rb/object.h>
#include <rb/plugin.h>
#include <rb/string.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Bytes {
    const uint8_t *p;
    size_t n;
    uint8_t byte() { return n ? (--n, *p++) : 0; }
    uint32_t word() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | byte();
        return v;
    }
};

const char *const kNames[] = {"Picture", "FolderItem", "Window", "PushButton", "", "Widget", "Gadget", "x"};
const char *const kSupers[] = {nullptr, "", "RuntimeException", "Picture", "MemoryBlock", "NoSuchClass"};
const char *const kTypes[] = {"integer", "Boolean", "double", "single", "String", "Object", "int64", "Color"};

size_t width(const std::string &type) {
    if (type == "Boolean") return 1;
    if (type == "double") return 8;
    if (type == "String" || type == "Object") return sizeof(void *);
    return 4;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static auto reg = reinterpret_cast<void (*)(REALclassDefinition *)>(rb::resolve("PluginRegisterClass"));
    static int serial = 0;
    Bytes in{data, size};
    // Records, names and properties stay alive (and reachable): the host
    // keeps pointers to the records it accepts.
    struct Kept {
        std::vector<std::string> names;
        REALclassDefinition def{};
        std::vector<REALpropertyDefinition> props;
    };
    static std::vector<std::unique_ptr<Kept>> kept;
    kept.push_back(std::make_unique<Kept>());
    Kept &k = *kept.back();
    uint8_t pick = in.byte();
    std::string name = kNames[pick % 8];
    if (pick & 0x80) name += std::to_string(++serial);  // a fresh name
    uint32_t count = 0;
    REALclassDefinition *def = &k.def;
    def->version = kCurrentREALControlVersion;
    def->superName = kSupers[in.byte() % 6];
    uint8_t sizeKind = in.byte();
    def->dataSize = sizeKind & 1 ? in.word() : sizeKind % 64;
    count = in.byte() % 6;
    k.names.reserve(count + 1);
    k.names.push_back(name);
    def->name = k.names.back().c_str();
    k.props.resize(count ? count : 1);
    for (uint32_t i = 0; i < count; ++i) {
        k.names.push_back("P" + std::to_string(i));
        REALpropertyDefinition &p = k.props[i];
        p.name = k.names.back().c_str();
        p.type = kTypes[in.byte() % 8];
        p.getter = REALstandardGetter;
        p.setter = REALstandardSetter;
        uint8_t at = in.byte();
        p.param = at & 0x80 ? intptr_t(int32_t(in.word())) : at % 64;
    }
    def->properties = k.props.data();
    def->propertyCount = count;
    reg(def);

    rb::ClassInfo *cls = rb::findClass(name);
    if (!cls || cls->def != def) return 0;  // refused
    if (cls->instanceSize < cls->dataOffset || cls->instanceSize - cls->dataOffset < def->dataSize) __builtin_trap();
    for (const rb::PropertyInfo &p : cls->properties)
        if (p.param < 0 || uint64_t(p.param) + width(p.type) > def->dataSize) __builtin_trap();
    REALobject obj = rb::newObject(cls);
    if (!obj) return 0;
    for (const rb::PropertyInfo &p : cls->properties) {
        rb::Value v = p.kind == rb::ValueKind::String   ? rb::Value(rb::String("text"))
                      : p.kind == rb::ValueKind::Object ? rb::Value()
                      : p.kind == rb::ValueKind::Double ? rb::Value(1.5)
                                                        : rb::Value(int64_t(7));
        rb::setPropValue(obj, p.name, v);
    }
    for (const rb::PropertyInfo &p : cls->properties) rb::getPropValue(obj, p.name);
    // Strings written into the fields are let go with the fields.
    for (const rb::PropertyInfo &p : cls->properties)
        if (p.kind == rb::ValueKind::String) rb::setPropValue(obj, p.name, rb::Value(rb::String()));
    rb::release(obj);
    return 0;
}
