// The editing side of the "Multisamples" tab: multisample names and comments, the file-slot
// grid's commands (remove, add one, add several by note number or name, octave moves, replace
// text in the paths), the two choice menus, WAV files dropped from the desktop, and the library
// common path label. Every change of the bank runs as a command of the main window.
#pragma once

#include <QObject>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "edit/auto_position.h"

class QAction;
class QMimeData;
class QPlainTextEdit;
class QPoint;
class QString;
class QWidget;

namespace qbank::gui {

class TForm1;
class dialogs;

// The text of the comment box as the user sees it, line ends as '\n': unlike toPlainText, a
// non-breaking space stays one.
QString comment_box_text(const QPlainTextEdit& box);

class multisample_editor : public QObject {
  Q_OBJECT

 public:
  // Wires itself to the form's multisamples grid, file-slot grid and comment box.
  multisample_editor(TForm1& form, dialogs& d);

  // The menus' radio groups: criterion items in the order of position_criterion, transpose
  // items in the order of import_transposes.
  void set_choice_items(std::vector<QAction*> criteria, std::vector<QAction*> transposes);
  position_criterion criterion() const;
  std::uint8_t transpose() const;

  // The file-slot grid's commands (run them through the form's run_command).
  void remove_selected();
  void add_one();
  void add_multiple();
  void move_octave(bool up);
  void replace_text();
  // Shows "Library Common Path: " and the library common path in its label.
  void show_common_path();

  // The rows selected in the file-slot grid, ascending.
  std::vector<int> selected_slots() const;

  // WAV files dropped on the file-slot grid at `at` (viewport coordinates): several are placed
  // by name, one goes into the row under `at`; anything else is refused with a message.
  void drop(const QMimeData& data, const QPoint& at);

  static const char* const wav_filter_description;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void place(const std::vector<std::filesystem::path>& files);
  // Takes back what the last change added beyond what the comment holds, from its end.
  void limit_comment();
  void comment_changed();

  TForm1& form_;
  dialogs& dialogs_;
  QWidget* files_viewport_ = nullptr;  // the file-slot grid's viewport, watched for drops
  int changed_at_ = 0;                 // the comment box's last change: where, and how much
  int added_ = 0;                      // it added
  std::vector<QAction*> criteria_;
  std::vector<QAction*> transposes_;
  int comment_step_ = 0;  // bumped when the comment box takes the focus: one typing run, one step
};

}  // namespace qbank::gui
