// The File, Edit and Tools commands that read and write the main bank's files. Each runs
// inside run_command, which shows a failure and refreshes the window afterwards.
#include "app/dialogs.h"
#include "app/main_form.h"
#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/bank_reader.h"
#include "bank/param_file.h"
#include "bank/script_file.h"

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
}

void TForm1::save_script_command() {
  const auto path = dialogs_->choose_save_file(
      QStringLiteral("Save all data as Quorvatek Samplers SCRIPT file!"), script_filter());
  if (!path) return;
  validate_and_save_script(*main_, *path, *host_);
  saved_in_command_ = true;
  set_status(QStringLiteral("Saved ") + file_name_of(*path));
}

void TForm1::open_bank_command() {
  if (!keep_or_discard_changes()) return;
  const auto path = dialogs_->choose_open_file(QStringLiteral("Read Quorvatek Samplers BANK file!"),
                                               bank_filter());
  if (!path) return;
  if (open_bank_file(*main_, *path, *host_))
    set_status(QStringLiteral("Opened ") + file_name_of(*path));
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
