// The Tools menu's "Conform WAV files for the instrument...": a folder chosen in the folder
// dialog, then conform over the main bank with the progress window and the report.
#pragma once

#include <QString>

namespace qbank::gui {

class TForm1;

inline constexpr const char* conform_caption = "Conform WAV files for the instrument...";

// The greyed item's tool tip where conform cannot run: why, and what the user installs.
QString conform_unavailable_tooltip();

// Runs the command on `form`'s main bank; the window is refreshed by the command dispatcher.
void conform_command(TForm1& form);

}  // namespace qbank::gui
