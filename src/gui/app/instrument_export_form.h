// "Export Program as Instrument" and "Export ALL Used Programs as Instruments": the choice of
// format, audio copies and folder, then the export of the main bank's programs.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace qbank::gui {

class TForm1;

class instrument_export_form : public QDialog {
  Q_OBJECT
 public:
  instrument_export_form(TForm1& form, const QString& what);

  QComboBox* format_box;   // SFZ, DecentSampler
  QCheckBox* copy_box;     // copy the audio beside the instruments
  QLineEdit* folder_edit;  // the folder written into

 private:
  void update_ok();
  QWidget* ok_;
};

// Exports the current program, or every used program, after the form above.
void export_instruments_command(TForm1& form, bool all_used);

}  // namespace qbank::gui
