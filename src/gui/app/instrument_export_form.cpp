#include "app/instrument_export_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <vector>

#include "app/dialogs.h"
#include "app/main_form.h"
#include "bank/bank.h"
#include "bank/bank_reader.h"
#include "instrument/instrument_export.h"
#include "platform/paths.h"

namespace qbank::gui {

instrument_export_form::instrument_export_form(TForm1& form, const QString& what) : QDialog(&form) {
  setWindowTitle(what);
  auto* layout = new QFormLayout(this);
  format_box = new QComboBox(this);
  format_box->addItem(QStringLiteral("SFZ (.sfz)"));
  format_box->addItem(QStringLiteral("DecentSampler (.dspreset)"));
  layout->addRow(QStringLiteral("Format:"), format_box);

  auto* folder_row = new QHBoxLayout;
  folder_edit = new QLineEdit(this);
  folder_edit->setMinimumWidth(360);
  auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
  folder_row->addWidget(folder_edit);
  folder_row->addWidget(browse);
  layout->addRow(QStringLiteral("Folder:"), folder_row);

  copy_box = new QCheckBox(QStringLiteral("Copy the WAV files beside the instruments"), this);
  layout->addRow(QString(), copy_box);
  const bool from_bank = looks_like_bank_file(path_from_utf8(form.main_bank().loaded_file_name()));
  if (from_bank) {
    // The audio lies in the bank file: it is always written out.
    copy_box->setChecked(true);
    copy_box->setEnabled(false);
    copy_box->setToolTip(
        QStringLiteral("The audio comes from the loaded bank file and is always written out."));
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Export"));
  ok_ = buttons->button(QDialogButtonBox::Ok);
  layout->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(folder_edit, &QLineEdit::textChanged, this, &instrument_export_form::update_ok);
  connect(browse, &QPushButton::clicked, this, [this, &form] {
    if (auto folder = form.dialog_boxes().choose_folder(QStringLiteral("Export into folder")))
      folder_edit->setText(QString::fromStdString(path_to_utf8(*folder)));
  });
  update_ok();
}

void instrument_export_form::update_ok() {
  ok_->setEnabled(!folder_edit->text().trimmed().isEmpty());
}

void export_instruments_command(TForm1& form, bool all_used) {
  const bank& b = form.main_bank();
  std::vector<int> programs;
  if (all_used) {
    for (int p = 0; p < program_count; ++p)
      if (b.program_is_used(p)) programs.push_back(p);
  } else if (b.program_is_used(form.current_program())) {
    programs.push_back(form.current_program());
  }
  if (programs.empty()) {
    form.dialog_boxes().message(
        all_used ? QStringLiteral("No program of the bank uses a multisample: nothing to export.")
                 : QStringLiteral("Program %1 uses no multisample: nothing to export.")
                       .arg(form.current_program()),
        QStringLiteral("Error"));
    return;
  }
  instrument_export_form dialog(
      form, all_used ? QStringLiteral("Export ALL Used Programs as Instruments")
                     : QStringLiteral("Export Program %1 as Instrument").arg(programs[0]));
  if (dialog.exec() != QDialog::Accepted) return;
  instrument_export_options options;
  options.format =
      dialog.format_box->currentIndex() == 0 ? instrument_format::sfz : instrument_format::dspreset;
  options.copy_audio = dialog.copy_box->isChecked();
  options.audio_from_bank = looks_like_bank_file(path_from_utf8(b.loaded_file_name()));
  const auto dir = path_from_utf8(dialog.folder_edit->text().trimmed().toStdString());
  const instrument_export_report r = export_instruments(b, programs, dir, options, form.host());
  form.set_status(QStringLiteral("Exported %1 instruments: %2 files written, %3 already there")
                      .arg(programs.size())
                      .arg(r.written.size())
                      .arg(r.unchanged.size()));
  show_report(form.host(), "Report: Exported Instruments", instrument_export_lines(r));
}

}  // namespace qbank::gui
