// Small helpers shared by the windows.
#pragma once

class QWidget;

namespace qbank::gui {

// Moves `window` to the centre of the screen it is on (the primary screen before it is shown).
void centre_on_screen(QWidget* window);

// Shows the top-level `window` as one that belongs to `owner`'s window: it stays above it and
// takes its font, while its owner in memory stays whoever created it (no Qt parent is set, so
// a smart pointer can own it alone). Does nothing when `owner` is null.
void attach_to(QWidget* window, QWidget* owner);

}  // namespace qbank::gui
