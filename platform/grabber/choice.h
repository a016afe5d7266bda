// What the video settings dialog chooses: the source, its input and the
// picture size, as three lists of rows. The input and size lists follow the
// source chosen: a source's own inputs (where a Video4Linux device has
// several) and the sizes it offers.
#pragma once

#include "settings.h"
#include "source.h"

#include <string>
#include <vector>

namespace grab {

class SettingsChoice {
public:
    enum Popup { DevicePopup, InputPopup, SizePopup, PopupCount };

    // Starts at what is in use: the source named `inUse` (a source's name
    // in the settings, "" for one without) showing `sizeInUse`, else what
    // the settings name.
    SettingsChoice(std::vector<SourceEntry> entries, const GrabberSettings &settings, const SourceEntry *inUse,
                   Size sizeInUse);

    bool empty() const { return entries_.empty(); }
    const std::vector<std::string> &rows(Popup p) const { return rows_[p]; }
    int selected(Popup p) const { return selected_[p]; }
    // The user chose `row` of a popup; a new source brings its own inputs
    // and sizes. A row outside the list is ignored.
    void choose(Popup p, int row);
    // `base` with the choice in it.
    GrabberSettings result(GrabberSettings base) const;

private:
    void fillFor(int entry, const std::string &input, Size size, bool sizeInUse);
    std::vector<SourceEntry> entries_;
    std::vector<std::string> rows_[PopupCount];
    int selected_[PopupCount] = {0, 0, 0};
    std::vector<Size> sizes_;  // the size rows' sizes
};

}  // namespace grab
