// The framework class "Variant": one value of any of the plain kinds, read
// and written through BooleanValue, IntegerValue, DoubleValue, StringValue
// and ColorValue, each converting the held value to its own kind. Writing a
// property makes the variant hold a value of that kind. Plug-ins make
// variants with the "*ToVariant" services (one reference for the caller).
#include "objects/number_text.h"
#include "plugins/selectors.h"

#include <rb/host.h>
#include <rb/object.h>
#include <rb/string.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace rb {

namespace {

struct Color {
    uint32_t rgb = 0;  // 0x00RRGGBB
};
using Held = std::variant<std::monostate, int32_t, double, bool, String, Color>;

struct VariantFields {
    Held value;
};

ClassInfo *variantClass();

Held *heldOf(REALobject v) {
    if (!v || !isA(v->klass, variantClass())) return nullptr;
    return &fields<VariantFields>(v, variantClass())->value;
}

int32_t clampToInt(double d) {
    if (std::isnan(d)) return 0;
    if (d >= 2147483647.0) return INT32_MAX;
    if (d <= -2147483648.0) return INT32_MIN;
    return int32_t(d);
}

double asDouble(const Held &h) {
    if (auto *i = std::get_if<int32_t>(&h)) return *i;
    if (auto *d = std::get_if<double>(&h)) return *d;
    if (auto *b = std::get_if<bool>(&h)) return *b ? 1 : 0;
    if (auto *c = std::get_if<Color>(&h)) return c->rgb;
    if (auto *s = std::get_if<String>(&h)) return core::readNumber(s->str().c_str());
    return 0;
}

int32_t asInt(const Held &h) {
    if (auto *i = std::get_if<int32_t>(&h)) return *i;
    if (auto *c = std::get_if<Color>(&h)) return int32_t(c->rgb);
    return clampToInt(asDouble(h));
}

bool asBool(const Held &h) {
    if (auto *s = std::get_if<String>(&h)) return ::strcasecmp(s->str().c_str(), "true") == 0;
    return asDouble(h) != 0;
}

std::string asText(const Held &h) {
    char buf[64];
    if (auto *s = std::get_if<String>(&h)) return s->str();
    if (auto *i = std::get_if<int32_t>(&h)) return std::to_string(*i);
    if (auto *b = std::get_if<bool>(&h)) return *b ? "True" : "False";
    if (auto *d = std::get_if<double>(&h))
        return std::string(buf, std::to_chars(buf, buf + sizeof buf, *d, std::chars_format::general, 15).ptr);
    if (auto *c = std::get_if<Color>(&h)) {
        std::snprintf(buf, sizeof buf, "&h%08X", c->rgb);
        return buf;
    }
    return "";
}

uint32_t asColor(const Held &h) { return uint32_t(asInt(h)); }

int64_t intOf(const Value &v) {
    if (auto *i = std::get_if<int64_t>(&v)) return *i;
    if (auto *b = std::get_if<bool>(&v)) return *b;
    if (auto *d = std::get_if<double>(&v)) return clampToInt(*d);
    return 0;
}

extern "C" {
RBBoolean svcVariantToBoolean(REALobject v);
int32_t svcVariantToInt(REALobject v);
double svcVariantToDouble(REALobject v);
REALstring svcVariantToString(REALobject v);
uint32_t svcVariantToColor(REALobject v);
}

ClassInfo *variantClass() {
    static ClassInfo *cls = [] {
        ClassInfo *c = defineClass<VariantFields>("Variant");
        auto prop = [c](const char *name, const char *type, Value (*get)(const Held &), Held (*set)(const Value &)) {
            addHostProperty(
                c, name, type, [get](REALobject o) { return get(*heldOf(o)); },
                [set](REALobject o, const Value &v) { *heldOf(o) = set(v); });
        };
        prop(
            "BooleanValue", "Boolean", [](const Held &h) { return Value(asBool(h)); },
            [](const Value &v) { return Held(intOf(v) != 0); });
        prop(
            "IntegerValue", "integer", [](const Held &h) { return Value(int64_t(asInt(h))); },
            [](const Value &v) { return Held(int32_t(intOf(v))); });
        prop(
            "DoubleValue", "Double", [](const Held &h) { return Value(asDouble(h)); },
            [](const Value &v) {
                auto *d = std::get_if<double>(&v);
                return Held(d ? *d : double(intOf(v)));
            });
        prop(
            "StringValue", "String", [](const Held &h) { return Value(String(asText(h))); },
            [](const Value &v) {
                auto *s = std::get_if<String>(&v);
                return Held(s ? *s : String(""));
            });
        prop(
            "ColorValue", "Color", [](const Held &h) { return Value(int64_t(asColor(h))); },
            [](const Value &v) { return Held(Color{uint32_t(intOf(v))}); });
        // The conversions by declaration.
        auto method = [c](const char *decl, void *fn) { c->methods.push_back({decl, fn, nullptr}); };
        method("BooleanValue() As Boolean", reinterpret_cast<void *>(&svcVariantToBoolean));
        method("IntegerValue() As Integer", reinterpret_cast<void *>(&svcVariantToInt));
        method("DoubleValue() As Double", reinterpret_cast<void *>(&svcVariantToDouble));
        method("StringValue() As String", reinterpret_cast<void *>(&svcVariantToString));
        method("ColorValue() As Color", reinterpret_cast<void *>(&svcVariantToColor));
        return c;
    }();
    return cls;
}

REALobject newVariant(Held value) {
    REALobject v = newObject(variantClass());
    if (v) fields<VariantFields>(v, variantClass())->value = std::move(value);
    return v;
}

extern "C" {

REALobject svcStringToVariant(REALstring s) { return newVariant(s ? String::retain(s) : String("")); }
REALobject svcInt32ToVariant(int32_t i) { return newVariant(i); }
REALobject svcDoubleToVariant(double d) { return newVariant(d); }
// The byte arrives widened to a word; its low byte is the value.
REALobject svcBooleanToVariant(int32_t b) { return newVariant((b & 0xFF) != 0); }
REALobject svcColorToVariant(uint32_t c) { return newVariant(Color{c}); }

// The conversions as functions of the variant: "variantToBoolean" and
// "BooleanValue() As Boolean" and their kin. 0 (nil) for nil or another class.
RBBoolean svcVariantToBoolean(REALobject v) {
    Held *h = heldOf(v);
    return h && asBool(*h) ? 1 : 0;
}
int32_t svcVariantToInt(REALobject v) {
    Held *h = heldOf(v);
    return h ? asInt(*h) : 0;
}
double svcVariantToDouble(REALobject v) {
    Held *h = heldOf(v);
    return h ? asDouble(*h) : 0.0;
}
REALstring svcVariantToString(REALobject v) {
    Held *h = heldOf(v);
    return h ? newString(asText(*h)) : nullptr;
}
uint32_t svcVariantToColor(REALobject v) {
    Held *h = heldOf(v);
    return h ? asColor(*h) : 0;
}

}  // extern "C"

#define FN(f) reinterpret_cast<void *>(&f)
struct Registrar {
    Registrar() {
        registerService("StringToVariant", FN(svcStringToVariant));
        registerService("Int32ToVariant", FN(svcInt32ToVariant));
        registerService("DoubleToVariant", FN(svcDoubleToVariant));
        registerService("BooleanToVariant", FN(svcBooleanToVariant));
        registerService("ColorToVariant", FN(svcColorToVariant));
        registerService("variantToBoolean", FN(svcVariantToBoolean));
        registerService("variantToInt", FN(svcVariantToInt));
        registerService("variantToDouble", FN(svcVariantToDouble));
        registerService("variantToString", FN(svcVariantToString));
        registerService("variantToColor", FN(svcVariantToColor));
    }
} registrar;

}  // namespace

#undef FN

}  // namespace rb
