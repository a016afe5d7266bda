// Deck transport: each action goes out as RS-422 bytes when the deck link is
// RS-422, else as a call of the FireWire deck's members. playstatus records what
// the deck was last told.
#include "application/app.h"
#include "binding/entrypoints.h"
#include "capturewindow/capturewindow.h"
#include "deck422/deckcontrol422.h"

#include <rb/entrypoints.h>

namespace tavrin {

namespace {

bool rs422() { return app().rs422(); }

// One rung of a speed ladder: its play status and its command.
struct Rung {
    PlayStatus status;
    const char *command;  // RS-422 command string, or nullptr on FireWire
    int fw;               // FireWire: 0 PlayForward(), +n PlayForward(n), -1-n PlayReverse(n)
};

// From the fastest reverse rung to the fastest forward rung.
constexpr Rung kLadder422[] = {{PlayStatus::ReverseFaster3, "212365", 0},
                               {PlayStatus::ReverseFaster2, "212355", 0},
                               {PlayStatus::ReverseFaster1, "212345", 0},
                               {PlayStatus::Reverse, "212340", 0},
                               {PlayStatus::Play, "2001", 0},
                               {PlayStatus::Faster1, "211345", 0},
                               {PlayStatus::Faster2, "211355", 0},
                               {PlayStatus::Faster3, "211365", 0}};
constexpr Rung kLadderFW[] = {{PlayStatus::ReverseFaster4, nullptr, -1 - 4},
                              {PlayStatus::ReverseFaster1, nullptr, -1 - 1},
                              {PlayStatus::Reverse, nullptr, -1 - 0},
                              {PlayStatus::Play, nullptr, 0},
                              {PlayStatus::Faster1, nullptr, 2},
                              {PlayStatus::Faster3, nullptr, 4}};

// RS-422 shuttle commands by slider value 0..30 (0: nothing).
constexpr const char *kShuttle422[kShuttleRS422.maximum + 1] = {
    nullptr,  "212385", "212380", "212375", "212370", "212365", "212360", "212355", "212350", "212345", "212340",
    "212335", "212330", "212325", "212320", "2000",   "211320", "211325", "211330", "211335", "211340", "211345",
    "211350", "211355", "211360", "211365", "211370", "211375", "211380", "211385", "211390"};

}  // namespace

// ---- FireWire commands: sent only when the deck is there ------------------------

void CaptureWindow::playfirewire() {
    if (deckPresent()) rb::call(ENTRY("AVC.PlayForward()"), camera.get());
}
void CaptureWindow::stopfirewire() {
    if (deckPresent()) rb::call(ENTRY("AVC.WindStop()"), camera.get());
}
void CaptureWindow::playpausefirewire() {
    if (deckPresent()) rb::call(ENTRY("AVC.PlayForwardPause()"), camera.get());
}
void CaptureWindow::fastforwardfirewire() {
    if (deckPresent()) rb::call(ENTRY("AVC.WindFastForward()"), camera.get());
}
void CaptureWindow::rewindfirewire() {
    if (deckPresent()) rb::call(ENTRY("AVC.WindRewind()"), camera.get());
}

namespace {

void playForward(CaptureWindow &w, int32_t speed) {
    if (w.deckPresent()) rb::call(ENTRY("AVC.PlayForward(speed as integer)"), w.camera.get(), speed);
}
void playReverse(CaptureWindow &w, int32_t speed) {
    if (w.deckPresent()) rb::call(ENTRY("AVC.PlayReverse(speed as integer)"), w.camera.get(), speed);
}

void sendRung(CaptureWindow &w, const Rung &r) {
    if (r.command) {
        if (r.status == PlayStatus::Play) DeckControl422::playdevice();
        else DeckControl422::senddevice(r.command);
    } else if (r.fw == 0) {
        w.playfirewire();
    } else if (r.fw > 0) {
        playForward(w, r.fw);
    } else {
        playReverse(w, -1 - r.fw);
    }
}

// One rung towards the forward (+1) or reverse (-1) end; nothing at the end
// or from a status that is not a rung of the current link's ladder.
void step(CaptureWindow &w, int direction) {
    const Rung *ladder = rs422() ? kLadder422 : kLadderFW;
    int n = rs422() ? int(std::size(kLadder422)) : int(std::size(kLadderFW));
    for (int i = 0; i < n; ++i) {
        if (ladder[i].status != w.playstatus) continue;
        int next = i + direction;
        if (next < 0 || next >= n) return;
        sendRung(w, ladder[next]);
        w.playstatus = ladder[next].status;
        return;
    }
}

}  // namespace

// ---- transport actions ---------------------------------------------------------------

void CaptureWindow::playaction() {
    if (playstatus != PlayStatus::Stopped) return incplayforward();
    if (rs422()) DeckControl422::playdevice();
    else playfirewire();
    playstatus = PlayStatus::Play;
}

void CaptureWindow::playreverseaction() {
    if (playstatus != PlayStatus::Stopped) return incplayreverse();
    if (rs422()) DeckControl422::playreversedevice();
    else playReverse(*this, 0);
    playstatus = PlayStatus::Reverse;
}

void CaptureWindow::stopaction() {
    if (rs422()) DeckControl422::stopdevice();
    else stopfirewire();
    playstatus = PlayStatus::Stopped;
}

// RS-422 has no pause of its own: it stops.
void CaptureWindow::pauseaction() {
    if (rs422()) DeckControl422::stopdevice();
    else playpausefirewire();
    playstatus = PlayStatus::Stopped;
}

void CaptureWindow::fastforwardaction() {
    if (rs422()) DeckControl422::fastforwarddevice();
    else fastforwardfirewire();
}

void CaptureWindow::rewindaction() {
    if (rs422()) DeckControl422::rewinddevice();
    else rewindfirewire();
}

void CaptureWindow::shuttleaction() {
    if (rs422()) shuttle422();
    else shuttlefirewire();
}

void CaptureWindow::incplayforward() { step(*this, +1); }
void CaptureWindow::incplayreverse() { step(*this, -1); }

void CaptureWindow::shuttle422() {
    int v = shuttleslider->value();
    if (v >= 0 && v <= kShuttleRS422.maximum && kShuttle422[v]) DeckControl422::senddevice(kShuttle422[v]);
}

void CaptureWindow::shuttlefirewire() {
    if (!camera) return;
    int v = shuttleslider->value();
    if (v == 0) playReverse(*this, 7);
    else if (v <= 7) playReverse(*this, 7 - v);
    else if (v == 8) playpausefirewire();
    else if (v <= 15) playForward(*this, v - 8);
}

}  // namespace tavrin
