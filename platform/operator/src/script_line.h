// One line of an operator script, split into words.
#pragma once

#include <string>
#include <vector>

namespace rb::op::detail {

struct ScriptLine {
    std::string text;
    std::vector<std::string> words;
    std::vector<size_t> at;  // where each word starts in text

    // Splits at spaces, tabs and carriage returns.
    explicit ScriptLine(std::string line);
    // The line from word i on, trailing blanks dropped ("" past the end):
    // texts and paths with spaces in them.
    std::string rest(size_t i) const;
    bool blankOrComment() const { return words.empty() || words[0][0] == '#'; }
};

// A decimal integer within +-1e9, the whole word; false otherwise.
bool number(const std::string &s, int &v);

}  // namespace rb::op::detail
