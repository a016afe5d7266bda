// The operator's script commands: one row each in a table of name, arity
// and the function that runs it.
#pragma once

#include <string>

namespace rb::op::detail {

// What a command asks of the script that runs it.
struct Outcome {
    std::string out;    // what it shows (dumps)
    int waitMs = -1;    // >= 0: run the loop that long before the next command
    bool stop = false;  // the script ends here
};

// Runs one line; false with the reason in lastError() when it cannot be
// read or fails. Blank lines and comments do nothing.
bool execute(const std::string &line, Outcome &o);

}  // namespace rb::op::detail
