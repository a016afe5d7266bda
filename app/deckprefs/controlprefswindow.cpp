#include "deckprefs/controlprefswindow.h"

namespace tavrin {

ControlPrefswindow::ControlPrefswindow()
    : rb::Window("ControlPrefswindow", rb::WindowKind::MovableModal, "Deck Control Settings", 300, 160) {}

}  // namespace tavrin
