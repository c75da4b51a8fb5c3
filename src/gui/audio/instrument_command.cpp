#include "audio/instrument_command.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <optional>

#include "app/dialogs.h"
#include "app/main_form.h"
#include "instrument/instrument_file.h"
#include "instrument/instrument_import.h"
#include "platform/paths.h"

namespace qbank::gui {

void import_instrument_command(TForm1& form) {
  const std::optional<instrument_import_choice> choice =
      form.dialog_boxes().choose_instrument_import(QString::fromLatin1(import_instrument_caption));
  if (!choice || choice->file.empty() || choice->into.empty()) return;
  const instrument inst = read_instrument_file(choice->file, choice->preset.toStdString());
  import_options options;
  options.program = form.current_program();
  options.into = choice->into;
  options.fill = choice->fill;
  options.file = choice->file;
  import_instrument(form.main_bank(), inst, options, form.host());
}

namespace {

// A line for a path with a button that fills it from a dialog.
QWidget* path_row(QDialog* owner, QLineEdit* line, const QString& button_text,
                  std::function<QString()> browse) {
  auto* row = new QWidget(owner);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(line, 1);
  auto* button = new QPushButton(button_text, row);
  layout->addWidget(button);
  QObject::connect(button, &QPushButton::clicked, owner, [line, browse] {
    const QString chosen = browse();
    if (!chosen.isEmpty()) line->setText(chosen);
  });
  return row;
}

}  // namespace

bool run_instrument_import_dialog(QWidget* parent, const char* title,
                                  instrument_import_choice& choice) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QString::fromLatin1(title));
  auto* form = new QFormLayout(&dialog);
  auto* file = new QLineEdit(&dialog);
  file->setObjectName(QStringLiteral("instrument_file"));
  const QString filter =
      QStringLiteral("Instruments (*.sfz *.SFZ *.sf2 *.SF2 *.dspreset *.dslibrary *.multisample)");
  form->addRow(QStringLiteral("Instrument:"),
               path_row(&dialog, file, QStringLiteral("File..."), [&dialog, filter] {
                 return QFileDialog::getOpenFileName(&dialog, QStringLiteral("Instrument File"),
                                                     QString(), filter);
               }));
  auto* folder_source = new QPushButton(QStringLiteral("WAV Folder..."), &dialog);
  QObject::connect(folder_source, &QPushButton::clicked, &dialog, [&dialog, file] {
    const QString chosen =
        QFileDialog::getExistingDirectory(&dialog, QStringLiteral("Folder of Audio Files"));
    if (!chosen.isEmpty()) file->setText(chosen);
  });
  form->addRow(QString(), folder_source);
  auto* fill = new QComboBox(&dialog);
  fill->setObjectName(QStringLiteral("fill_mode"));
  fill->addItem(QStringLiteral("Render every key (pitched)"));
  fill->addItem(QStringLiteral("Nearest: the root sample unchanged (kits, one-shots)"));
  fill->addItem(QStringLiteral("Root keys only"));
  form->addRow(QStringLiteral("Keys:"), fill);
  auto* preset = new QLineEdit(&dialog);
  preset->setObjectName(QStringLiteral("sf2_preset"));
  preset->setPlaceholderText(QStringLiteral("the first (or a number, bank:program, a name)"));
  form->addRow(QStringLiteral("SF2 preset:"), preset);
  auto* into = new QLineEdit(&dialog);
  into->setObjectName(QStringLiteral("target_folder"));
  form->addRow(QStringLiteral("Target folder:"),
               path_row(&dialog, into, QStringLiteral("Browse..."), [&dialog] {
                 return QFileDialog::getExistingDirectory(
                     &dialog, QStringLiteral("Folder For The Instrument's WAV Files"));
               }));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Import"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return false;
  choice.file = native_path_of(file->text());
  choice.fill = static_cast<fill_mode>(fill->currentIndex());
  choice.preset = preset->text().trimmed();
  choice.into = native_path_of(into->text());
  return true;
}

}  // namespace qbank::gui
