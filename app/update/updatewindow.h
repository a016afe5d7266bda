// The update check: one GET of the version page, whose whole body is the
// current version, compared byte for byte with the running one.
#pragma once

#include <rb/http.h>
#include <rb/ui.h>

#include <memory>

namespace tavrin {

// The product's web server, e.g. "http://updates.tavrin.example"; the
// environment variable TAVRIN_UPDATE_SERVER overrides it.
std::string updateServer();

class updateWindow : public rb::Window {
public:
    updateWindow();
    std::unique_ptr<rb::HTTPSocket> pVersionSocket;  // VersionSocket
    rb::Control *runVersion, *ProgressWheel1, *status, *curVersion, *resultmsg, *updateButton;

    void Open() override;
    void Close() override;
    void RequestVersion();
    void CurrentVersion(const std::string &version);
};

}  // namespace tavrin
