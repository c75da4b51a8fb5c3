// The Tools menu's "Conform WAV files for the instrument...": a folder chosen in the folder
// dialog, then conform over the main bank with the progress window and the report.
#pragma once

#include <QString>
#include <string_view>

namespace qbank::gui {

class TForm1;

inline constexpr const char* conform_caption = "Conform WAV files for the instrument...";

// The greyed item's tool tip where a command that needs libsndfile and libsoxr (conform, the
// instrument import) cannot run: `why` (by default conform's), and what the user installs.
QString conform_unavailable_tooltip(std::string_view why = {});

// Runs the command on `form`'s main bank; the window is refreshed by the command dispatcher.
void conform_command(TForm1& form);

}  // namespace qbank::gui
