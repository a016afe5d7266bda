#pragma once

namespace tavrin {

// The start-up steps before the event loop runs: plug-ins registered, the
// entry-point table bound, the application object with its menu bar and
// menu handlers. The caller then runs the loop (RuntimeRun).
void startUp();

}  // namespace tavrin
