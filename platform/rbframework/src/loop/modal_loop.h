// Modal waits (modal_loop.cpp): every dialog waits for its answer in
// rb::runModalLoop (rb/backend.h), the loop running on; a cooperative thread
// that asks for one waits parked for the main thread's answer.
#pragma once

#include <rb/backend.h>

#include <functional>

namespace rb::core {

// Runs `show` (a dialog shown and waited for in runModalLoop) on the main
// thread and returns its answer. Called from a cooperative thread, the
// thread waits parked, the others running, until the main thread hands it
// the answer; the dialog's modal loop then also ends once a quit is asked
// for (dismissThreadDialogs), even a quit that waits for this thread.
DialogAnswer answerOnMainThread(std::function<DialogAnswer()> show);

// Ends the modal loops of the dialogs that cooperative threads wait on
// (a quit asks for this before it asks the windows whether they close).
void dismissThreadDialogs();

}  // namespace rb::core
