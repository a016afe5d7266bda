// The desktop's own file and folder dialogs (gtk_file_dialogs.cpp).
#pragma once

#include <rb/backend.h>

namespace rb::screen {

// Brings GTK up on FLTK's display ahead of the first dialog, so that a
// dialog opened during a capture does not wait for it; false when GTK
// cannot open the display (the file dialogs then answer cancelled).
bool prepareFileDialogs();

// Shows GTK's file chooser for a save-file or folder-selection request and
// waits for its answer while the runtime's loop runs; FLTK's windows take
// no clicks or keys meanwhile. A chooser still open when the application
// quits is closed with dismissedAnswer.
DialogAnswer chooseFile(const DialogRequest &r);

}  // namespace rb::screen
