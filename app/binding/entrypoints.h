// The plug-in entry-point table: every plug-in member the application may
// call, bound once at start-up by its declaration text, in list order. A call
// goes through the slot of its text; ENTRY("...") checks at compile time that
// the text is in the list.
#pragma once

#include <array>
#include <string_view>

namespace tavrin {

namespace detail {
inline constexpr std::string_view kTexts[] = {
    "_",
#define MEMBER(group, cls, kind, text, type) MEMBER_##group(text)
#define MEMBER_controls(t) t,
#define MEMBER_appext(t)
#define MEMBER_geometry(t)
#define MEMBER_grabber(t)
#include "outside_members.def"
#define TEXT(group, t) t,
#include "avc_members.def"
#define MEMBER(group, cls, kind, text, type) MEMBER_##group(text)
#undef MEMBER_controls
#undef MEMBER_appext
#define MEMBER_controls(t)
#define MEMBER_appext(t) t,
#include "outside_members.def"
#define MEMBER(group, cls, kind, text, type) MEMBER_##group(text)
#undef MEMBER_appext
#undef MEMBER_geometry
#define MEMBER_appext(t)
#define MEMBER_geometry(t) t,
#include "outside_members.def"
#include "graphics_members.def"
#undef TEXT
#define MEMBER(group, cls, kind, text, type) MEMBER_##group(text)
#undef MEMBER_geometry
#undef MEMBER_grabber
#define MEMBER_geometry(t)
#define MEMBER_grabber(t) t,
#include "outside_members.def"
#undef MEMBER_controls
#undef MEMBER_appext
#undef MEMBER_geometry
#undef MEMBER_grabber
};

constexpr int slotOf(std::string_view text) {
    for (size_t i = 0; i < std::size(kTexts); ++i)
        if (kTexts[i] == text) return int(i);
    return -1;
}
}  // namespace detail

inline constexpr int kEntrypointCount = int(std::size(detail::kTexts));

// The table; filled by initPluginEntrypoints.
extern void **__plugin_entrypoints;

// Allocates the table and looks up every text in list order.
void _InitPluginEntrypoints();

// The text of slot i (tests and diagnostics).
inline std::string_view entrypointText(int i) { return detail::kTexts[i]; }

template <int Slot> inline void *entry() {
    static_assert(Slot >= 0, "not a text of the binding list");
    return __plugin_entrypoints ? __plugin_entrypoints[Slot] : nullptr;
}

}  // namespace tavrin

#define ENTRY(text) (::tavrin::entry<::tavrin::detail::slotOf(text)>())
