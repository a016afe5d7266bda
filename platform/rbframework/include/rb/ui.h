// Windows, controls, menus and dialogs of the host runtime.
//
// The model is headless: every window and control is a plain C++ object that
// keeps its geometry, texts and state. A backend (the headless one for tests
// and CI, an on-screen one for people; rb/backend.h) only mirrors that state
// and feeds events back in through the same public calls a script or a test
// makes, so the application behaves the same with or without a display.
//
// Application windows derive from rb::Window, create their controls in their
// constructor with the design-time properties, and bind handlers by event
// name. One implicit instance per window class: rb::implicitInstance<T>().
// Other windows are made with rb::newWindow<T>(). The framework holds every
// open window; a closed window is destroyed once no event is being handled
// and nobody else holds it.
#pragma once

#include <rb/plugin.h>
#include <rb/video_surface.h>

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <optional>
#include <variant>
#include <vector>

namespace rb {

class Window;
class MenuBar;
class FolderItem;  // rb/files.h

// Pixels of a picture shown by a control: 0x00RRGGBB, row-major.
struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

// ---- controls -----------------------------------------------------------------

enum class ControlKind {
    StaticText,
    PushButton,
    BevelButton,
    Slider,
    PopupMenu,
    RadioButton,
    EditField,
    ProgressBar,
    Canvas,
    Placard,
    Rectangle,
    Separator,
    GroupBox,
    ProgressWheel
};
const char *kindName(ControlKind k);  // rb/control_kinds.h has the rest of a kind

// The pictures a bevel button can show in place of its caption.
enum class Icon { NoIcon, Play, Stop, FastForward, Rewind };
const char *iconName(Icon i);  // "play", "stop", "ff", "rewind"; "" for none

class Control {
public:
    Control(Window &owner, ControlKind kind, std::string name, Rect r);
    virtual ~Control();
    Control(const Control &) = delete;
    Control &operator=(const Control &) = delete;

    ControlKind kind() const { return kind_; }
    const std::string &name() const { return name_; }
    Window &window() const { return owner_; }

    Rect bounds() const { return bounds_; }
    void setBounds(Rect r);
    bool enabled() const { return enabled_; }
    void setEnabled(bool e);
    bool visible() const { return visible_; }
    void setVisible(bool v);

    // Text of a static text or edit field; caption of a button.
    const std::string &text() const { return text_; }
    void setText(const std::string &t);
    const std::string &caption() const { return text_; }
    void setCaption(const std::string &c) { setText(c); }

    // Design-time look.
    int textSize = 0;  // 0 = system size
    bool bold = false;
    enum Align { AlignDefault, AlignLeft, AlignCenter, AlignRight } align = AlignDefault;
    std::string helpTag;
    Icon icon = Icon::NoIcon;  // bevel buttons
    std::string parentName;    // the group box or placard it lies in, if any
    // Edges that follow the window's: a locked right edge keeps its distance
    // from the window's right edge when the window changes size (the control
    // grows), and so does a locked bottom edge.
    bool lockRight = false, lockBottom = false;
    // A canvas's backdrop, drawn at its top-left corner and clipped to it.
    std::shared_ptr<const Image> backdrop;
    bool isDefault = false;  // the default push button of a dialog

    // Slider, progress bar; a radio button's value is 1 when selected.
    int minimum() const { return min_; }
    int maximum() const { return max_; }
    int value() const { return value_; }
    void setMinimum(int v);
    void setMaximum(int v);
    // Raises ValueChanged when the value changes; a slider keeps its value
    // within minimum..maximum. Selecting a radio button (value 1) clears the
    // others with the same parentName; it does not raise Action.
    void setValue(int v);

    // Popup menu rows.
    void addRow(const std::string &row);
    void removeAllRows();
    const std::vector<std::string> &rows() const { return rows_; }
    int listIndex() const { return listIndex_; }
    // Raises Change when it changes; an index outside -1..rows-1 is ignored.
    void setListIndex(int i);

    // Edit field focus.
    bool hasFocus() const;
    void setFocus();

    // What a click does: a push or bevel button raises Action, a radio
    // button is selected and raises Action, an edit field takes the focus.
    // Disabled or hidden controls ignore it.
    void push();

    // Event handlers by event name: "Action", "Open", "ValueChanged",
    // "MouseExit", "Change", "GotFocus", "LostFocus". One per event.
    void on(const std::string &event, std::function<void()> handler);
    // A handler a plug-in installed on this control's host object runs in
    // place of the one bound here. False when neither exists.
    bool raise(const std::string &event);

    // The host object that stands for this control when it is handed to a
    // plug-in; it lets go of the control when the control goes.
    REALobject handle();

private:
    Window &owner_;
    ControlKind kind_;
    std::string name_;
    Rect bounds_;
    bool enabled_ = true, visible_ = true;
    std::string text_;
    int min_ = 0, max_ = 100, value_ = 0;
    std::vector<std::string> rows_;
    int listIndex_ = -1;
    std::vector<std::pair<std::string, std::function<void()>>> handlers_;
    REALobject handle_ = nullptr;
};

// ---- windows ------------------------------------------------------------------

enum class WindowKind { Document, Floating, MovableModal, Modal };

class Window {
public:
    // A new window is centred on the main screen and hidden.
    Window(std::string className, WindowKind kind, std::string title, int width, int height);
    virtual ~Window();
    Window(const Window &) = delete;
    Window &operator=(const Window &) = delete;

    const std::string &className() const { return className_; }
    WindowKind kind() const { return kind_; }

    const std::string &title() const { return title_; }
    void setTitle(const std::string &t);
    int left() const { return bounds_.left; }
    int top() const { return bounds_.top; }
    int width() const { return bounds_.width; }
    int height() const { return bounds_.height; }
    void setLeft(int v);
    void setTop(int v);
    // Sizes stay within the limits; Resized is raised when the size changes
    // after the window has opened.
    void setWidth(int v);
    void setHeight(int v);
    void setSize(int w, int h);
    int minWidth = 64, minHeight = 64, maxWidth = 32000, maxHeight = 32000;

    bool visible() const { return visible_; }
    void setVisible(bool v);
    void show();  // visible, and in front of the others

    // The window's own menu bar, shown above its content; nullptr for none.
    MenuBar *menuBar = nullptr;
    // Whether a menu bar is shown above the window's content: its own, else
    // the application's (the main window's).
    bool hasMenuBar = false;
    // Whether the window has a close box; one without can be closed only by
    // the application (close(), or quitting).
    bool closeBox = true;
    // Shows the window modally within `parent`. On screen it returns when
    // the window closes; headless it returns at once and the operator
    // answers the window through its controls.
    void showModalWithin(Window &parent);
    void close();  // raises Close once, hides, drops the implicit instance
    bool closed() const { return closed_; }
    // What the window's close box does: raises CancelClose(false), and
    // closes the window unless it returned true. Nothing without a close box.
    void requestClose();
    // Raises Paint: at once when `immediately`, else on the next loop pass.
    void refresh(bool immediately = false);

    // Controls by name (case-insensitive), in creation order.
    Control *control(const std::string &name) const;
    const std::vector<std::unique_ptr<Control>> &controls() const { return controls_; }
    Control &add(ControlKind kind, const std::string &name, Rect r);
    Control *focus() const { return focus_; }
    void setFocus(Control *c);  // nullptr: the window itself takes the focus

    // Window events, overridden by application windows.
    virtual void Open() {}
    virtual void Close() {}
    virtual void Paint() {}
    virtual void Resized() {}
    virtual void EnableMenuItems() {}
    virtual bool MouseDown(int /*x*/, int /*y*/) { return false; }
    // Raised before the window closes at the user's request (appQuitting
    // false) or because the application quits (true); true keeps it open
    // (and, when quitting, cancels the quit).
    virtual bool CancelClose(bool /*appQuitting*/) { return false; }

    // Window-level menu handlers by item name.
    void addMenuHandler(const std::string &item, std::function<void()> h);
    bool handleMenu(const std::string &item);

    // The host object that stands for this window when it is handed to a
    // plug-in (e.g. a grabber's OutputToWindow); the host service
    // "REALGetWindowHandle" turns it back into this rb::Window*. A handler a
    // plug-in installed on it for Open, Close, Paint or Resized runs in place
    // of the window's own.
    REALobject handle();

    // The video surface: pixels a grabber drew into the window through the
    // host service "PaintWindowSurface", or a drawing into its port.
    using Surface = VideoSurface;
    Surface surface;

    // Raises the controls' Open events, then the window's, once.
    void runOpen();
    bool opened() const { return opened_; }

private:
    friend class Control;
    // Runs the plug-in's handler of `event` on the host object, if any.
    bool instanceEvent(const char *event);
    std::string className_;
    WindowKind kind_;
    std::string title_;
    Rect bounds_;
    bool visible_ = false, closed_ = false, opened_ = false, paintPending_ = false;
    std::vector<std::unique_ptr<Control>> controls_;
    Control *focus_ = nullptr;
    std::vector<std::pair<std::string, std::function<void()>>> menuHandlers_;
    REALobject handle_ = nullptr;
};

// Open windows, front to back.
std::vector<Window *> windows();
Window *findWindow(const std::string &className);  // case-insensitive
// The frontmost visible window that is not a floating palette: the one whose
// menu handlers and EnableMenuItems take part in a menu choice.
Window *frontWindow();

namespace detail {
Window *implicitFind(const std::type_info &t);
void holdWindow(std::shared_ptr<Window> w, const std::type_info *implicitType);
}  // namespace detail

// One implicit instance per window class, created on first reference (its
// Open runs then). Closing the window drops the instance; the next reference
// makes a new one.
template <class T> T &implicitInstance() {
    static_assert(std::is_base_of_v<Window, T>, "a window class");
    if (Window *w = detail::implicitFind(typeid(T))) return static_cast<T &>(*w);
    auto w = std::make_shared<T>();
    detail::holdWindow(w, &typeid(T));
    w->runOpen();
    return *w;
}

// A window that is not an implicit instance: made and opened now, held by
// the framework until it closes (and by the caller as long as it likes).
template <class T, class... A> std::shared_ptr<T> newWindow(A &&...a) {
    static_assert(std::is_base_of_v<Window, T>, "a window class");
    auto w = std::make_shared<T>(std::forward<A>(a)...);
    detail::holdWindow(w, nullptr);
    w->runOpen();
    return w;
}

// Destroys closed windows nobody holds, unless an event is being handled.
// The loop and the operator call it; nothing else needs to.
void collectClosedWindows();

// ---- properties by name -------------------------------------------------------

// The framework properties of windows and controls by name (case-insensitive),
// as the host's property-by-name services reach them: Left, Top, Width,
// Height, Visible, Title (windows); Left, Top, Width, Height, Visible, Text,
// Caption, Value, Enabled, Minimum, Maximum, ListIndex (controls). Setting
// goes through the same setters as code (so events are raised as usual); a
// value of the wrong type is converted where it is plain (integer <-> Boolean,
// text of an integer) and refused otherwise.
using PropValue = std::variant<int32_t, bool, std::string>;
std::optional<PropValue> getProperty(const Window &w, const std::string &name);
bool setProperty(Window &w, const std::string &name, const PropValue &v);
std::optional<PropValue> getProperty(const Control &c, const std::string &name);
bool setProperty(Control &c, const std::string &name, const PropValue &v);
// The type text of a property ("integer", "Boolean", "String"), or nullptr.
const char *propertyType(const std::string &name);

// ---- menus -----------------------------------------------------------------------

struct MenuItem {
    enum Kind { Item, Quit, Apple } kind = Item;
    std::string name, text, shortcut;  // text "-" is a separator
    bool autoEnable = false;
    bool enabled = false;
    std::list<MenuItem> children;
};

class MenuBar {
public:
    virtual ~MenuBar() = default;
    // A top-level menu.
    MenuItem &append(MenuItem menu);
    // An item appended to the top-level menu called `menuName` (nullptr when
    // there is no such menu).
    MenuItem *appendTo(const std::string &menuName, MenuItem item);
    // Any item anywhere in the bar by name (case-insensitive), or nullptr.
    MenuItem *child(const std::string &name);
    const std::list<MenuItem> &menus() const { return menus_; }

private:
    std::list<MenuItem> menus_;
};

// ---- the application -------------------------------------------------------------

class Application {
public:
    Application();  // becomes rb::app() and starts on the first loop pass
    virtual ~Application();
    Application(const Application &) = delete;
    Application &operator=(const Application &) = delete;

    virtual void Open() {}
    virtual void Close() {}
    virtual void Activate() {}
    virtual void Deactivate() {}
    virtual void EnableMenuItems() {}
    // Raised when a quit is asked for, after every window's CancelClose;
    // true cancels the quit.
    virtual bool CancelClose() { return false; }

    MenuBar *menuBar = nullptr;
    // The application's name: the title of its message boxes and of any
    // window without a title of its own.
    std::string applicationName;
    void addMenuHandler(const std::string &item, std::function<void()> h);

    // Raises Open once. The loop calls it on the first pass after the
    // application was made.
    void start();

    // Sets every item's enabled state: autoEnable items on, the others off,
    // then the front window's EnableMenuItems, then the application's.
    void updateMenus();
    // Chooses a menu item: updateMenus, then the front window's handler,
    // then the application's; an unhandled quit item quits. False when the
    // item is missing, disabled or unhandled.
    bool chooseMenu(const std::string &item);

    // Asks every window (CancelClose(true)) and then the application
    // (CancelClose) whether it may quit; when none objects, closes every
    // window (each raises Close), raises Close, and ends the event loop with
    // `code`. A cancelled quit changes nothing but exitCode(); once quitting,
    // further calls do nothing.
    void quit(int code = 0);
    bool quitting() const { return quitting_; }
    // The code of the quit under way, or of the latest one asked for.
    int exitCode() const { return exitCode_; }
    bool active() const { return active_; }
    void setActive(bool a);  // raises Activate / Deactivate on a change

    std::string longVersion = "1.0";
    int nonReleaseVersion = 0;

private:
    std::vector<std::pair<std::string, std::function<void()>>> menuHandlers_;
    bool active_ = true, started_ = false, quitting_ = false;
    int exitCode_ = 0;
};

Application *app();

// ---- screen, keyboard, dialogs -------------------------------------------------

struct Screen {
    int width = 1280, height = 1024;
};
Screen mainScreen();
void setMainScreen(Screen s);

// Whether the key with this Mac virtual key code is down now (49 Space,
// 40 K, 37 L, 38 J, ...). The backend or the operator keeps the table.
bool asyncKeyDown(int macKeyCode);
void setKeyDown(int macKeyCode, bool down);
// Mac virtual key codes (the ANSI layout), as asyncKeyDown takes them.
enum MacKey {
    KeyA = 0,
    KeyS = 1,
    KeyD = 2,
    KeyF = 3,
    KeyH = 4,
    KeyG = 5,
    KeyZ = 6,
    KeyX = 7,
    KeyC = 8,
    KeyV = 9,
    KeyB = 11,
    KeyQ = 12,
    KeyW = 13,
    KeyE = 14,
    KeyR = 15,
    KeyY = 16,
    KeyT = 17,
    Key1 = 18,
    Key2 = 19,
    Key3 = 20,
    Key4 = 21,
    Key6 = 22,
    Key5 = 23,
    Key9 = 25,
    Key7 = 26,
    Key8 = 28,
    Key0 = 29,
    KeyO = 31,
    KeyU = 32,
    KeyI = 34,
    KeyP = 35,
    KeyReturn = 36,
    KeyL = 37,
    KeyJ = 38,
    KeyK = 40,
    KeyN = 45,
    KeyM = 46,
    KeyTab = 48,
    KeySpace = 49,
    KeyDelete = 51,
    KeyEscape = 53,
    KeyLeftArrow = 123,
    KeyRightArrow = 124,
    KeyDownArrow = 125,
    KeyUpArrow = 126
};

// A quit of the application closes every dialog open then, and every
// dialog a cooperative thread waits on even when the quit itself waits for
// that thread; each tells its caller so, apart from OK and Cancel, and what
// the dialog was for is not to go on.

// Modal; false when a quit closed it.
bool msgBox(const std::string &text);

struct MessageDialog {
    std::string message, explanation, actionCaption = "OK", cancelCaption;
    int icon = 0;
    // Modal; returns the caption of the button that closed it, or an empty
    // text when a quit closed it.
    std::string showModal();
};

// Modal file dialogs; nullptr when cancelled, and when a quit closed them
// (`dismissed`, where given, tells which). The save dialog opens in `folder`
// (nullptr, or a folder that is gone: the home folder); the folder dialog at
// the folder chosen last in it, else the home folder.
std::shared_ptr<FolderItem> saveFileDialog(const std::string &title, const std::string &prompt,
                                           const std::string &actionCaption, const std::string &suggestedName = {},
                                           bool *dismissed = nullptr,
                                           const std::shared_ptr<FolderItem> &folder = nullptr);
std::shared_ptr<FolderItem> selectFolderDialog(const std::string &actionCaption, bool *dismissed = nullptr);

// showURL (rb/showurl.h) opens a URL with the desktop's opener; while the
// headless backend is installed it only records the URL (rb/backend.h).

}  // namespace rb

#include <rb/backend.h>
