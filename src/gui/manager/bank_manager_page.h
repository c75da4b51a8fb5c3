// The commands of the "Bank Manager" tab: loads into the manager bank and the second-generation
// bank, program transfers and sound imports into the main bank, and the WAV exports of the main
// bank's loaded bank file. The page works on the grids and buttons the main window made for the
// tab; each command runs through the window's run_command, which refreshes it afterwards.
#pragma once

#include <QObject>
#include <memory>
#include <utility>

#include "manager/wav_export.h"

class QPushButton;
class QTableView;

namespace qbank {
class bank;
class s2_bank;
}  // namespace qbank

namespace qbank::gui {

class TForm1;
class dialogs;

class bank_manager_page : public QObject {
  Q_OBJECT

 public:
  // Finds the tab's buttons (by object name) and connects them; `form` owns the page.
  bank_manager_page(TForm1& form, dialogs& d, s2_bank& s2);

  // The folder choice used by the exports (default: a directory dialog).
  void set_folder_chooser(folder_chooser choose) { choose_folder_ = std::move(choose); }

  // Pop-up menu of the main list.
  void remove_selected_program();
  // Pop-up menu of the manager list.
  void clear_manager();
  void open_manager_script(int version);
  void load_manager_bank();
  // Pop-up menu of the second-generation list.
  void clear_s2();
  void open_s2_bank();
  // The buttons.
  void execute();
  void execute_one_down();
  void execute_multiple();
  void import_sounds();
  // The exports of the main bank's loaded bank file.
  void export_selected_multisample();
  void export_library();

  // The enable rules of the buttons: the transfers need a file loaded into the manager bank
  // and one row of the manager list selected, or several; the sound import needs a loaded
  // second-generation bank. A button off for want of a file says so in its tool tip.
  void update_buttons();

  QPushButton* ButtonExecute = nullptr;
  QPushButton* ButtonExecuteMoveOneDown = nullptr;
  QPushButton* ButtonExecuteMoveMultiple = nullptr;
  QPushButton* ButtonSampler2Sound = nullptr;

 private:
  // "Exported N files" in the status bar, when the export ran.
  void show_exported(const export_counts& counts);
  // The selected rows of `grid` as top..bottom (the current row when none is selected).
  static std::pair<int, int> selected_range(const QTableView* grid);
  // A load into the manager bank or a reset here forgets the main bank's loaded bank file.
  void forget_loaded_bank_file();
  void set_manager_loaded(bool loaded);
  void set_s2_loaded(bool loaded);

  TForm1& form_;
  dialogs& dialogs_;
  s2_bank& s2_;
  folder_chooser choose_folder_;
  // Whether the bank holds what a load read completely (not its reset values or a part).
  bool manager_loaded_ = false;
  bool s2_loaded_ = false;
};

}  // namespace qbank::gui
