// The on-screen backend over FLTK 1.3: every model window becomes an FLTK
// window with a widget per control at the control's geometry. Widget events
// go back into the model through the same calls the scripted operator uses.
#include "desktop/fltk_dialogs.h"
#include "loop/fltk_pass.h"
#include "desktop/fltk_video.h"
#include "desktop/gtk_file_dialogs.h"
#include "desktop/lost_display.h"

#include <rb/loop.h>
#include <rb/screen.h>
#include <rb/ui.h>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Slider.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace rb {

namespace {

constexpr int kMenuHeight = 25;

// The Mac virtual key code of a key FLTK reports, or -1.
int macKeyCode(int key) {
    static const int letters[26] = {KeyA, KeyB, KeyC, KeyD, KeyE, KeyF, KeyG, KeyH, KeyI, KeyJ, KeyK, KeyL, KeyM,
                                    KeyN, KeyO, KeyP, KeyQ, KeyR, KeyS, KeyT, KeyU, KeyV, KeyW, KeyX, KeyY, KeyZ};
    static const int digits[10] = {Key0, Key1, Key2, Key3, Key4, Key5, Key6, Key7, Key8, Key9};
    if (key >= 'a' && key <= 'z') return letters[key - 'a'];
    if (key >= '0' && key <= '9') return digits[key - '0'];
    switch (key) {
        case ' ':
            return KeySpace;
        case FL_Enter:
            return KeyReturn;
        case FL_Escape:
            return KeyEscape;
        case FL_Tab:
            return KeyTab;
        case FL_BackSpace:
            return KeyDelete;
        case FL_Left:
            return KeyLeftArrow;
        case FL_Right:
            return KeyRightArrow;
        case FL_Down:
            return KeyDownArrow;
        case FL_Up:
            return KeyUpArrow;
        default:
            return -1;
    }
}

// A canvas: its backdrop picture at its top-left corner, clipped.
class PictureBox : public Fl_Widget {
public:
    PictureBox(Control &c, int x, int y, int w, int h) : Fl_Widget(x, y, w, h), control_(c) {}
    void draw() override {
        const Image *img = control_.backdrop.get();
        if (!img || img->width < 1 || img->height < 1 || img->pixels.size() < size_t(img->width) * img->height) return;
        if (shown_ != img) {
            rgb_.resize(size_t(img->width) * img->height * 3);
            for (size_t i = 0; i < size_t(img->width) * img->height; ++i) {
                rgb_[i * 3] = uchar(img->pixels[i] >> 16);
                rgb_[i * 3 + 1] = uchar(img->pixels[i] >> 8);
                rgb_[i * 3 + 2] = uchar(img->pixels[i]);
            }
            shown_ = img;
        }
        fl_push_clip(x(), y(), w(), h());
        fl_draw_image(rgb_.data(), x(), y(), img->width, img->height, 3);
        fl_pop_clip();
    }

private:
    Control &control_;
    const Image *shown_ = nullptr;
    std::vector<uchar> rgb_;
};

// A progress wheel: twelve spokes, the dark one going round while shown.
class Wheel : public Fl_Widget {
public:
    Wheel(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}
    void step() {
        phase_ = (phase_ + 1) % 12;
        redraw();
    }
    void draw() override {
        int size = std::min(w(), h());
        double cx = x() + w() / 2.0, cy = y() + h() / 2.0, r = size / 2.0 - 1, inner = r * 0.45;
        fl_push_clip(x(), y(), w(), h());
        if (Fl_Widget *p = parent()) fl_color(p->color());
        fl_rectf(x(), y(), w(), h());
        fl_line_style(FL_SOLID | FL_CAP_ROUND, std::max(1, size / 8));
        for (int i = 0; i < 12; ++i) {
            double a = (i * 30.0 - 90.0) * M_PI / 180.0;
            int shade = ((i - phase_ + 12) % 12) * 16;  // the newest spoke darkest
            fl_color(fl_rgb_color(uchar(40 + shade), uchar(40 + shade), uchar(40 + shade)));
            fl_line(int(cx + inner * std::cos(a)), int(cy + inner * std::sin(a)), int(cx + r * std::cos(a)),
                    int(cy + r * std::sin(a)));
        }
        fl_line_style(0);
        fl_pop_clip();
    }

private:
    int phase_ = 0;
};

// A slider gives its control the mouse's leaving: when the pointer leaves it
// (also when a drag ends outside it) the control's MouseExit is raised, as
// it is for every slider the pointer is over when the application loses the
// focus. The pointer is over it from its entering until that MouseExit.
class SliderWidget : public Fl_Slider {
public:
    SliderWidget(Control &c, int x, int y, int w, int h) : Fl_Slider(x, y, w, h), control_(c) {}
    ~SliderWidget() override { engaged().erase(this); }
    int handle(int e) override {
        int r = Fl_Slider::handle(e);
        switch (e) {
            case FL_ENTER:
            case FL_PUSH:
                engaged().insert(this);
                break;
            case FL_LEAVE:
                if (Fl::pushed() != this) exit();
                break;
            case FL_RELEASE:
                if (!Fl::event_inside(this)) exit();
                break;
            default:
                break;
        }
        return r;
    }
    void exit() {
        engaged().erase(this);
        control_.raise("MouseExit");
    }
    // Sliders the pointer is over or dragging.
    static std::set<SliderWidget *> &engaged() {
        static std::set<SliderWidget *> s;
        return s;
    }
    // The application lost the focus: the pointer has left them all.
    static void exitAll() {
        for (SliderWidget *s : std::set<SliderWidget *>(engaged())) s->exit();
    }

private:
    Control &control_;
};

// A group box: the frame starts half a line down and the caption sits on
// its top edge, with the frame broken behind it.
class GroupFrame : public Fl_Box {
public:
    GroupFrame(int x, int y, int w, int h) : Fl_Box(FL_NO_BOX, x, y, w, h, nullptr) {}
    void draw() override {
        int lh = fl_height(labelfont(), labelsize());
        int top = y() + lh / 2;
        fl_draw_box(FL_ENGRAVED_FRAME, x(), top, w(), std::max(1, h() - lh / 2), color());
        if (!label() || !*label()) return;
        fl_font(labelfont(), labelsize());
        int tw = int(fl_width(label())) + 6;
        fl_color(parent() ? parent()->color() : color());
        fl_rectf(x() + 6, y(), std::min(tw, std::max(0, w() - 12)), lh);
        fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
        fl_push_clip(x() + 6, y(), std::max(0, w() - 12), lh);
        fl_draw(label(), x() + 9, y() + lh - fl_descent());
        fl_pop_clip();
    }
};

class ScreenWindow : public Fl_Double_Window {
public:
    ScreenWindow(Window &m, int top) : Fl_Double_Window(m.width(), m.height() + top), model(m) {}
    int handle(int e) override {
        switch (e) {
            case FL_KEYDOWN:
            case FL_KEYUP: {
                int code = macKeyCode(Fl::event_key());
                if (code >= 0) setKeyDown(code, e == FL_KEYDOWN);
                break;  // the focused field still gets the key
            }
            case FL_FOCUS:
                if (app()) app()->setActive(true);
                break;
            case FL_UNFOCUS:
                // Another of our windows may take the focus; look again shortly.
                Fl::add_timeout(0.05, [](void *) {
                    if (Fl::focus()) return;
                    SliderWidget::exitAll();
                    if (app()) app()->setActive(false);
                });
                break;
            case FL_PUSH:
                if (Fl::event_y() >= 0 && !Fl::belowmouse()) model.MouseDown(Fl::event_x(), Fl::event_y());
                break;
        }
        return Fl_Double_Window::handle(e);
    }
    Window &model;
    // The names of its menu bar's items, for their callbacks: they go with
    // the bar, which a menu held open may use after the model window closed.
    std::list<std::string> menuNames;
};

// A popup list or a menu bar that does not open over a menu held open (a
// dialog shown meanwhile has them): FLTK keeps the state of one menu held
// open, and the one under it, left with the state of one gone, would not
// survive its next event.
template <class Menu> class MenuWidget : public Menu {
public:
    using Menu::Menu;
    int handle(int e) override {
        bool opens = e == FL_PUSH || e == FL_KEYBOARD || e == FL_SHORTCUT;
        return opens && screen::insideFltkLoop() ? 0 : Menu::handle(e);
    }
};

// ---- a widget per control kind ------------------------------------------------

std::string escapeMenu(const std::string &s) {
    std::string out;
    for (char ch : s) {
        if (ch == '/' || ch == '&' || ch == '_' || ch == '\\') out += '\\';
        out += ch;
    }
    return out;
}

// Left-aligned text wraps where the control has room for a second line;
// a one-line text runs on past its box rather than break.
Fl_Align align(const Control &c, const Fl_Widget &w) {
    switch (c.align) {
        case Control::AlignCenter:
            return FL_ALIGN_CENTER | FL_ALIGN_INSIDE;
        case Control::AlignRight:
            return FL_ALIGN_RIGHT | FL_ALIGN_INSIDE;
        default: {
            Fl_Align a = FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_TOP;
            return c.bounds().height >= 2 * fl_height(w.labelfont(), w.labelsize()) ? a | FL_ALIGN_WRAP : a;
        }
    }
}

const char *symbol(Icon icon) {
    switch (icon) {
        case Icon::Play:
            return "@>";
        case Icon::Stop:
            return "@square";
        case Icon::FastForward:
            return "@>>";
        case Icon::Rewind:
            return "@<<";
        case Icon::NoIcon:
            break;
    }
    return nullptr;
}

// An edit field: its text and focus go into the model.
class FieldInput : public Fl_Input {
public:
    FieldInput(int x, int y, int w, int h, Control &c) : Fl_Input(x, y, w, h), control_(c) {
        when(FL_WHEN_CHANGED);
        callback(
            [](Fl_Widget *wd, void *d) { static_cast<Control *>(d)->setText(static_cast<Fl_Input *>(wd)->value()); },
            &c);
    }
    int handle(int e) override {
        if (e == FL_FOCUS) control_.setFocus();
        if (e == FL_UNFOCUS && control_.hasFocus()) control_.window().setFocus(nullptr);
        return Fl_Input::handle(e);
    }

private:
    Control &control_;
};

void pushControl(Fl_Widget *, void *d) { static_cast<Control *>(d)->push(); }

Fl_Widget *makeButton(Control &c, int x, int y, int w, int h) {
    auto *b = new Fl_Button(x, y, w, h);
    b->callback(pushControl, &c);
    if (c.kind() == ControlKind::BevelButton) b->box(FL_THIN_UP_BOX);
    b->clear_visible_focus();
    return b;
}
void showButton(Control &c, Fl_Widget *w) {
    if (const char *s = symbol(c.icon)) w->label(s);
    else w->copy_label(c.caption().c_str());
}

Fl_Widget *makeRadio(Control &c, int x, int y, int w, int h) {
    auto *b = new Fl_Round_Button(x, y, w, h);
    b->type(FL_RADIO_BUTTON);
    b->callback(pushControl, &c);
    b->clear_visible_focus();
    return b;
}
void showRadio(Control &c, Fl_Widget *w) {
    w->copy_label(c.caption().c_str());
    static_cast<Fl_Round_Button *>(w)->value(c.value() == 1);
}

Fl_Widget *makeSlider(Control &c, int x, int y, int w, int h) {
    auto *s = new SliderWidget(c, x, y, w, h);
    s->type(FL_HOR_NICE_SLIDER);
    s->step(1);
    s->callback(
        [](Fl_Widget *wd, void *d) { static_cast<Control *>(d)->setValue(int(static_cast<Fl_Slider *>(wd)->value())); },
        &c);
    s->clear_visible_focus();
    return s;
}
void showSlider(Control &c, Fl_Widget *w) {
    auto *s = static_cast<Fl_Slider *>(w);
    s->bounds(c.minimum(), c.maximum());
    s->value(c.value());
}

Fl_Widget *makePopup(Control &c, int x, int y, int w, int h) {
    auto *ch = new MenuWidget<Fl_Choice>(x, y, w, h);
    ch->callback(
        [](Fl_Widget *wd, void *d) { static_cast<Control *>(d)->setListIndex(static_cast<Fl_Choice *>(wd)->value()); },
        &c);
    ch->clear_visible_focus();
    return ch;
}
void showPopup(Control &c, Fl_Widget *w) {
    auto *ch = static_cast<Fl_Choice *>(w);
    if (ch->size() - 1 != int(c.rows().size())) {
        ch->clear();
        for (auto &row : c.rows()) ch->add(escapeMenu(row).c_str());
    }
    ch->value(c.listIndex());
}

Fl_Widget *makeField(Control &c, int x, int y, int w, int h) { return new FieldInput(x, y, w, h, c); }
void showField(Control &c, Fl_Widget *w) {
    auto *in = static_cast<Fl_Input *>(w);
    if (c.text() != in->value()) in->value(c.text().c_str());
}

Fl_Widget *makeProgress(Control &, int x, int y, int w, int h) {
    auto *p = new Fl_Progress(x, y, w, h);
    p->selection_color(FL_BLUE);
    return p;
}
void showProgress(Control &c, Fl_Widget *w) {
    auto *p = static_cast<Fl_Progress *>(w);
    p->minimum(0);
    p->maximum(float(std::max(1, c.maximum())));
    p->value(float(c.value()));
}

Fl_Widget *makeLabel(Control &, int x, int y, int w, int h) { return new Fl_Box(FL_NO_BOX, x, y, w, h, nullptr); }
void showLabel(Control &c, Fl_Widget *w) {
    w->copy_label(c.text().c_str());
    int size = c.textSize ? c.textSize : FL_NORMAL_SIZE;
    w->labelsize(size);
    w->align(align(c, *w));
    // A one-line text in a font wider than the one it was laid out for
    // keeps to its box: its size steps down until it fits.
    if (!(w->align() & FL_ALIGN_WRAP)) {
        fl_font(w->labelfont(), size);
        while (size > 8 && fl_width(c.text().c_str()) > c.bounds().width) fl_font(w->labelfont(), --size);
        w->labelsize(size);
    }
}

Fl_Widget *makeSeparator(Control &, int x, int y, int w, int h) {
    return new Fl_Box(FL_THIN_DOWN_BOX, x, y + h / 2, w, 2, nullptr);
}
Fl_Widget *makePlacard(Control &, int x, int y, int w, int h) {
    return new Fl_Box(FL_THIN_DOWN_BOX, x, y, w, h, nullptr);
}
Fl_Widget *makeGroup(Control &, int x, int y, int w, int h) { return new GroupFrame(x, y, w, h); }
void showGroup(Control &c, Fl_Widget *w) { w->copy_label(c.caption().c_str()); }
Fl_Widget *makeCanvas(Control &c, int x, int y, int w, int h) { return new PictureBox(c, x, y, w, h); }
Fl_Widget *makeWheel(Control &, int x, int y, int w, int h) { return new Wheel(x, y, w, h); }
Fl_Widget *makeRectangle(Control &, int x, int y, int w, int h) { return new Fl_Box(FL_NO_BOX, x, y, w, h, nullptr); }

// The widget of each control kind and what it shows of its control beyond
// geometry, visibility, enabling and font (nullptr: nothing), one row a
// kind in the order of ControlKind.
struct WidgetKind {
    ControlKind kind;
    Fl_Widget *(*make)(Control &c, int x, int y, int w, int h);
    void (*update)(Control &c, Fl_Widget *w);
};

constexpr WidgetKind kWidgetKinds[] = {
    {ControlKind::StaticText, makeLabel, showLabel},    {ControlKind::PushButton, makeButton, showButton},
    {ControlKind::BevelButton, makeButton, showButton}, {ControlKind::Slider, makeSlider, showSlider},
    {ControlKind::PopupMenu, makePopup, showPopup},     {ControlKind::RadioButton, makeRadio, showRadio},
    {ControlKind::EditField, makeField, showField},     {ControlKind::ProgressBar, makeProgress, showProgress},
    {ControlKind::Canvas, makeCanvas, nullptr},         {ControlKind::Placard, makePlacard, nullptr},
    {ControlKind::Rectangle, makeRectangle, nullptr},   {ControlKind::Separator, makeSeparator, nullptr},
    {ControlKind::GroupBox, makeGroup, showGroup},      {ControlKind::ProgressWheel, makeWheel, nullptr},
};

constexpr bool widgetKindsInOrder() {
    for (size_t i = 0; i < std::size(kWidgetKinds); ++i)
        if (size_t(kWidgetKinds[i].kind) != i) return false;
    return std::size(kWidgetKinds) == size_t(ControlKind::ProgressWheel) + 1;
}
static_assert(widgetKindsInOrder(), "one row a control kind, in the order of ControlKind");

const WidgetKind &widgetKind(ControlKind k) { return kWidgetKinds[size_t(k)]; }

// "Cmd+Q" -> Ctrl+Q.
int menuShortcut(const std::string &s) {
    if (s.rfind("Cmd+", 0) != 0 || s.size() != 5) return 0;
    char k = s[4];
    return FL_CTRL | (k >= 'A' && k <= 'Z' ? k - 'A' + 'a' : k);
}

// The application's menu shortcuts from every one of its windows, dialogs
// included, as a menu bar shared by the whole application: FLTK offers a
// shortcut to the focused window's widgets, then here.
int menuShortcutFromAnyWindow(int event) {
    if (event != FL_SHORTCUT || !app() || !app()->menuBar) return 0;
    for (const MenuItem &menu : app()->menuBar->menus())
        for (const MenuItem &item : menu.children) {
            int key = menuShortcut(item.shortcut);
            if (key && Fl::test_shortcut(key)) {
                std::string name = item.name;  // the choice may rebuild the bar
                app()->chooseMenu(name);
                return 1;
            }
        }
    return 0;
}

std::string appTitle() { return app() ? app()->applicationName : std::string(); }

// Once the display has gone away (displayLost) the backend shows nothing
// and touches neither FLTK nor the X connection: the model goes on alone,
// as headless, and every dialog is answered as a quit answers it.
class ScreenBackend : public Backend {
public:
    bool headless() const override { return false; }

    void windowChanged(Window &w) override {
        if (displayLost()) return;
        ScreenWindow *sw = find(w);
        if (!sw) {
            if (!w.visible()) return;
            sw = make(w);
        }
        int top = menuOffset(w);
        sw->copy_label((w.title().empty() ? appTitle() : w.title()).c_str());
        sw->resize(w.left(), w.top(), w.width(), w.height() + top);
        sync(w);
        if (w.visible() && !sw->shown()) sw->show();
        if (!w.visible() && sw->shown()) sw->hide();
        // FLTK gives the window manager its own hints again on a resize.
        if (sw->shown() && !w.closeBox) withoutCloseBox(sw);
        sw->redraw();
        flushSoon();
    }

    void windowClosed(Window &w) override {
        auto it = windows_.find(&w);
        if (it == windows_.end()) return;
        for (auto c = widgets_.begin(); c != widgets_.end();)
            c = &c->first->window() == &w ? widgets_.erase(c) : std::next(c);
        for (auto c = wheels_.begin(); c != wheels_.end();)
            c = &c->first->window() == &w ? wheels_.erase(c) : std::next(c);
        video_.erase(&w);
        if (!displayLost()) {
            it->second->hide();
            screen::deleteWhenOutside(it->second);  // a menu held open may still use its bar
        }
        windows_.erase(it);
    }

    void controlChanged(Control &c) override {
        if (displayLost()) return;
        auto it = widgets_.find(&c);
        if (it != widgets_.end()) update(c, it->second, menuOffset(c.window()));
        flushSoon();
    }

    std::shared_ptr<SurfaceMemory> surfaceMemory(Window &w, int width, int height) override {
        if (displayLost()) return nullptr;
        auto it = video_.find(&w);
        return it == video_.end() ? nullptr : it->second->memoryFor(width, height);
    }

    void surfacePainted(Window &w) override {
        if (displayLost()) return;
        auto it = video_.find(&w);
        if (it == video_.end()) return;
        // Shown at once: a frame is all that changed, and the loop needs
        // no waking for it.
        it->second->follow();
        Fl::flush();
    }

    void menusChanged(MenuBar &) override {}

    void runModal(Window &w) override {
        screen::DialogLoopOnTop onTop;
        runModalLoop([&w] { return w.closed(); });
    }

    DialogAnswer ask(const DialogRequest &r) override {
        if (displayLost()) {
            // Said where the person may still read it, as headless.
            DialogAnswer a = dismissedAnswer(r);
            std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, describeDialog(r, a).c_str());
            return a;
        }
        screen::DialogLoopOnTop onTop;
        // An answer given ahead (by a script) comes first; a person answers the rest.
        if (std::optional<DialogAnswer> given = answers.take(r)) return *given;
        return screen::ask(r, appTitle());
    }

    // Draws what changed on the loop's next pass: the changes of one pass
    // reach the screen together.
    static void flushSoon() {
        static bool posted = false;
        if (posted) return;
        posted = true;
        post([] {
            posted = false;
            if (!displayLost()) Fl::flush();
        });
    }

    // The pump's steady pass (below): the video areas follow controls that
    // came over them or went; the wheels turn about twelve times a second
    // while shown.
    void tick() {
        if (displayLost()) return;
        for (auto &v : video_) v.second->follow();
        for (auto &w : wheels_)
            if (w.first->visible() && w.second->visible_r()) w.second->step();
    }

private:
    ScreenWindow *find(Window &w) {
        auto it = windows_.find(&w);
        return it == windows_.end() ? nullptr : it->second;
    }

    // A window with a menu bar of its own, or one that shows the
    // application's, carries it above its content.
    int menuOffset(const Window &w) const { return w.menuBar || w.hasMenuBar ? kMenuHeight : 0; }

    ScreenWindow *make(Window &w) {
        int top = menuOffset(w);
        auto *sw = new ScreenWindow(w, top);
        sw->begin();
        auto *video = new screen::VideoArea(w, top);
        video_[&w] = video;
        for (auto &c : w.controls()) widgets_[c.get()] = makeWidget(*c, top);
        if (top) makeMenuBar(w, sw->menuNames);
        sw->end();
        if (w.kind() == WindowKind::Floating) sw->set_non_modal();
        if (w.kind() == WindowKind::MovableModal || w.kind() == WindowKind::Modal) sw->set_modal();
        // The close box; Escape closes only dialogs (FLTK's default would
        // close any window); a window without a close box ignores both.
        sw->callback(
            [](Fl_Widget *, void *data) {
                auto *model = static_cast<Window *>(data);
                bool modal = model->kind() == WindowKind::MovableModal || model->kind() == WindowKind::Modal;
                if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape && !modal) return;
                model->requestClose();
            },
            &w);
        windows_[&w] = sw;
        return sw;
    }

    void sync(Window &w) {
        for (auto &c : w.controls()) {
            auto it = widgets_.find(c.get());
            if (it != widgets_.end()) update(*c, it->second, menuOffset(w));
        }
    }

    Fl_Widget *makeWidget(Control &c, int top) {
        Rect r = c.bounds();
        Fl_Widget *widget =
            widgetKind(c.kind()).make(c, r.left, r.top + top, std::max(1, r.width), std::max(1, r.height));
        if (auto *wheel = dynamic_cast<Wheel *>(widget)) wheels_[&c] = wheel;
        widget->tooltip(c.helpTag.empty() ? nullptr : c.helpTag.c_str());
        return widget;
    }

    // What every widget follows of its control, then what its kind shows.
    static void update(Control &c, Fl_Widget *w, int top) {
        Rect r = c.bounds();
        if (c.kind() != ControlKind::Separator)
            w->resize(r.left, r.top + top, std::max(1, r.width), std::max(1, r.height));
        c.visible() ? w->show() : w->hide();
        c.enabled() ? w->activate() : w->deactivate();
        if (c.textSize) w->labelsize(c.textSize);
        if (c.bold) w->labelfont(FL_HELVETICA_BOLD);
        if (auto show = widgetKind(c.kind()).update) show(c, w);
        w->redraw();
    }

    void makeMenuBar(Window &w, std::list<std::string> &names) {
        auto *bar = new MenuWidget<Fl_Menu_Bar>(0, 0, w.width(), kMenuHeight);
        MenuBar *menus = w.menuBar ? w.menuBar : app() ? app()->menuBar : nullptr;
        if (!menus) return;
        for (const MenuItem &menu : menus->menus()) {
            for (const MenuItem &item : menu.children) {
                std::string path = escapeMenu(menu.text) + "/" + escapeMenu(item.text);
                int flags = item.text == "-" ? FL_MENU_INACTIVE : 0;
                if (item.text == "-") continue;
                std::string &name = names.emplace_back(item.name);
                bar->add(
                    path.c_str(), menuShortcut(item.shortcut),
                    [](Fl_Widget *, void *d) {
                        if (app()) app()->chooseMenu(*static_cast<std::string *>(d));
                    },
                    &name, flags);
            }
        }
    }

    // Asks the window manager for no close box: the Motif hints' functions
    // listed one by one (some managers ignore the "all but" form), moving
    // and minimizing only. A manager that keeps its close box anyway
    // (Openbox does) sends a close request the window ignores.
    static void withoutCloseBox(Fl_Window *sw) {
        enum : long { FlagFunctions = 1, FuncMove = 4, FuncMinimize = 8 };
        long hints[5] = {FlagFunctions, FuncMove | FuncMinimize, 0, 0, 0};
        Atom motif = XInternAtom(fl_display, "_MOTIF_WM_HINTS", False);
        XChangeProperty(fl_display, fl_xid(sw), motif, motif, 32, PropModeReplace,
                        reinterpret_cast<unsigned char *>(hints), 5);
    }

    std::map<Window *, ScreenWindow *> windows_;
    std::map<Control *, Fl_Widget *> widgets_;
    std::map<Window *, screen::VideoArea *> video_;
    std::map<Control *, Wheel *> wheels_;
};

}  // namespace

namespace {

// FLTK's own way with the X errors of its connection, which it sets up only
// when it opens the display itself: each is said on stderr, and the program
// goes on (a request on a window that has just gone is harmless).
int warnOfXError(Display *d, XErrorEvent *e) {
    char what[256];
    XGetErrorText(d, e->error_code, what, sizeof what);
    Fl::warning("X error: %s (request %d, resource 0x%lx)", what, int(e->request_code), e->resourceid);
    return 0;
}

}  // namespace

bool useScreenBackend() {
    if (headlessRequested()) return false;
    const char *display = std::getenv("DISPLAY");
    if (!display || !*display) return false;
    // FLTK ends the process when it cannot open the display: try first.
    Display *d = XOpenDisplay(nullptr);
    if (!d) return false;
    XSetErrorHandler(warnOfXError);
    fl_open_display(d);
    FL_NORMAL_SIZE = 12;  // the classic system font size
    auto backend = std::make_unique<ScreenBackend>();
    ScreenBackend *b = backend.get();
    if (!setBackend(std::move(backend))) return false;
    rb::Screen s;
    s.width = Fl::w();
    s.height = Fl::h();
    setMainScreen(s);
    screen::prepareFileDialogs();
    // After GTK's start, which sets its own handler of a lost connection.
    screen::watchForLostDisplay(d);
    screen::runFltkFromLoop(80, [b] { b->tick(); });
    Fl::add_handler(menuShortcutFromAnyWindow);
    return true;
}

}  // namespace rb
