// The File, Edit and Tools commands that read and write the main bank's files. Each runs
// inside run_command, which shows a failure and refreshes the window afterwards.
#include <QMenu>

#include "app/dialogs.h"
#include "app/main_form.h"
#include "app/settings.h"
#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/bank_reader.h"
#include "bank/param_file.h"
#include "bank/script_file.h"
#include "platform/paths.h"

namespace qbank::gui {

namespace {

QString script_filter() {
  return dialog_filter(QStringLiteral("Quorvatek Samplers SCRIPT file"), QStringLiteral("qbs"));
}

QString bank_filter() {
  return dialog_filter(QStringLiteral("Quorvatek Samplers BANK file"), QStringLiteral("qbb"));
}

QString parameter_filter() {
  return dialog_filter(QStringLiteral("Quorvatek Samplers System parameter file"),
                       QStringLiteral("qsp"));
}

}  // namespace

void TForm1::clear_all() {
  if (!keep_or_discard_changes()) return;
  if (!host_->ask("Are You Sure ?", "Clear ALL")) return;
  main_->reset();
}

void TForm1::open_script_command(int version) {
  if (!keep_or_discard_changes()) return;
  const auto path = dialogs_->choose_open_file(
      QStringLiteral("Open Quorvatek Samplers SCRIPT file!"), script_filter());
  if (!path) return;
  open_script(*main_, *path, version, *host_);
  set_status(QStringLiteral("Opened ") + file_name_of(*path));
  remember_recent(*path, version);
}

void TForm1::save_script_command() {
  const auto path = dialogs_->choose_save_file(
      QStringLiteral("Save all data as Quorvatek Samplers SCRIPT file!"), script_filter());
  if (!path) return;
  validate_and_save_script(*main_, *path, *host_);
  saved_in_command_ = true;
  set_status(QStringLiteral("Saved ") + file_name_of(*path));
  remember_recent(*path, 6);
}

void TForm1::save_loaded_script_command() {
  // A bank read from a script goes back to it; anything else asks where.
  const std::string loaded = main_->loaded_file_name();
  if (!has_extension(loaded, ".qbs")) {
    save_script_command();
    return;
  }
  const std::filesystem::path path = path_from_utf8(loaded);
  validate_and_save_script(*main_, path, *host_);
  saved_in_command_ = true;
  remember_recent(path, 6);
  set_status(QStringLiteral("Saved ") + file_name_of(path));
}

void TForm1::open_bank_command() {
  if (!keep_or_discard_changes()) return;
  const auto path = dialogs_->choose_open_file(QStringLiteral("Read Quorvatek Samplers BANK file!"),
                                               bank_filter());
  if (!path) return;
  if (open_bank_file(*main_, *path, *host_)) {
    set_status(QStringLiteral("Opened ") + file_name_of(*path));
    remember_recent(*path, 0);
  }
}

void TForm1::save_bank_command() {
  const auto path = dialogs_->choose_save_file(
      QStringLiteral("Save all data as Quorvatek Samplers BANK file!"), bank_filter());
  if (!path) return;
  host_->changes_files_on_disk();
  // The script is saved before the build, whatever the build then finds.
  const bool built = save_script_and_build(*main_, *path, *host_);
  saved_in_command_ = true;
  if (built) set_status(QStringLiteral("Built ") + file_name_of(*path));
}

void TForm1::read_system_settings_command() {
  const auto path = dialogs_->choose_open_file(
      QStringLiteral("Read Quorvatek Samplers System Parameters from file!"), parameter_filter());
  if (!path) return;
  read_system_parameters(*main_, *path, *host_);
  set_status(QStringLiteral("Read ") + file_name_of(*path));
}

void TForm1::save_system_settings_command() {
  const auto path = dialogs_->choose_save_file(
      QStringLiteral("Save Quorvatek Samplers System Parameters to file!"), parameter_filter());
  if (!path) return;
  save_system_parameters(*main_, *path, *host_);
  set_status(QStringLiteral("Saved ") + file_name_of(*path));
}

void TForm1::calculate_size_command() {
  calculate_bank_size(*main_, *host_);
}

void TForm1::reform_loaded_name_command() {
  reform_loaded_name(*main_);
}

}  // namespace qbank::gui

namespace qbank::gui {

void TForm1::open_recent(const recent_file& file) {
  if (!std::filesystem::exists(file.path)) {
    remove_recent_file(file.path);
    show_recent_files();
    dialogs_->message(QStringLiteral("%1 is not there any more; it was taken off the recent files.")
                          .arg(QString::fromStdString(path_to_utf8(file.path))),
                      QStringLiteral("Open Recent"));
    return;
  }
  if (!keep_or_discard_changes()) return;
  if (file.script_version == 0)
    open_bank_file(*main_, file.path, *host_);
  else
    open_script(*main_, file.path, file.script_version, *host_);
  remember_recent(file.path, file.script_version);
}

void TForm1::remember_recent(const std::filesystem::path& path, int version) {
  add_recent_file({path, version});
  show_recent_files();
}

void TForm1::show_recent_files() {
  recent_menu_->clear();
  const std::vector<recent_file> files = read_recent_files();
  int n = 0;
  for (const recent_file& file : files) {
    // "&1 Demo.qbs  (/home/me/QbankDemo)": the number is the item's key.
    const QString name = QString::fromStdString(path_to_utf8(file.path.filename()));
    const QString folder = QString::fromStdString(path_to_utf8(file.path.parent_path()));
    QAction* item =
        recent_menu_->addAction(QStringLiteral("&%1 %2  (%3)").arg(++n).arg(name, folder));
    item->setToolTip(QString::fromStdString(path_to_utf8(file.path)));
    connect(item, &QAction::triggered, this,
            [this, file] { run_command([this, file] { open_recent(file); }, QString()); });
  }
  if (!files.empty()) recent_menu_->addSeparator();
  QAction* clear = recent_menu_->addAction(QStringLiteral("Clear Recent"));
  connect(clear, &QAction::triggered, this, [this] {
    clear_recent_files();
    show_recent_files();
  });
  for (QAction* item : {clear, recent_menu_->menuAction()}) {
    item->setEnabled(!files.empty());
    item->setToolTip(files.empty() ? QString::fromLatin1(no_recent_files) : QString());
  }
}

}  // namespace qbank::gui
