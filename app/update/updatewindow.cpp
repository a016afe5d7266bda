#include "update/updatewindow.h"

#include "application/app.h"

#include <rb/httpengine.h>
#include <rb/showurl.h>
#include <rb/loop.h>
#include <rb/timer.h>

#include <cstdlib>

namespace tavrin {

using K = rb::ControlKind;

std::string updateServer() {
    const char *s = std::getenv("TAVRIN_UPDATE_SERVER");
    return s && *s ? s : "http://updates.tavrin.example";
}

updateWindow::updateWindow() : rb::Window("updateWindow", rb::WindowKind::MovableModal, "Tavrin! Updates", 478, 194) {
    auto text = [this](const char *name, rb::Rect r, const char *t, int size, bool bold) {
        rb::Control &c = add(K::StaticText, name, r);
        c.setText(t);
        c.textSize = size;
        c.bold = bold;
        return &c;
    };
    text("StaticText1", {20, 14, 187, 20}, "You are running version:", 14, true);
    runVersion = text("runVersion", {216, 14, 100, 20}, "", 14, false);
    // Spins while shown: from the request until the answer.
    ProgressWheel1 = &add(K::ProgressWheel, "ProgressWheel1", {20, 147, 36, 16});
    status = text("status", {58, 154, 204, 20}, "Checking for updates...", 0, false);
    text("StaticText3", {20, 46, 187, 20}, "Current version:", 14, true);
    curVersion = text("curVersion", {216, 46, 100, 20}, "", 14, false);
    rb::Control &done = add(K::PushButton, "PushButton1", {378, 154, 80, 20});
    done.setCaption("Done");
    done.isDefault = true;
    done.on("Action", [this] { close(); });
    resultmsg = text("resultmsg", {20, 87, 438, 55}, "", 0, false);
    updateButton = &add(K::PushButton, "updateButton", {286, 154, 80, 20});
    updateButton->setCaption("Update");
    updateButton->setVisible(false);
    updateButton->on("Action", [this] {
        std::string page = updateServer() + "/vq/download";
        bool opened = rb::showURL(page);
        close();
        // Nothing to open it with (no xdg-open): the address, for a browser
        // started by hand.
        if (!opened)
            rb::msgBox(
                "The download page could not be opened: no program to open web pages was found.  Its "
                "address is " +
                page);
    });
}

updateWindow::~updateWindow() { stopWaiting(); }

void updateWindow::Open() {
    setTitle("Tavrin! Updates");
    RequestVersion();
}

// A page that arrives after the window closed is dropped with its socket.
void updateWindow::Close() {
    stopWaiting();
    pVersionSocket.reset();
}

void updateWindow::RequestVersion() {
    rb::Application *a = rb::app();
    runVersion->setText(a ? a->longVersion : "");
    pVersionSocket = std::make_unique<rb::HTTPSocket>(rb::httpEngine());
    // VersionSocket.PageReceived: the page goes to the latest update window.
    // Only a successful answer is a version; an error page, a failed
    // request or no answer in time ends this window's check without one.
    pVersionSocket->pageReceived = [this](const std::string &, int httpStatus, const std::string &,
                                          const std::string &content) {
        if (httpStatus < 200 || httpStatus > 299) {
            CheckFailed("the server answered " + std::to_string(httpStatus));
            return;
        }
        auto *w = static_cast<updateWindow *>(app().pUpdateWindow.get());
        if (w && !w->closed()) w->CurrentVersion(content);
    };
    pVersionSocket->error = [this](rb::HTTPError code, const std::string &) { CheckFailed(rb::httpErrorName(code)); };
    deadlineUs_ = rb::microseconds() + kUpdateCheckTimeoutUs;
    timeout_ = rb::newTimer(250, [this](REALobject) {
        if (rb::microseconds() < deadlineUs_) return;
        pVersionSocket.reset();
        CheckFailed("no answer in " + std::to_string(kUpdateCheckTimeoutUs / 1000000) + " seconds");
    });
    rb::setTimerMode(timeout_.get(), rb::TimerMultiple);
    pVersionSocket->get(updateServer() + "/vq1.html");
}

void updateWindow::stopWaiting() {
    if (timeout_) rb::setTimerMode(timeout_.get(), rb::TimerOff);
    timeout_ = {};
}

void updateWindow::CheckFailed(const std::string &why) {
    stopWaiting();
    if (closed()) return;
    ProgressWheel1->setVisible(false);
    status->setVisible(false);
    resultmsg->setText("The check for updates could not be made (" + why + ").  Please try again later.");
}

void updateWindow::CurrentVersion(const std::string &version) {
    stopWaiting();
    ProgressWheel1->setVisible(false);
    status->setVisible(false);
    curVersion->setText(version);
    refresh(true);
    if (version != runVersion->text()) {
        resultmsg->setText(
            "There is a new update available.  Click the update button below to go to the web "
            "page to download the update.");
        updateButton->setVisible(true);
    } else {
        resultmsg->setText("You have the most recent version.");
    }
}

}  // namespace tavrin
