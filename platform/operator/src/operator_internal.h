// What the operator's source files share: failing with a reason, finding a
// window or control by name, and running an action.
#pragma once

#include <rb/ui.h>

#include <string>

namespace rb::op::detail {

// Records the reason for lastError(); returns false.
bool fail(const std::string &why);
// The open window of that class, or nullptr (and the reason recorded).
Window *windowNamed(const std::string &cls);
Control *controlNamed(const std::string &cls, const std::string &name);

// After every action: free the windows it closed.
template <class F> bool act(F &&f) {
    bool ok = f();
    collectClosedWindows();
    return ok;
}

}  // namespace rb::op::detail
