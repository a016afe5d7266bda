// The plug-in entry-point table: every plug-in member the application may
// call, bound once at start-up by its declaration text, in list order. A call
// goes through the slot of its text; ENTRY("...") checks at compile time that
// the text is in the list.
//
// The texts are not written here: they come from the plug-ins' member tables
// (avc/members.def, graphicsplugin/members.def and
// grabber/outside_members.def), put in binding order below.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

namespace tavrin {

namespace detail {

// A binding text of a plug-in class and what orders it within its class:
// constructor and destructor, the methods, the setters of method-style
// properties, then the properties (getter before setter), each kind in
// record order.
enum TextRank { kLifecycle, kMethod, kMethodSetter, kProperty };
struct PluginText {
    std::string_view cls;
    TextRank rank;
    std::string_view text;
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

// A plug-in's texts in binding order: its classes in table order, each
// class's texts by rank, rows of one rank in table order.
template <size_t N> constexpr std::array<std::string_view, N> inBindingOrder(const PluginText (&rows)[N]) {
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
    std::array<std::string_view, N> texts{};
    for (size_t i = 0; i < N; ++i) texts[i] = rows[order[i]].text;
    return texts;
}

inline constexpr size_t kTextCount = 1 + std::size(kControlsTexts) + std::size(kAvcTexts) +
                                     std::size(kAppExtensionTexts) + std::size(kGeometryTexts) +
                                     std::size(kGraphicsTexts) + std::size(kGrabberTexts);

// "_", the framework's control plug-ins and EncodeBase64, AVC and
// FWNotification, the application extension, the geometry classes, the
// graphics classes, then the grabber classes.
constexpr std::array<std::string_view, kTextCount> bindingList() {
    std::array<std::string_view, kTextCount> list{};
    size_t n = 0;
    list[n++] = "_";
    for (std::string_view text : inBindingOrder(kControlsTexts)) list[n++] = text;
    for (std::string_view text : inBindingOrder(kAvcTexts)) list[n++] = text;
    for (std::string_view text : inBindingOrder(kAppExtensionTexts)) list[n++] = text;
    for (std::string_view text : inBindingOrder(kGeometryTexts)) list[n++] = text;
    for (std::string_view text : inBindingOrder(kGraphicsTexts)) list[n++] = text;
    for (std::string_view text : inBindingOrder(kGrabberTexts)) list[n++] = text;
    return list;
}

inline constexpr std::array<std::string_view, kTextCount> kTexts = bindingList();

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

template <int Slot> inline void *entry() {
    static_assert(Slot >= 0, "not a text of the binding list");
    return __plugin_entrypoints ? __plugin_entrypoints[Slot] : nullptr;
}

}  // namespace tavrin

#define ENTRY(text) (::tavrin::entry<::tavrin::detail::slotOf(text)>())
