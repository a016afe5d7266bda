// The dialogs a person answers on screen (fltk_dialogs.cpp).
#pragma once

#include <rb/backend.h>

#include <string>

namespace rb::screen {

// Shows the dialog, titled `title` where it has no title of its own, and
// waits for its answer while the runtime's loop runs; a dialog still open
// when the application quits is closed with dismissedAnswer.
DialogAnswer ask(const DialogRequest &r, const std::string &title);

}  // namespace rb::screen
