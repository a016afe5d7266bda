// The video settings dialog's lists.
#include "choice.h"

#include <algorithm>

namespace grab {

namespace {

bool sameSource(const SourceEntry &a, const SourceEntry &b) { return a.kind == b.kind && a.name == b.name; }

}  // namespace

SettingsChoice::SettingsChoice(std::vector<SourceEntry> entries, const GrabberSettings &settings,
                               const SourceEntry *inUse, Size sizeInUse)
    : entries_(std::move(entries)) {
    for (const SourceEntry &e : entries_) rows_[DevicePopup].push_back(e.label);
    if (entries_.empty()) return;
    int entry = -1;
    for (size_t i = 0; i < entries_.size() && inUse && entry < 0; ++i)
        if (sameSource(entries_[i], *inUse)) entry = int(i);
    bool inUseFound = entry >= 0;
    if (!inUseFound) {
        sizeInUse = {settings.width, settings.height};
        for (size_t i = 0; i < entries_.size() && entry < 0; ++i)
            if (!settings.device.empty() && entries_[i].name == settings.device) entry = int(i);
    }
    selected_[DevicePopup] = std::max(entry, 0);
    fillFor(selected_[DevicePopup], settings.input, sizeInUse, inUseFound);
}

void SettingsChoice::fillFor(int index, const std::string &input, Size size, bool sizeInUse) {
    const SourceEntry &e = entries_[size_t(index)];
    rows_[InputPopup] = e.inputs;
    if (rows_[InputPopup].empty()) rows_[InputPopup].push_back("Default");
    auto named = std::find(e.inputs.begin(), e.inputs.end(), input);
    selected_[InputPopup] = named != e.inputs.end() ? int(named - e.inputs.begin())
                            : e.currentInput >= 0   ? e.currentInput
                                                    : 0;

    sizes_ = e.sizes;
    bool known = std::find(sizes_.begin(), sizes_.end(), size) != sizes_.end();
    if (sizeInUse && !sizes_.empty() && !known && size.width > 0)
        sizes_.push_back(size), known = true;  // shown as it is
    rows_[SizePopup].clear();
    for (const Size &s : sizes_) rows_[SizePopup].push_back(std::to_string(s.width) + " x " + std::to_string(s.height));
    if (rows_[SizePopup].empty()) rows_[SizePopup].push_back("As the source gives it");
    selected_[SizePopup] = known ? int(std::find(sizes_.begin(), sizes_.end(), size) - sizes_.begin()) : 0;
}

void SettingsChoice::choose(Popup p, int row) {
    if (p < 0 || p >= PopupCount || row < 0 || row >= int(rows_[p].size())) return;
    if (p == DevicePopup && row != selected_[p]) {
        // The size shown so far stays where the new source offers it.
        Size keep = sizes_.empty() ? Size{} : sizes_[size_t(selected_[SizePopup])];
        fillFor(row, std::string(), keep, false);
    }
    selected_[p] = row;
}

GrabberSettings SettingsChoice::result(GrabberSettings base) const {
    if (entries_.empty()) return base;
    const SourceEntry &e = entries_[size_t(selected_[DevicePopup])];
    if (e.kind != SourceEntry::Described) base.device = e.name;
    base.input = e.inputs.size() > 1 ? e.inputs[size_t(selected_[InputPopup])] : std::string();
    Size s = sizes_.empty() ? Size{} : sizes_[size_t(selected_[SizePopup])];
    base.width = s.width, base.height = s.height;
    return base;
}

}  // namespace grab
