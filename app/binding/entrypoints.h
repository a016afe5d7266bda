// The plug-in entry-point table: every plug-in member the application may
// call, bound once at start-up by its declaration text, in list order. A call
// goes through the slot of its text. ENTRY("...") checks at compile time that
// the text is in the list and gives the slot's entry typed from the text (and,
// for a property, from its declared type): rb::call through it takes the
// member's declared parameters and gives its declared result, and a call with
// other types or another count does not build.
//
// The texts are not written here: they come from the plug-ins' member tables
// (avc/members.def, graphicsplugin/members.def and
// grabber/outside_members.def), put in binding order below.
#pragma once

#include <rb/entrypoints.h>

#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace tavrin {

namespace detail {

// A binding text of a plug-in class and what orders it within its class:
// constructor and destructor, the methods, the setters of method-style
// properties, then the properties (getter before setter), each kind in
// record order. A property's getter and setter carry the property's declared
// type, which their text does not say.
enum TextRank { kLifecycle, kMethod, kMethodSetter, kProperty };
struct PluginText {
    std::string_view cls;
    TextRank rank;
    std::string_view text;
    std::string_view type = {};
};

inline constexpr PluginText kAvcTexts[] = {
#include "plugin_texts.inc"
#include "avc/members.def"
};

inline constexpr PluginText kGraphicsTexts[] = {
#include "plugin_texts.inc"
#include "graphicsplugin/members.def"
};

// The outside classes' texts by group of the binding list (see below).
inline constexpr PluginText kControlsTexts[] = {
#include "plugin_texts.inc"
#define PLUGIN_GLOBAL(decl, fn) {"", kMethod, decl},
#define PLUGIN_SECTION OUTSIDE_CONTROLS
#include "grabber/outside_members.def"
#undef PLUGIN_SECTION
};

inline constexpr PluginText kAppExtensionTexts[] = {
#define PLUGIN_EXTENSION_METHOD(cls, decl, fn) {#cls, kMethod, #cls "." decl},
#define PLUGIN_SECTION OUTSIDE_APPEXT
#include "grabber/outside_members.def"
#undef PLUGIN_SECTION
};

inline constexpr PluginText kGeometryTexts[] = {
#include "plugin_texts.inc"
#define PLUGIN_SECTION OUTSIDE_GEOMETRY
#include "grabber/outside_members.def"
#undef PLUGIN_SECTION
};

inline constexpr PluginText kGrabberTexts[] = {
#include "plugin_texts.inc"
#define PLUGIN_SECTION OUTSIDE_GRABBER
#include "grabber/outside_members.def"
#undef PLUGIN_SECTION
};

// A plug-in's rows in binding order: its classes in table order, each
// class's texts by rank, rows of one rank in table order.
template <size_t N> constexpr std::array<PluginText, N> rowsInBindingOrder(const PluginText (&rows)[N]) {
    std::array<size_t, N> classOf{}, order{};
    for (size_t i = 0; i < N; ++i) {
        classOf[i] = i == 0 ? 0 : classOf[i - 1] + (rows[i].cls != rows[i - 1].cls);
        order[i] = i;
    }
    auto before = [&](size_t a, size_t b) {
        return classOf[a] != classOf[b] ? classOf[a] < classOf[b] : rows[a].rank < rows[b].rank;
    };
    for (size_t i = 1; i < N; ++i)  // insertion sort: stable
        for (size_t j = i; j > 0 && before(order[j], order[j - 1]); --j) std::swap(order[j], order[j - 1]);
    std::array<PluginText, N> sorted{};
    for (size_t i = 0; i < N; ++i) sorted[i] = rows[order[i]];
    return sorted;
}

// A plug-in's texts in binding order.
template <size_t N> constexpr std::array<std::string_view, N> inBindingOrder(const PluginText (&rows)[N]) {
    std::array<PluginText, N> sorted = rowsInBindingOrder(rows);
    std::array<std::string_view, N> texts{};
    for (size_t i = 0; i < N; ++i) texts[i] = sorted[i].text;
    return texts;
}

inline constexpr size_t kTextCount = 1 + std::size(kControlsTexts) + std::size(kAvcTexts) +
                                     std::size(kAppExtensionTexts) + std::size(kGeometryTexts) +
                                     std::size(kGraphicsTexts) + std::size(kGrabberTexts);

// "_", the framework's control plug-ins and EncodeBase64, AVC and
// FWNotification, the application extension, the geometry classes, the
// graphics classes, then the grabber classes.
constexpr std::array<PluginText, kTextCount> bindingList() {
    std::array<PluginText, kTextCount> list{};
    size_t n = 0;
    list[n++] = {"", kMethod, "_"};
    for (const PluginText &row : rowsInBindingOrder(kControlsTexts)) list[n++] = row;
    for (const PluginText &row : rowsInBindingOrder(kAvcTexts)) list[n++] = row;
    for (const PluginText &row : rowsInBindingOrder(kAppExtensionTexts)) list[n++] = row;
    for (const PluginText &row : rowsInBindingOrder(kGeometryTexts)) list[n++] = row;
    for (const PluginText &row : rowsInBindingOrder(kGraphicsTexts)) list[n++] = row;
    for (const PluginText &row : rowsInBindingOrder(kGrabberTexts)) list[n++] = row;
    return list;
}

inline constexpr std::array<PluginText, kTextCount> kRows = bindingList();

template <std::string_view PluginText::*Field> constexpr std::array<std::string_view, kTextCount> column() {
    std::array<std::string_view, kTextCount> out{};
    for (size_t i = 0; i < kTextCount; ++i) out[i] = kRows[i].*Field;
    return out;
}

inline constexpr std::array<std::string_view, kTextCount> kTexts = column<&PluginText::text>();
inline constexpr std::array<std::string_view, kTextCount> kTypes = column<&PluginText::type>();

// Every text is one whose call can be typed (rb/declaration.h).
constexpr bool everyTextIsRead() {
    for (size_t i = 0; i < kTextCount; ++i)
        if (!rb::decl::parse(kTexts[i], kTypes[i]).ok) return false;
    return true;
}
static_assert(everyTextIsRead(), "a binding text whose form the binding does not know");

constexpr int slotOf(std::string_view text) {
    for (size_t i = 0; i < kTexts.size(); ++i)
        if (kTexts[i] == text) return int(i);
    return -1;
}
}  // namespace detail

inline constexpr int kEntrypointCount = int(detail::kTextCount);

// The table; filled by initPluginEntrypoints.
extern void **__plugin_entrypoints;

// Allocates the table and looks up every text in list order.
void _InitPluginEntrypoints();

namespace detail {
// The member of a text of the list, typed from its declaration.
template <rb::Text T> constexpr int checkedSlot() {
    constexpr int slot = slotOf(T.view());
    static_assert(slot >= 0, "not a text of the binding list");
    return slot;
}
template <rb::Text T> using MemberOf =
    rb::Member<T, rb::Text<kTypes[size_t(checkedSlot<T>())].size() + 1>(kTypes[size_t(checkedSlot<T>())])>;
}  // namespace detail

// The entry of a text of the list, from the table.
template <rb::Text T> inline detail::MemberOf<T> entry() {
    return {__plugin_entrypoints ? __plugin_entrypoints[detail::checkedSlot<T>()] : nullptr};
}

// The same member looked up in the loaded plug-ins now, without the table
// (for the plug-ins' tests).
template <rb::Text T> inline detail::MemberOf<T> lookupEntry() { return {RuntimeLookupPluginEntrypoint(T.chars)}; }

// A text of the list chosen at run time, looked up typed like the member
// Like: std::logic_error when the text is not in the list or its
// declaration takes or gives otherwise than Like's.
template <rb::Text Like> detail::MemberOf<Like> lookupEntryLike(std::string_view text) {
    int slot = detail::slotOf(text);
    if (slot < 0) throw std::logic_error("not a text of the binding list: " + std::string(text));
    if (!(rb::decl::parse(text, detail::kTypes[size_t(slot)]) == detail::MemberOf<Like>::sig))
        throw std::logic_error(std::string(text) + " is not declared like " + std::string(Like.view()));
    return {RuntimeLookupPluginEntrypoint(std::string(text).c_str())};
}

}  // namespace tavrin

#define ENTRY(text) (::tavrin::entry<text>())
