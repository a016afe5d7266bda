// The message boxes, message dialogs and file dialogs a person answers on
// screen: FLTK windows of our own (the file dialogs are the desktop's,
// gtk_file_dialogs.cpp), each shown and then waited for in the runtime's
// loop, so that timers, run-loop sources and cooperative threads go on
// while it is open.
#include "desktop/fltk_dialogs.h"

#include "desktop/gtk_file_dialogs.h"

#include <rb/screen.h>
#include <rb/ui.h>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Return_Button.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <memory>
#include <string>

namespace rb::screen {

namespace {

constexpr int kMargin = 16, kGap = 10, kTextWidth = 380, kButtonHeight = 25, kButtonMinWidth = 80;
constexpr int kExplanationSize = 11;

// The size `text` takes in the font, wrapped at kTextWidth.
void measure(const std::string &text, Fl_Font font, int size, int &w, int &h) {
    fl_font(font, size);
    w = kTextWidth;
    h = 0;
    fl_measure(text.c_str(), w, h, 0);
}

int buttonWidth(const std::string &caption) {
    fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
    return std::max(kButtonMinWidth, int(fl_width(caption.c_str())) + 24);
}

Fl_Box *textBox(const std::string &text, Fl_Font font, int size, int x, int y, int w, int h) {
    auto *box = new Fl_Box(FL_NO_BOX, x, y, w, h, nullptr);
    box->copy_label(text.c_str());
    box->labelfont(font);
    box->labelsize(size);
    box->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
    return box;
}

// A message box or message dialog: its text (bold over the explanation when
// there is one) and its buttons, the action button the default.
class MessageWindow {
public:
    MessageWindow(const DialogRequest &r, const std::string &title) : request_(r) {
        bool dialog = r.kind == DialogRequest::MessageDialog;
        Fl_Font font = dialog ? FL_HELVETICA_BOLD : FL_HELVETICA;
        int tw = 0, th = 0, ew = 0, eh = 0;
        measure(r.text, font, FL_NORMAL_SIZE, tw, th);
        if (dialog && !r.explanation.empty()) measure(r.explanation, FL_HELVETICA, kExplanationSize, ew, eh);
        std::string action = r.actionCaption.empty() ? "OK" : r.actionCaption;
        // The default button draws its return mark at its right end.
        int aw = buttonWidth(action) + kButtonHeight,
            cw = dialog && !r.cancelCaption.empty() ? buttonWidth(r.cancelCaption) : 0;
        int buttons = aw + (cw ? cw + kGap : 0);
        int width = std::max({tw, ew, buttons, 200}) + 2 * kMargin;
        int textHeight = th + (eh ? kGap + eh : 0);
        int height = kMargin + textHeight + 2 * kGap + kButtonHeight + kMargin;

        window_ = std::make_unique<Fl_Double_Window>(width, height);
        window_->copy_label(title.c_str());
        window_->begin();
        textBox(r.text, font, FL_NORMAL_SIZE, kMargin, kMargin, width - 2 * kMargin, th);
        if (eh)
            textBox(r.explanation, FL_HELVETICA, kExplanationSize, kMargin, kMargin + th + kGap, width - 2 * kMargin,
                    eh);
        int top = height - kMargin - kButtonHeight;
        auto *ok = new Fl_Return_Button(width - kMargin - aw, top, aw, kButtonHeight);
        ok->copy_label(action.c_str());
        ok->callback([](Fl_Widget *, void *d) { static_cast<MessageWindow *>(d)->answer(false); }, this);
        if (cw) {
            auto *cancel = new Fl_Button(width - kMargin - aw - kGap - cw, top, cw, kButtonHeight);
            cancel->copy_label(r.cancelCaption.c_str());
            cancel->callback([](Fl_Widget *, void *d) { static_cast<MessageWindow *>(d)->answer(true); }, this);
        }
        window_->end();
        window_->set_modal();
        // The close box and Escape: the cancel button where there is one;
        // a box that cannot refuse takes its action.
        window_->callback([](Fl_Widget *, void *d) { static_cast<MessageWindow *>(d)->answer(true); }, this);
    }

    DialogAnswer run() {
        window_->show();
        runModalLoop([this] { return answered_; });
        // A window gone with its display is left as it is: FLTK would ask
        // the dead connection to take it down.
        if (displayLost()) (void)window_.release();
        else window_->hide();
        if (!answered_) return dismissedAnswer(request_);
        return answer_;
    }

private:
    void answer(bool cancel) {
        if (answered_) return;
        answered_ = true;
        bool refused = cancel && !request_.cancelCaption.empty();
        answer_.cancelled = refused;
        answer_.button = refused ? request_.cancelCaption : request_.actionCaption;
    }

    DialogRequest request_;
    std::unique_ptr<Fl_Double_Window> window_;
    DialogAnswer answer_;
    bool answered_ = false;
};

}  // namespace

DialogAnswer ask(const DialogRequest &r, const std::string &title) {
    switch (r.kind) {
        case DialogRequest::Message:
        case DialogRequest::MessageDialog:
            return MessageWindow(r, title).run();
        case DialogRequest::SaveFile:
        case DialogRequest::SelectFolder:
            return chooseFile(r);
    }
    return dismissedAnswer(r);
}

}  // namespace rb::screen
