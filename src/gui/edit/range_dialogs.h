// The range dialogs of the grids' context menus: "Remove Multiple Programs"
// (`TDeleteMultiProgramForm`) and "Remove Multisamples" (`TDeleteMultipleMultisampleForm`). Two
// number fields that stay ordered (raising From above To moves To along, lowering To below From
// moves From along); "Remove..." hands the range to the command, which asks and removes, and
// closes the dialog; "Cancel" closes it with no change.
#pragma once

#include <QDialog>
#include <functional>

class QSpinBox;
class QPushButton;

namespace qbank::gui {

class range_remove_dialog : public QDialog {
  Q_OBJECT

 public:
  // The fields hold low..high and start at `current` (brought into that range).
  range_remove_dialog(QWidget* parent, const QString& caption, const QString& from_label,
                      const QString& to_label, int low, int high, int current);

  // Called by "Remove..." with From and To before the dialog closes.
  std::function<void(int, int)> on_remove;

  QSpinBox* from_field() const { return from_; }
  QSpinBox* to_field() const { return to_; }
  QPushButton* remove_button() const { return remove_; }
  QPushButton* cancel_button() const { return cancel_; }

 private:
  QSpinBox* from_;
  QSpinBox* to_;
  QPushButton* remove_;
  QPushButton* cancel_;
};

class TDeleteMultiProgramForm : public range_remove_dialog {
  Q_OBJECT

 public:
  // Programs 0..9998, both fields at `current_program`.
  TDeleteMultiProgramForm(QWidget* parent, int current_program);
};

class TDeleteMultipleMultisampleForm : public range_remove_dialog {
  Q_OBJECT

 public:
  // Multisamples 1..2047 (the range the instrument's first banks held), both fields at
  // `current_multisample` brought into it.
  TDeleteMultipleMultisampleForm(QWidget* parent, int current_multisample);
};

}  // namespace qbank::gui
