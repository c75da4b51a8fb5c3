// `TForm1`: the main window. It owns the main bank and the manager bank for the whole run,
// shows them in the four tabs of `PageControl1`, dispatches the menu commands and mirrors the
// bank into every control with refresh() after each command.
#pragma once

#include <QMainWindow>
#include <QSize>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/gui_host.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QTimer;
class QPlainTextEdit;
class QTabWidget;
class QTableView;
class QUndoStack;

namespace qbank {
class bank;
class s2_bank;
}  // namespace qbank

namespace qbank::gui {

class bank_manager_page;
class dialogs;
class file_slots_model;
class find_bar;
class multisample_editor;
class name_grid_model;
class player_tab;
class program_tab;
class zone_list_model;
class recovery_file;
struct recent_file;

inline constexpr int bank_manager_tab = 2;

// The smallest client area of the main window, in pixels: the size the tabs were drawn for.
inline constexpr QSize minimum_client_size{918, 657};

// The tool tip of every control and menu item whose feature is not built yet.
inline constexpr const char* not_available_yet = "Not available yet";
// The tool tip of File, "Open Recent" while it is empty.
inline constexpr const char* no_recent_files = "No recent files";

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // `d` answers the dialogs (null: the real ones). `progress` receives the splash percentages
  // of the creation steps.
  explicit TForm1(
      dialogs* d = nullptr, std::function<void(std::uint8_t)> progress = [](std::uint8_t) {});
  ~TForm1() override;

  // Copies the whole bank into the window (see the steps in the source).
  void refresh();

  // Runs one command: a failure hides the progress window and goes to the error display; the
  // window is refreshed afterwards either way. A command started while one runs is ignored.
  // What the command changed in the main bank becomes one undo step named `what` (the caption
  // of its menu item or button; "Edit" when none is given). Opening or clearing the bank
  // starts a new history.
  void run_command(const std::function<void()>& command, const QString& what = QString());
  // The status bar shows the result of the last command: the text the command gave here
  // ("Saved Demo.qbs"; only while it runs), else the first line of its last message or the title
  // of its last report, else whether it changed the bank; a failure shows the error.
  void set_status(const QString& result);
  QString status_text() const;

  // Undo history of the main bank. Every change made to the main bank outside run_command
  // (the program tab writes its controls straight into the current program) belongs to the
  // step that is open between commands; record_edit() closes that step into the history as
  // "Undo <what>" and opens the next. Edits with the same merge_id >= 0 recorded one after the
  // other become one step: give every press-drag-release (or typing run) of a control its own
  // id, for instance a counter bumped at each press, and record after each change; -1 never
  // merges. Changes not recorded this way are recorded as "Edit" before the next command,
  // undo or redo. Nothing happens while a command runs (run_command records that).
  void record_edit(const QString& what, int merge_id = -1);
  // The program's start, once the window shows: when the last run ended without a clean save
  // or exit, offers its recovery script back (Yes loads it as a bank with unsaved changes; No
  // removes it); from then on changes not saved are kept in a recovery script.
  void start_recovery();
  QUndoStack* history() const { return history_; }
  QAction* undo_action() const { return undo_action_; }
  QAction* redo_action() const { return redo_action_; }
  // Undo (or redo) the newest (next) step and refresh the window.
  void undo_step(bool redo);

  bank& main_bank() { return *main_; }
  bank& manager_bank() { return *manager_; }
  s2_bank& s2() { return *s2_; }
  bank_manager_page* manager_page() const { return manager_page_; }
  gui_host& host() { return *host_; }
  // The file dialogs and message boxes of the window (scripted in tests).
  dialogs& dialog_boxes() { return *dialogs_; }
  int current_program() const { return current_program_; }
  int current_multisample() const { return current_multisample_; }
  int current_manager_program() const { return current_manager_program_; }

  QTabWidget* PageControl1 = nullptr;
  QTableView* StringGridBlends = nullptr;
  QTableView* StringGridMultisamples = nullptr;
  QTableView* StringGridFiles = nullptr;
  QTableView* StringGridBlendsORG = nullptr;
  QTableView* StringGridBlendsMNG = nullptr;
  QTableView* StringGridS2Sounds = nullptr;
  QComboBox* ComboBoxAudioOut = nullptr;
  QPlainTextEdit* MemoComment = nullptr;
  QLabel* LabelLibraryCommonPath = nullptr;

  program_tab* programs() const { return program_tab_; }
  multisample_editor* multisamples_editor() const { return multisample_editor_; }
  player_tab* player() const { return player_.get(); }
  zone_list_model* zone_lists_model() const { return zone_model_; }
  // A menu item by its caption; the first in menu order when a caption repeats.
  QAction* action(const QString& caption) const;
  // The captions of the items that are present but not yet usable.
  const std::vector<QString>& pending_items() const { return pending_; }
  // The context menus by grid name ("StringGridBlends", ...).
  QMenu* context_menu(const QString& grid) const;
  // The find lines above the programs and the multisamples grids.
  find_bar* program_finder() const { return find_programs_; }
  find_bar* multisample_finder() const { return find_multisamples_; }

  // The commands of the File, Edit and Tools menus that act on files and the loaded name.
  void clear_all();
  void open_script_command(int version);
  void save_script_command();
  // File, "Save": the script goes back to the script it was read from (or last saved to);
  // without one, asks where as save_script_command does.
  void save_loaded_script_command();
  void open_bank_command();
  // Opens a file named on the command line (or by the system's file association): a bank file
  // (.qbb) is read as a bank, anything else as a script of the current layout.
  void open_file_command(const std::filesystem::path& path);
  void save_bank_command();
  void read_system_settings_command();
  void save_system_settings_command();
  void calculate_size_command();
  void reform_loaded_name_command();
  // File, "Open Recent": opens `file` as it was opened before (through the save question); a
  // file no longer there is reported and taken off the list.
  void open_recent(const recent_file& file);

 private:
  void build_menus();
  QWidget* build_multisamples_tab();
  QWidget* build_manager_tab(const std::function<void(std::uint8_t)>& progress);
  QWidget* build_sd_card_tab();
  // A menu item running `command` through run_command; its undo step is named `what`, or the
  // caption when `what` is empty.
  QAction* add_item(QMenu* menu, const QString& caption, std::function<void()> command,
                    const QString& what = QString());
  void attach_context_menu(QTableView* grid, QMenu* menu);
  void build_undo_items(QMenu* edit);
  // "Find..." (Ctrl+F): opens the find line of the multisamples grid on its tab, else the one of
  // the programs grid.
  void build_find_item(QMenu* edit);
  // Fills File, "Open Recent" with the recent files, most recent first, and "Clear Recent".
  void show_recent_files();
  // `path` was opened with script layout `version` (0: as a bank file) or saved as a script.
  void remember_recent(const std::filesystem::path& path, int version);
  // Closes the main bank's open step into the history (or clears the history when the bank
  // was replaced) and opens the next step.
  // True when the bank changed (a step was pushed or the history restarted).
  bool close_step(const QString& what, int merge_id);
  void build_status_bar();
  // What run_command shows for a command named `what` that ended without an error.
  QString command_result(const QString& what, bool changed) const;
  // Before the bank is replaced or the window closes: with changes not saved as a script or
  // built, asks "Save changes to NAME?"; Save saves the script (to the loaded script, or where
  // the user says). False when the user cancels (or a save did not happen): stop there.
  bool keep_or_discard_changes();
  // True when the main bank holds changes not yet saved as a script or built.
  bool bank_modified();
  void show_title();
  void closeEvent(QCloseEvent* event) override;
  // Writes the recovery script when there are changes it does not hold yet.
  void write_recovery();
  // Drops the oldest steps while the history holds more than history_limit_bytes.
  void trim_history();

  std::unique_ptr<bank> main_;
  std::unique_ptr<bank> manager_;
  std::unique_ptr<s2_bank> s2_;
  bank_manager_page* manager_page_ = nullptr;
  std::unique_ptr<dialogs> own_dialogs_;
  dialogs* dialogs_;
  std::unique_ptr<gui_host> host_;

  zone_list_model* zone_model_ = nullptr;
  name_grid_model* programs_model_ = nullptr;
  name_grid_model* multisamples_model_ = nullptr;
  name_grid_model* main_bank_model_ = nullptr;
  name_grid_model* manager_model_ = nullptr;
  name_grid_model* s2_model_ = nullptr;
  file_slots_model* slots_model_ = nullptr;
  program_tab* program_tab_ = nullptr;
  multisample_editor* multisample_editor_ = nullptr;
  std::unique_ptr<player_tab> player_;

  std::vector<QAction*> actions_;
  std::vector<QString> pending_;
  std::vector<std::pair<QString, QMenu*>> context_menus_;
  QAction* show_note_number_ = nullptr;
  QMenu* recent_menu_ = nullptr;
  QUndoStack* history_ = nullptr;
  QAction* undo_action_ = nullptr;
  QAction* redo_action_ = nullptr;
  find_bar* find_programs_ = nullptr;
  find_bar* find_multisamples_ = nullptr;

  int current_program_ = 0;
  int current_multisample_ = 1;
  int current_manager_program_ = 0;
  bool refreshing_ = false;
  bool command_running_ = false;
  bool saved_in_command_ = false;
  QLabel* status_ = nullptr;
  QString result_;  // set_status() of the running command  // the running command saved the script:
                    // the bank is clean
  std::unique_ptr<recovery_file> recovery_;
  QTimer* recovery_timer_ = nullptr;  // runs while changes wait to be written to recovery_
  bool recovery_on_ = false;
};

}  // namespace qbank::gui
