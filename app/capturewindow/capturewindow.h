// The main capture window: the strip of controls above the live video, the
// grabber, the FireWire deck and its notifications, the RS-422 port, the
// grabbed pictures and the deck's play status.
#pragma once

#include "capturewindow/stillframe.h"

#include <rb/files.h>
#include <rb/object.h>
#include <rb/serial.h>
#include <rb/ui.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin {

// What the deck was last told (playstatus): play, stopped or paused, and
// the rungs of the speed ladders, forward and reverse. The RS-422 ladder
// runs from ReverseFaster3 to Faster3, the FireWire one skips ReverseFaster2
// and ReverseFaster3 (its fastest reverse is ReverseFaster4) and Faster2.
enum class PlayStatus : int32_t {
    Play = 1,
    Faster1 = 2,
    Faster2 = 3,
    Faster3 = 4,
    Reverse = 10,
    ReverseFaster1 = 11,
    ReverseFaster2 = 12,
    ReverseFaster3 = 13,
    ReverseFaster4 = 14,
    Stopped = 86,
};
// The strip of controls above the live video, in pixels.
inline constexpr int32_t kStripHeight = 100;
// The narrowest window that holds the whole strip: its rightmost control
// (the time code's placard, right edge 416) and the status line's 5-pixel
// margin. The status line then has the top row right of Grab Now, and the
// menu bar all its menus.
inline constexpr int32_t kStripWidth = 421;

// The shuttle slider of a deck link: 0 to `maximum`, springing back to
// `centre` (the deck paused) when the mouse leaves it.
struct ShuttleRange {
    int32_t maximum, centre;
};
inline constexpr ShuttleRange kShuttleRS422{30, 15};
inline constexpr ShuttleRange kShuttleFireWire{16, 8};
// The shuttle of the current deck link.
const ShuttleRange &shuttleRange();

class CaptureWindow : public rb::Window {
public:
    CaptureWindow();
    ~CaptureWindow() override;

    // Fields.
    rb::ObjRef camera;                // AVCUnit, may be nil
    rb::ObjRef fireWireNotification;  // Notification, may be nil
    PlayStatus playstatus = PlayStatus::Stopped;
    bool latched = false;
    int32_t targetkey = 0;
    std::vector<std::shared_ptr<StillFrame>> p;  // grabbed frames by index; nil entries allowed
    // Frames of a run that could not be saved, by index (nil: saved), kept
    // until a save into another folder writes them.
    std::vector<std::shared_ptr<StillFrame>> unsaved;
    rb::FolderItemRef savepicture;
    rb::ObjRef qGrab;       // QTGrabberPlyx, may be nil
    std::string videoNote;  // the grabber's reason for no video shown in the status line
    std::string portNote;   // why the deck's serial port could not be opened, shown in the status line

    rb::SerialPort Serial1;  // the RS-422 port
    rb::ObjRef Timer1, Timer2, qGrabPollTimer1;

    // Controls.
    rb::Control *message = nullptr, *mytc = nullptr, *checkvideobutton = nullptr, *shuttleslider = nullptr;

    // Control handlers.
    void checkvideobutton_Action();
    void Timer1_Action();
    void playbutton_Action();
    void stopbutton_Action();
    void fastforwardbutton_Action();
    void rewindbutton_Action();
    void shuttleslider_Open();
    // The slider's range and centre for the current deck link (its Open, and
    // the deck control settings when they change the link).
    void shuttleForDeckLink();
    void shuttleslider_MouseExit();
    void shuttleslider_ValueChanged();
    void Timer2_Action();
    void BevelButton1_Action();
    void qGrabPollTimer1_Action();

    // Window events.
    void AddMenuHandlers();
    void EnableMenuItems() override;
    void Open() override;
    void Close() override;
    void Paint() override;
    void Resized() override;
    bool CancelClose(bool appQuitting) override;

    // Menu handlers.
    void _VideoSetteingsMenu_Action();
    void _VideoDeckControl_Action();
    void _SettingsResetVideoDevice_Action();

    // Video source and deck link (video.cpp).
    // With `sayNoVideo` false a grab without video sets grabNoVideo instead
    // of showing its message: the capture thread says it once it is done.
    void GrabStill(int32_t index, bool sayNoVideo = true);
    // The current frame at 24 bits of the source size; nil (after the
    // no-video message, when that is why) when there is none.
    std::shared_ptr<StillFrame> grabFrame(bool sayNoVideo = true);
    void VideoSettings();
    void EnableVideo();
    // The no-signal road of EnableVideo: the message, Enable Video enabled
    // again, and the grabber's reason in the status line. False when a
    // quit closed the message: nothing more is set up then.
    bool noVideoSignal();
    // The grab message of a still without video.
    static bool sayNoVideoToGrab();
    // The video that was there has gone (a clip ended, a device failed or
    // was unplugged): no video from now on, Enable Video enabled to start it
    // again, and the grabber's reason in the status line.
    void videoLost();
    // Places the status line for the window's width: where it was laid out
    // in a window as wide as a full-size source's, else on the top row
    // beside the buttons, inside the window either way.
    void placeStatusLine();
    void initfirewire();
    // Starts the RS-422 link: Serial1 set to port `port` and opened. A port
    // that cannot be opened is said in the status line and on standard
    // error, with the fix where there is one.
    void openDeckPort(int32_t port);
    void SetGWorld();
    // Gives the grabber the window's area below the strip of controls.
    void videoBelowStrip();

    // Deck transport (transport.cpp).
    void fastforwardaction();
    void fastforwardfirewire();
    void playaction();
    void playfirewire();
    void playpausefirewire();
    void rewindaction();
    void rewindfirewire();
    void shuttle422();
    void shuttleaction();
    void shuttlefirewire();
    void stopaction();
    void stopfirewire();
    void pauseaction();
    void latchkey();
    void playreverseaction();
    void incplayforward();
    void incplayreverse();

    // Frame files and grabber settings (framefiles.cpp).
    void savefiles(int32_t index);
    void writecapturesettings();
    void readcapturesettings();
    void savesinglefile(int32_t index);
    // Writes the frame to savepicture; false when it could not (no frame,
    // no exporter, the file could not be written). `error` then gets the
    // system's reason (an errno value) where the file was it, else 0.
    bool saveSingle(const StillFrame *frame, int *error = nullptr);
    // savefiles with its outcome: false when the frame could not be saved.
    // With a batch its file only joins it (true: joined or skipped), and the
    // batch's commit() says whether it is on the disk.
    bool saveFrame(int32_t index, rb::DurableBatch *batch = nullptr);
    // Writes the kept unsaved frames, each under its numbered name, into
    // `folder`, each on the disk before the next; the frames written are
    // let go. The number written and the number that could not be, and in
    // `*error` the system's reason of the first that could not (0: none known).
    void saveUnsavedInto(const rb::FolderItem &folder, int32_t &written, int32_t &failed, int *error = nullptr);

    // Makes `last` the last index of p (-1: empty); pictures at the indexes
    // that remain stay in place. Slots are only added as frames are grabbed,
    // so a huge count allocates nothing up front.
    void resizeFrames(int32_t last);
    // The frame at `index`, nil when out of range or never grabbed.
    const StillFrame *frame(int32_t index) const;
    // The kept unsaved frames: how many, and the highest index (-1: none).
    int32_t unsavedCount() const;
    int32_t lastUnsavedIndex() const;

    // True when the FireWire deck is there and open.
    bool deckPresent() const;

    // Set by Reset Video Device: the grabber settings file is gone and must
    // not be written back on the way out.
    bool settingsResetPending = false;
    // Set by GrabStill when there is video but no frame could be had: the
    // grabber gave no picture or the memory for the frame was not there.
    bool grabFailed = false;
    // Set by a grab that found no video and was told not to say so.
    bool grabNoVideo = false;

    // The time-code query's back-off while the FireWire deck is silent: the
    // tick of the next try and how long the last failed query waited.
    bool timecodeSilent = false;
    int64_t timecodeRetryAt = 0, timecodeWaitTicks = 0;
};

// Shows `text` on the status line `line`, and whole in its help tag: the
// line may be narrower than the text.
void showStatus(rb::Control &line, const std::string &text);

// The window size for a w x h source on a sw x sh screen: full size when it
// fits in two thirds of the screen both ways, else half; plus the strip.
void sizeForVideo(int32_t w, int32_t h, int32_t sw, int32_t sh, int32_t &outW, int32_t &outH);
// A window of w x h (sizeForVideo's) no narrower than the strip: the video
// area as wide as the strip, its height grown with it so that the picture
// keeps its shape, up to two thirds of a screen sh high.
void widenToTheStrip(int32_t &w, int32_t &h, int32_t sh);

// The single instance (created on first reference).
CaptureWindow &captureWindow();
// The instance while it is open, else nullptr (never creates it).
CaptureWindow *captureWindowIfOpen();

// The forced redraw after the video settings change.
namespace TevikModule {
void ResetCapture();
}

// The grabber settings file's name in the preferences folder.
inline constexpr const char *kCaptureSettingsFileName = "Tavrin Capture Settings 1.2";

}  // namespace tavrin
