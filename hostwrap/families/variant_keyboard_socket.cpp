#include "accessors.h"

#include "rows_define.inc"
#include "families/variant_keyboard_socket.def"

using hostwrap::Row;

namespace {

// A getter's property, else its conversion accessor; `logged` says whether
// the miss is reported first.
template <class T, class Convert>
T valueOrConversion(const Row &row, REALobject variant, const char *property, Convert convert) {
    T value{};
    if (hostwrap::detail::getProp(variant, property, &value)) return value;
    if (row.options.messages != hostwrap::Messages::None) hostwrap::logFailure(hostwrap::kDynamic, row.name);
    return convert(variant);
}

}  // namespace

REALobject Variant_BooleanToNewVariant(uint8_t value) { return REALNewVariantBoolean(value); }
REALobject Variant_IntToNewVariant(int32_t value) { return REALNewVariantInteger(value); }
REALobject Variant_DoubleToNewVariant(double value) { return REALNewVariantDouble(value); }
REALobject Variant_StringToNewVariant(REALstring value) { return REALNewVariantString(value); }
REALobject Variant_ColorToNewVariant(uint32_t value) { return REALNewVariantColor(value); }

// Sets the colour silently and says whether the host took it.
uint8_t Variant_SetColor(REALobject variant, uint32_t color) {
    return REALSetPropValueInt32(variant, "ColorValue", int32_t(color));
}

uint32_t Variant_GetColor(REALobject variant) {
    static constexpr Row row{"Variant_GetColor", {.messages = hostwrap::Messages::None}};
    return valueOrConversion<uint32_t>(row, variant, "ColorValue", Variant_VariantToColor);
}
REALstring Variant_GetString(REALobject variant) {
    static constexpr Row row{"Variant_GetString", {}};
    return valueOrConversion<REALstring>(row, variant, "StringValue", Variant_VariantToString);
}
double Variant_GetDouble(REALobject variant) {
    static constexpr Row row{"Variant_GetDouble", {}};
    return valueOrConversion<double>(row, variant, "DoubleValue", Variant_VariantToDouble);
}
int32_t Variant_GetInteger(REALobject variant) {
    static constexpr Row row{"Variant_GetInteger", {}};
    return valueOrConversion<int32_t>(row, variant, "IntegerValue", Variant_VariantToInt);
}
uint8_t Variant_GetBoolean(REALobject variant) {
    static constexpr Row row{"Variant_GetBoolean", {}};
    return valueOrConversion<uint8_t>(row, variant, "BooleanValue", Variant_VariantToBoolean);
}
