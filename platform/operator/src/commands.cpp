// The command table of operator scripts.
#include "commands.h"

#include "operator_internal.h"
#include "script_line.h"

#include <rb/loop.h>
#include <rb/operator.h>

#include <cstdint>
#include <exception>
#include <span>

namespace rb::op::detail {

namespace {

// A command's run: the line's words (words[0] is the command), and what it
// asks of the script. False: it failed (lastError() says why), or its words
// do not read (`usage` is set).
struct Call {
    const ScriptLine &line;
    Outcome &outcome;
    bool usage = false;
    const std::string &word(size_t i) const { return line.words[i]; }
    size_t args() const { return line.words.size() - 1; }
    bool badUsage() {
        usage = true;
        return false;
    }
    // Word i as a number, within [lo, hi].
    bool number(size_t i, int &v, int lo = INT32_MIN, int hi = INT32_MAX) {
        return detail::number(word(i), v) && v >= lo && v <= hi;
    }
};

constexpr size_t kRest = SIZE_MAX;  // takes the rest of the line

struct Command {
    const char *name;
    size_t minArgs, maxArgs;  // words after the name
    bool (*run)(Call &c);
};

bool runClick(Call &c) { return click(c.word(1), c.args() == 2 ? c.word(2) : ""); }

bool runType(Call &c) { return type(c.word(1), c.word(2), c.line.rest(3)); }

bool runSlider(Call &c) {
    int v = 0;
    return c.number(3, v) ? setSlider(c.word(1), c.word(2), v) : c.badUsage();
}

bool runExit(Call &c) { return mouseExit(c.word(1), c.word(2)); }

bool runSelect(Call &c) {
    int row = 0;
    return c.number(3, row) ? selectRow(c.word(1), c.word(2), row) : c.badUsage();
}

bool runMenu(Call &c) { return chooseMenu(c.word(1)); }

bool runClose(Call &c) { return closeWindow(c.word(1)); }

bool runKey(Call &c) {
    int code = 0;
    if (!c.number(2, code, 0, 127)) return c.badUsage();
    if (c.word(1) == "down") keyDown(code);
    else if (c.word(1) == "up") keyUp(code);
    else return c.badUsage();
    return true;
}

bool runActive(Call &c) {
    int on = 0;
    if (!c.number(1, on)) return c.badUsage();
    setActive(on != 0);
    return true;
}

bool runAnswer(Call &c) {
    const std::string &kind = c.word(1);
    bool more = c.args() > 1;
    if (kind == "ok") answerOK();
    else if (kind == "cancel") answerCancel();
    else if (kind == "button" && more) answerButton(c.line.rest(2));
    else if (kind == "file" && more) answerFile(c.line.rest(2));
    else if (kind == "folder" && more) answerFolder(c.line.rest(2));
    else return c.badUsage();
    return true;
}

bool runWait(Call &c) {
    int ms = 0;
    if (!c.number(1, ms, 0)) return c.badUsage();
    c.outcome.waitMs = ms;
    return true;
}

bool runDump(Call &c) {
    if (!findWindow(c.word(1))) return fail("no open window " + c.word(1));
    c.outcome.out += dump(c.word(1));
    return true;
}

bool runQuit(Call &c) {
    int code = 0;
    if (c.args() == 1 && !c.number(1, code)) return c.badUsage();
    c.outcome.stop = true;
    if (app()) app()->quit(code);
    else rb::quit(code);
    collectClosedWindows();
    return true;
}

constexpr Command kCommands[] = {
    {"click", 1, 2, runClick},   {"type", 2, kRest, runType},     {"slider", 3, 3, runSlider}, {"exit", 2, 2, runExit},
    {"select", 3, 3, runSelect}, {"menu", 1, 1, runMenu},         {"close", 1, 1, runClose},   {"key", 2, 2, runKey},
    {"active", 1, 1, runActive}, {"answer", 1, kRest, runAnswer}, {"wait", 1, 1, runWait},     {"dump", 1, 1, runDump},
    {"quit", 0, 1, runQuit},
};

const Command *find(const std::string &name) {
    for (const Command &c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

}  // namespace

bool execute(const std::string &text, Outcome &o) {
    o = Outcome{};
    ScriptLine line(text);
    if (line.blankOrComment()) return true;
    const Command *cmd = find(line.words[0]);
    if (!cmd) return fail("unknown command: " + text);
    size_t args = line.words.size() - 1;
    if (args < cmd->minArgs || args > cmd->maxArgs) return fail("cannot read: " + text);
    Call call{line, o};
    try {
        if (cmd->run(call)) return true;
    } catch (const std::exception &e) {
        return fail(text + ": " + e.what());
    } catch (...) {
        return fail(text + ": an exception");
    }
    return call.usage ? fail("cannot read: " + text) : false;
}

}  // namespace rb::op::detail
