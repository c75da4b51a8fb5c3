// The File menu's "Import Instrument (SFZ, SF2, DecentSampler, Bitwig, WAV folder)...": the
// import dialog, then the instrument imported onto the current program with the progress
// window and the report.
#pragma once

class QWidget;

namespace qbank::gui {

class TForm1;
struct instrument_import_choice;

inline constexpr const char* import_instrument_caption =
    "Import Instrument (SFZ, SF2, DecentSampler, Bitwig, WAV folder)...";

// Runs the command on `form`'s main bank; the dispatcher makes it one undo step and refreshes.
void import_instrument_command(TForm1& form);

// The dialog itself (the real one behind qt_dialogs): instrument file or folder, fill mode,
// SoundFont preset, target folder. False when cancelled.
bool run_instrument_import_dialog(QWidget* parent, const char* title,
                                  instrument_import_choice& choice);

}  // namespace qbank::gui
