// Answers given ahead for dialogs, and what the headless backend was asked.
#include <rb/operator.h>

namespace rb::op {

void answerNext(Answer a) { backend().answers.push(std::move(a)); }
size_t pendingAnswers() { return backend().answers.size(); }
std::optional<DialogAnswer> scriptedAnswer(const DialogRequest &r) { return backend().answers.take(r); }

std::vector<std::string> messages() {
    std::vector<std::string> out;
    for (const Shown &s : shown()) {
        const DialogRequest &r = s.request;
        if (!r.text.empty()) out.push_back(r.text);
        else if (!r.title.empty()) out.push_back(r.title);
        else if (!r.prompt.empty()) out.push_back(r.prompt);
        else out.push_back(r.actionCaption);
    }
    return out;
}

const std::vector<Shown> &shown() {
    static const std::vector<Shown> none;
    HeadlessBackend *b = headlessBackend();
    return b ? b->shown() : none;
}

const std::vector<std::string> &opened() {
    static const std::vector<std::string> none;
    HeadlessBackend *b = headlessBackend();
    return b ? b->opened() : none;
}

void reset() {
    backend().answers.clear();
    if (HeadlessBackend *b = headlessBackend()) b->forget();
    for (int k = 0; k < 128; ++k) setKeyDown(k, false);
}

}  // namespace rb::op
