// The on-screen backend (FLTK) for the window model. Chosen at start when a
// display is there and TAVRIN_HEADLESS is not set; the headless model stays
// the source of truth and the backend only mirrors it.
#pragma once

namespace rb {

// Installs the on-screen backend when a display can be opened and headless
// running was not asked for; false (and the headless backend stays) otherwise.
bool useScreenBackend();

// Whether the display went away while the program ran (its X server ended
// or the connection to it was lost): nothing shows from then on, and the
// application quits as SIGTERM has it quit, saving what it holds first.
bool displayLost();

}  // namespace rb
