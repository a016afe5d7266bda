// The on-screen backend (FLTK) for the window model. Chosen at start when a
// display is there and TAVRIN_HEADLESS is not set; the headless model stays
// the source of truth and the backend only mirrors it.
#pragma once

namespace rb {

// Installs the on-screen backend when a display can be opened and headless
// running was not asked for; false (and the headless backend stays) otherwise.
bool useScreenBackend();

}  // namespace rb
