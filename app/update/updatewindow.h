// The update check: one GET of the version page, whose whole body is the
// current version, compared byte for byte with the running one.
#pragma once

#include <rb/http.h>
#include <rb/object.h>
#include <rb/ui.h>

#include <cstdint>
#include <memory>
#include <string>

namespace tavrin {

// The product's web server, e.g. "http://updates.tavrin.example"; the
// environment variable TAVRIN_UPDATE_SERVER overrides it.
std::string updateServer();

// How long a check waits for an answer.
inline constexpr int64_t kUpdateCheckTimeoutUs = 20 * 1000000;

class updateWindow : public rb::Window {
public:
    updateWindow();
    ~updateWindow() override;
    std::unique_ptr<rb::HTTPSocket> pVersionSocket;  // VersionSocket
    rb::Control *runVersion, *ProgressWheel1, *status, *curVersion, *resultmsg, *updateButton;

    void Open() override;
    void Close() override;
    void RequestVersion();
    void CurrentVersion(const std::string &version);
    // Ends a check that got no version: the wheel stops and the window says
    // why the check could not be made.
    void CheckFailed(const std::string &why);

private:
    // Watches the runtime clock for the check's time-out.
    rb::ObjRef timeout_;
    int64_t deadlineUs_ = 0;
    void stopWaiting();
};

}  // namespace tavrin
