#include "manager/bank_manager_page.h"

#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <algorithm>

#include "app/dialogs.h"
#include "app/grid_view.h"
#include "app/main_form.h"
#include "bank/bank.h"
#include "bank/bank_reader.h"
#include "bank/script_file.h"
#include "manager/program_transfer.h"
#include "manager/s2_bank.h"

namespace qbank::gui {
namespace {

QString transferred_text(int programs) {
  return programs == 1 ? QStringLiteral("Transferred 1 program")
                       : QStringLiteral("Transferred %1 programs").arg(programs);
}

const QString no_manager_bank =
    QStringLiteral("Load a script or bank file into BANK 2 first (pop-up menu of its list).");
const QString no_s2_bank =
    QStringLiteral("Open a Sampler 2 bank first (pop-up menu of the Sampler 2 Sounds list).");

// The tool tip the window gave a button (which selection it needs), kept while the button
// says that it has nothing to copy.
constexpr const char* selection_tip = "selection_tip";

void enable(QPushButton* button, bool loaded, bool rule, const QString& why_not) {
  button->setEnabled(loaded && rule);
  button->setToolTip(loaded ? button->property(selection_tip).toString() : why_not);
}

}  // namespace

bank_manager_page::bank_manager_page(TForm1& form, dialogs& d, s2_bank& s2)
    : QObject(&form), form_(form), dialogs_(d), s2_(s2) {
  choose_folder_ = [this](std::string_view title,
                          std::string_view confirm) -> std::optional<std::filesystem::path> {
    const std::optional<QString> folder =
        dialogs_.choose_folder(to_qstring(title), to_qstring(confirm));
    if (!folder || folder->isEmpty()) return std::nullopt;
    return native_path_of(*folder);
  };
  auto button = [this](const char* name, void (bank_manager_page::*command)()) {
    auto* b = form_.findChild<QPushButton*>(QString::fromLatin1(name));
    b->setProperty(selection_tip, b->toolTip());
    connect(b, &QPushButton::clicked, this, [this, b, command] {
      form_.run_command([this, command] { (this->*command)(); }, b->text());
    });
    return b;
  };
  ButtonExecute = button("ButtonExecute", &bank_manager_page::execute);
  ButtonExecuteMoveOneDown =
      button("ButtonExecuteMoveOneDown", &bank_manager_page::execute_one_down);
  ButtonExecuteMoveMultiple =
      button("ButtonExecuteMoveMultiple", &bank_manager_page::execute_multiple);
  ButtonSampler2Sound = button("ButtonSampler2Sound", &bank_manager_page::import_sounds);
  connect(form_.StringGridBlendsMNG->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { update_buttons(); });
  update_buttons();
}

std::pair<int, int> bank_manager_page::selected_range(const QTableView* grid) {
  const QModelIndexList rows = grid->selectionModel()->selectedRows();
  if (rows.isEmpty()) return {current_row(grid), current_row(grid)};
  int top = rows.front().row(), bottom = top;
  for (const QModelIndex& index : rows) {
    top = std::min(top, index.row());
    bottom = std::max(bottom, index.row());
  }
  return {top, bottom};
}

void bank_manager_page::update_buttons() {
  const auto [top, bottom] = selected_range(form_.StringGridBlendsMNG);
  const bool single = top == bottom;
  enable(ButtonExecute, manager_loaded_, single, no_manager_bank);
  enable(ButtonExecuteMoveOneDown, manager_loaded_, single, no_manager_bank);
  enable(ButtonExecuteMoveMultiple, manager_loaded_, !single, no_manager_bank);
  enable(ButtonSampler2Sound, s2_loaded_, true, no_s2_bank);
}

void bank_manager_page::set_manager_loaded(bool loaded) {
  manager_loaded_ = loaded;
  update_buttons();
}

void bank_manager_page::set_s2_loaded(bool loaded) {
  s2_loaded_ = loaded;
  update_buttons();
}

void bank_manager_page::forget_loaded_bank_file() {
  form_.main_bank().set_loaded_file_name(std::string(no_loaded_bank));
}

void bank_manager_page::remove_selected_program() {
  form_.main_bank().reset_program(form_.current_program());
}

void bank_manager_page::clear_manager() {
  form_.manager_bank().reset();
  set_manager_loaded(false);
  forget_loaded_bank_file();
}

void bank_manager_page::open_manager_script(int version) {
  const auto path = dialogs_.choose_open_file(
      QStringLiteral("Open Quorvatek Samplers SCRIPT file!"),
      dialog_filter(QStringLiteral("Quorvatek Samplers SCRIPT file"), QStringLiteral("qbs")));
  if (!path) return;
  // A script that fails to load throws and leaves both banks, and the buttons, as they were.
  open_script(form_.manager_bank(), *path, version, form_.host());
  forget_loaded_bank_file();
  set_manager_loaded(true);
}

void bank_manager_page::load_manager_bank() {
  const auto path = dialogs_.choose_open_file(
      QStringLiteral("Read Quorvatek Sampler BANK file!"),
      dialog_filter(QStringLiteral("Quorvatek ATSampler BANK file"), QStringLiteral("qbb")));
  if (!path) return;
  // A file that does not load whole leaves both banks, and the buttons, as they were.
  if (open_bank_file(form_.manager_bank(), *path, form_.host(), nullptr, reader_variant::manager)) {
    forget_loaded_bank_file();
    set_manager_loaded(true);
  }
}

void bank_manager_page::clear_s2() {
  s2_.reset();
  set_s2_loaded(false);
}

void bank_manager_page::open_s2_bank() {
  const auto path = dialogs_.choose_open_file(
      QStringLiteral("Read Quorvatek Sampler 2 BANK file!"),
      dialog_filter(QStringLiteral("Quorvatek Sampler 2 BANK file"), QStringLiteral("qbb")));
  if (!path) return;
  clear_s2();
  set_s2_loaded(s2_.read(*path, form_.host()).loaded);
}

void bank_manager_page::execute() {
  transfer_program(form_.main_bank(), form_.manager_bank(), form_.current_program(),
                   form_.current_manager_program(), form_.host());
  form_.set_status(transferred_text(1));
}

void bank_manager_page::execute_one_down() {
  const auto rows =
      transfer_one_line(form_.main_bank(), form_.manager_bank(),
                        {form_.current_program(), form_.current_manager_program()}, form_.host());
  if (!rows) return;
  form_.set_status(transferred_text(1));
  select_row(form_.StringGridBlendsORG, rows->main);
  select_row(form_.StringGridBlendsMNG, rows->other);
}

void bank_manager_page::execute_multiple() {
  const auto [top, bottom] = selected_range(form_.StringGridBlendsMNG);
  const auto rows = transfer_range(form_.main_bank(), form_.manager_bank(), form_.current_program(),
                                   top, bottom, form_.host());
  if (!rows) return;
  form_.set_status(transferred_text(bottom - top + 1));
  select_row(form_.StringGridBlendsORG, rows->main);
  select_row(form_.StringGridBlendsMNG, rows->other);
}

void bank_manager_page::import_sounds() {
  const auto [top, bottom] = selected_range(form_.StringGridS2Sounds);
  const auto rows = import_sound_range(
      form_.main_bank(), s2_, {form_.current_program(), current_row(form_.StringGridS2Sounds)}, top,
      bottom, form_.host());
  if (!rows) return;
  form_.set_status(bottom == top ? QStringLiteral("Imported 1 sound")
                                 : QStringLiteral("Imported %1 sounds").arg(bottom - top + 1));
  select_row(form_.StringGridS2Sounds, rows->other);
  select_row(form_.StringGridBlendsORG, rows->main);
}

void bank_manager_page::export_selected_multisample() {
  form_.host().changes_files_on_disk();
  show_exported(export_multisample(form_.main_bank(), form_.current_multisample(), choose_folder_,
                                   form_.host()));
}

void bank_manager_page::export_library() {
  form_.host().changes_files_on_disk();
  show_exported(qbank::export_library(form_.main_bank(), choose_folder_, form_.host()));
}

void bank_manager_page::show_exported(const export_counts& counts) {
  // Both 0: refused or cancelled, which its own message (or none) tells.
  if (counts.written == 0 && counts.not_exported == 0) return;
  QString text = QStringLiteral("Exported %1 files").arg(counts.written);
  if (counts.not_exported > 0) text += QStringLiteral(", %1 not exported").arg(counts.not_exported);
  form_.set_status(text);
}

}  // namespace qbank::gui
