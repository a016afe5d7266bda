// The About box: banner, notice, the running version, logo, OK.
#pragma once

#include <rb/ui.h>

namespace tavrin {

class aboutwindow : public rb::Window {
public:
    aboutwindow();
    rb::Control *version;
    void Open() override;
};

// "Version: " + the long version, with " BETA" when the non-release flag is 1.
std::string versionText(const std::string &longVersion, int nonReleaseVersion);

}  // namespace tavrin
