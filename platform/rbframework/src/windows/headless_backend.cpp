// The headless backend and the queue of answers given ahead (rb/backend.h).
#include <rb/backend.h>
#include <rb/loop.h>

namespace rb {

namespace {

bool isFileDialog(const DialogRequest &r) {
    return r.kind == DialogRequest::SaveFile || r.kind == DialogRequest::SelectFolder;
}

}  // namespace

std::optional<DialogAnswer> AnswerQueue::take(const DialogRequest &r) {
    if (queue_.empty()) return std::nullopt;
    bool fileDialog = isFileDialog(r);
    Answer::Kind k = queue_.front().kind;
    bool fits = fileDialog ? (k == Answer::File || k == Answer::Folder || k == Answer::Cancel)
                           : (k == Answer::OK || k == Answer::Button || k == Answer::Cancel);
    if (!fits) return std::nullopt;
    Answer a = std::move(queue_.front());
    queue_.pop_front();
    if (a.afterMs > 0) {
        bool due = false;
        uint64_t timer = postAfter(a.afterMs, [&due] { due = true; });
        runModalLoop([&due] { return due; });
        cancel(timer);
        if (!due) return dismissedAnswer(r);
    }
    DialogAnswer out;
    switch (a.kind) {
        case Answer::OK:
            out.button = r.actionCaption;
            break;
        case Answer::Button:
            out.button = a.text;
            break;
        case Answer::File:
        case Answer::Folder:
            out.path = a.text;
            break;
        case Answer::Cancel:
            out.cancelled = true;
            if (!fileDialog) out.button = r.cancelCaption.empty() ? r.actionCaption : r.cancelCaption;
            break;
    }
    return out;
}

DialogAnswer defaultAnswer(const DialogRequest &r) {
    DialogAnswer out;
    if (isFileDialog(r)) {
        out.cancelled = true;
    } else if (r.cancelByDefault && !r.cancelCaption.empty()) {
        out.cancelled = true;
        out.button = r.cancelCaption;
    } else {
        out.button = r.actionCaption;
    }
    return out;
}

DialogAnswer dismissedAnswer(const DialogRequest &r) {
    DialogAnswer out;
    out.cancelled = true;
    out.dismissed = true;
    if (!isFileDialog(r)) out.button = r.cancelCaption.empty() ? r.actionCaption : r.cancelCaption;
    return out;
}

std::string describeDialog(const DialogRequest &r, const DialogAnswer &a) {
    auto chosen = [&a] { return a.cancelled || a.path.empty() ? std::string("cancelled") : a.path; };
    switch (r.kind) {
        case DialogRequest::Message:
            return "message: " + r.text;
        case DialogRequest::MessageDialog: {
            std::string text = "message: " + r.text;
            if (!r.explanation.empty()) text += " " + r.explanation;
            while (!text.empty() && text.back() == ' ') text.pop_back();
            return text + " [" + (a.button.empty() ? r.actionCaption : a.button) + "]";
        }
        case DialogRequest::SaveFile:
            return "file dialog (" + r.title + "): " + chosen();
        case DialogRequest::SelectFolder:
            return "folder dialog (" + r.actionCaption + "): " + chosen();
    }
    return "dialog: " + r.text;
}

DialogAnswer HeadlessBackend::ask(const DialogRequest &r) {
    std::optional<DialogAnswer> queued = answers.take(r);
    DialogAnswer a = queued ? *queued : defaultAnswer(r);
    shown_.push_back({r, a});
    if (echo_) echo_(describeDialog(r, a));
    return a;
}

std::function<void(const std::string &)> HeadlessBackend::urlHandler() {
    return [this](const std::string &url) { opened_.push_back(url); };
}

void HeadlessBackend::forget() {
    answers.clear();
    shown_.clear();
    opened_.clear();
}

}  // namespace rb
