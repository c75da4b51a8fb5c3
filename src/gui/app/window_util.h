// Small helpers shared by the windows.
#pragma once

class QWidget;

namespace qbank::gui {

// Moves `window` to the centre of the screen it is on (the primary screen before it is shown).
void centre_on_screen(QWidget* window);

}  // namespace qbank::gui
