#include "script_line.h"

#include <cstdlib>

namespace rb::op::detail {

namespace {
bool blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
}  // namespace

ScriptLine::ScriptLine(std::string line) : text(std::move(line)) {
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && blank(text[i])) ++i;
        if (i >= text.size()) break;
        size_t j = i;
        while (j < text.size() && !blank(text[j])) ++j;
        at.push_back(i);
        words.push_back(text.substr(i, j - i));
        i = j;
    }
}

std::string ScriptLine::rest(size_t i) const {
    if (i >= words.size()) return {};
    std::string r = text.substr(at[i]);
    while (!r.empty() && blank(r.back())) r.pop_back();
    return r;
}

bool number(const std::string &s, int &v) {
    if (s.empty()) return false;
    char *end = nullptr;
    long n = std::strtol(s.c_str(), &end, 10);
    if (*end || n < -1000000000L || n > 1000000000L) return false;
    v = int(n);
    return true;
}

}  // namespace rb::op::detail
