// Running operator scripts: at once (tests), or from the program's event
// loop (TAVRIN_SCRIPT).
#include "commands.h"

#include <rb/loop.h>
#include <rb/operator.h>
#include <rb/runtime.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace rb::op {

namespace {

using detail::execute;
using detail::Outcome;

std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string l;
    while (std::getline(in, l)) out.push_back(l);
    return out;
}

void quitWith(int code) {
    if (app()) app()->quit(code);
    else rb::quit(code);
}

struct ScriptRun {
    std::vector<std::string> lines;
    size_t next = 0;
};

// Runs commands up to the next wait (then goes on from a timed call), a
// failure or the end.
void step(std::shared_ptr<ScriptRun> run) {
    while (run->next < run->lines.size()) {
        Outcome o;
        bool ok = execute(run->lines[run->next++], o);
        writeOwnLines(o.out);
        if (!ok) {
            std::fprintf(stderr, "script line %zu: %s\n", run->next, lastError().c_str());
            quitWith(1);
            return;
        }
        if (o.stop) return;
        if (o.waitMs >= 0) {
            postAfter(o.waitMs, [run] { step(run); });
            return;
        }
    }
    if (app() && !app()->quitting()) app()->quit(0);
}

}  // namespace

bool runScript(const std::string &text, std::string &out) {
    for (const std::string &l : lines(text)) {
        Outcome o;
        bool ok = execute(l, o);
        out += o.out;
        if (!ok) {
            out += "error: " + lastError() + "\n";
            return false;
        }
        if (o.stop) break;
        if (o.waitMs >= 0) runFor(o.waitMs);
    }
    return true;
}

namespace {

void startScript(const std::string &path) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "cannot read the operator script %s\n", path.c_str());
        quitWith(1);
        return;
    }
    std::stringstream text;
    text << in.rdbuf();
    auto run = std::make_shared<ScriptRun>();
    run->lines = lines(text.str());
    // The first command runs on the next pass, behind whatever Open posted.
    post([run] { step(run); });
}

}  // namespace

void runScriptFromEnvironment() {
    const char *path = std::getenv("TAVRIN_SCRIPT");
    if (!path || !*path) return;
    // The application's start is posted when it is made: this runs on the
    // same loop pass, after its Open.
    post([p = std::string(path)] { startScript(p); });
}

}  // namespace rb::op
