// The modal dialog of labelled popup menus that plug-ins ask for
// ("RuntimePopupDialog", rb/plugin_dialog.h), made of the window model's own
// window and controls, so that every backend and the operator work with it.
#include <rb/host.h>
#include <rb/plugin_dialog.h>
#include <rb/ui.h>

#include <string>
#include <vector>

namespace rb {

namespace {

constexpr int kMargin = 12, kLabelWidth = 80, kGap = 8, kPopupWidth = 320, kRowHeight = 20, kRowStep = 30;
constexpr int kButtonWidth = 80, kButtonHeight = 20;
// More rows than a popup menu can sensibly show.
constexpr int32_t kMaxRows = 10000;

std::vector<std::string> rowsOf(const RBDialogPopup &p) {
    std::vector<std::string> rows;
    for (int32_t i = 0; i < p.rowCount; ++i) rows.emplace_back(p.rows[i] ? p.rows[i] : "");
    return rows;
}

bool validPopup(const RBDialogPopup &p) {
    return p.name && *p.name && p.rows && p.rowCount > 0 && p.rowCount <= kMaxRows;
}

bool valid(const RBPopupDialog *d) {
    if (!d || !d->windowName || !*d->windowName || !d->closed || !d->popups || d->popupCount < 1 || d->popupCount > 32)
        return false;
    for (int32_t i = 0; i < d->popupCount; ++i)
        if (!validPopup(d->popups[i])) return false;
    return true;
}

class PopupDialog : public Window {
public:
    explicit PopupDialog(RBPopupDialog *d)
        : Window(d->windowName, WindowKind::MovableModal, d->title ? d->title : "",
                 2 * kMargin + kLabelWidth + kGap + kPopupWidth,
                 2 * kMargin + d->popupCount * kRowStep + kButtonHeight),
          d_(d) {
        for (int32_t i = 0; i < d->popupCount; ++i) {
            const RBDialogPopup &p = d->popups[i];
            int top = kMargin + i * kRowStep;
            Control &label =
                add(ControlKind::StaticText, std::string(p.name) + "Label", {kMargin, top, kLabelWidth, kRowHeight});
            label.setText(p.label ? p.label : "");
            label.align = Control::AlignRight;
            Control &popup =
                add(ControlKind::PopupMenu, p.name, {kMargin + kLabelWidth + kGap, top, kPopupWidth, kRowHeight});
            popup.on("Change", [this, i] { changed(i); });
            popups_.push_back(&popup);
        }
        int top = height() - kMargin - kButtonHeight;
        Control &cancel = add(ControlKind::PushButton, "Cancel",
                              {width() - kMargin - 2 * kButtonWidth - kGap, top, kButtonWidth, kButtonHeight});
        cancel.setCaption("Cancel");
        cancel.on("Action", [this] { finish(false); });
        Control &ok =
            add(ControlKind::PushButton, "OK", {width() - kMargin - kButtonWidth, top, kButtonWidth, kButtonHeight});
        ok.setCaption("OK");
        ok.isDefault = true;
        ok.on("Action", [this] { finish(true); });
        showRecord();
    }

    // Closed any other way (its close box, the application quitting): as
    // Cancel.
    void Close() override { answer(false); }

private:
    // The popups as the record has them now.
    void showRecord() {
        filling_ = true;
        for (int32_t i = 0; i < d_->popupCount; ++i) {
            const RBDialogPopup &p = d_->popups[i];
            Control &c = *popups_[size_t(i)];
            if (validPopup(p)) {
                std::vector<std::string> rows = rowsOf(p);
                if (rows != c.rows()) {
                    c.removeAllRows();
                    for (const std::string &r : rows) c.addRow(r);
                }
            }
            int selected = p.selected >= 0 && p.selected < int32_t(c.rows().size()) ? p.selected : 0;
            c.setListIndex(selected);
        }
        filling_ = false;
    }

    void changed(int32_t i) {
        if (filling_ || answered_) return;
        d_->popups[i].selected = popups_[size_t(i)]->listIndex();
        if (d_->changed) d_->changed(d_, i);
        showRecord();
    }

    void finish(bool ok) {
        answer(ok);
        close();
    }

    // Tells the plug-in once; the record may be gone after it.
    void answer(bool ok) {
        if (answered_) return;
        answered_ = true;
        for (int32_t i = 0; i < d_->popupCount; ++i) d_->popups[i].selected = popups_[size_t(i)]->listIndex();
        RBPopupDialog *d = d_;
        d_ = nullptr;
        d->closed(d, ok ? 1 : 0);
    }

    RBPopupDialog *d_;
    std::vector<Control *> popups_;
    bool filling_ = false, answered_ = false;
};

// "RuntimePopupDialog"(dialog): shows the dialog modally; false, calling
// nothing, when the record cannot make one.
extern "C" RBBoolean svcPopupDialog(RBPopupDialog *d) {
    if (!valid(d)) return 0;
    Window *parent = frontWindow();
    std::shared_ptr<PopupDialog> w = newWindow<PopupDialog>(d);
    w->showModalWithin(parent ? *parent : *w);
    return 1;
}
RB_SERVICE("RuntimePopupDialog", svcPopupDialog);

}  // namespace

}  // namespace rb
