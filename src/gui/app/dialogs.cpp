#include "app/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "app/settings.h"
#include "audio/instrument_command.h"
#include "edit/replace_string_form.h"
#include "edit/select_directory_form.h"

namespace qbank::gui {

namespace {

// A file dialog opens in the folder last used for its kind of file (the extension of its
// filter) and remembers the folder of the files chosen; empty when cancelled.
QStringList run_file_dialog(QWidget* parent, const QString& title, const QString& filter,
                            QFileDialog::AcceptMode mode, QFileDialog::FileMode files) {
  const QString kind = extension_of_filter(filter);
  QFileDialog dialog(parent, title, remembered_folder(kind), filter);
  configure_file_dialog(dialog, mode);
  dialog.setFileMode(files);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  remember_folder(kind, QFileInfo(dialog.selectedFiles().first()).absolutePath());
  return dialog.selectedFiles();
}

std::optional<std::filesystem::path> one_file(const QStringList& chosen) {
  if (chosen.isEmpty()) return std::nullopt;
  return native_path_of(chosen.first());
}

}  // namespace

void configure_file_dialog(QFileDialog& dialog, QFileDialog::AcceptMode mode) {
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  if (mode == QFileDialog::AcceptSave) {
    const QStringList filters = dialog.nameFilters();
    if (!filters.isEmpty()) dialog.setDefaultSuffix(extension_of_filter(filters.first()));
  }
}

QString extension_of_filter(const QString& filter) {
  // "... (*.[qQ][bB][bB])" or "... (*.qbb)": the first pattern's extension, lower case.
  const qsizetype star = filter.indexOf(QStringLiteral("*."));
  if (star < 0) return {};
  QString extension;
  bool in_class = false;
  bool taken = false;
  for (qsizetype i = star + 2; i < filter.size(); ++i) {
    const QChar c = filter.at(i);
    if (c == QLatin1Char('[')) {
      in_class = true;
      taken = false;
    } else if (c == QLatin1Char(']')) {
      in_class = false;
    } else if (c.isLetterOrNumber()) {
      if (!in_class || !taken) extension += c.toLower();
      taken = in_class;
    } else {
      break;
    }
  }
  return extension;
}

std::optional<std::filesystem::path> qt_dialogs::choose_open_file(const QString& title,
                                                                  const QString& filter) {
  return one_file(
      run_file_dialog(parent_, title, filter, QFileDialog::AcceptOpen, QFileDialog::ExistingFile));
}

std::optional<std::filesystem::path> qt_dialogs::choose_save_file(const QString& title,
                                                                  const QString& filter) {
  return one_file(
      run_file_dialog(parent_, title, filter, QFileDialog::AcceptSave, QFileDialog::AnyFile));
}

std::optional<std::vector<std::filesystem::path>> qt_dialogs::choose_open_files(
    const QString& title, const QString& filter) {
  const QStringList chosen =
      run_file_dialog(parent_, title, filter, QFileDialog::AcceptOpen, QFileDialog::ExistingFiles);
  if (chosen.isEmpty()) return std::nullopt;
  std::vector<std::filesystem::path> files;
  for (const QString& file : chosen) files.push_back(native_path_of(file));
  return files;
}

std::optional<std::filesystem::path> qt_dialogs::choose_folder(const QString& title) {
  const QString kind = QStringLiteral("folder");
  const QString folder = QFileDialog::getExistingDirectory(parent_, title, remembered_folder(kind));
  if (folder.isEmpty()) return std::nullopt;
  remember_folder(kind, folder);
  return native_path_of(folder);
}

std::optional<QString> qt_dialogs::choose_folder(const QString& caption,
                                                 const QString& confirm_text) {
  TSellectDyrectoryForm form(caption, confirm_text, parent_);
  if (form.exec() != QDialog::Accepted) return std::nullopt;
  return form.selected_folder();
}

std::pair<QString, QString> qt_dialogs::replace_strings(const QString& old_text,
                                                        const QString& new_text) {
  TMyReplaceStringForm form(
      old_text, new_text,
      [this] {
        return choose_folder(QStringLiteral("Choice new library path..."), QStringLiteral("OK"));
      },
      parent_);
  form.exec();
  return {form.old_text(), form.new_text()};
}

void qt_dialogs::message(const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent_);
  box.exec();
}

bool qt_dialogs::ask(const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No, parent_);
  // Escape and the close button answer No.
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

save_answer qt_dialogs::ask_save(const QString& text) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Question"), text,
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_);
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Save:
      return save_answer::save;
    case QMessageBox::Discard:
      return save_answer::discard;
    default:
      return save_answer::cancel;
  }
}

void qt_dialogs::show_error(const QString& text) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok, parent_);
  box.exec();
}

QString dialog_filter(const QString& description, const QString& extension) {
  return dialog_filter_patterns(description, {QStringLiteral("*.") + extension});
}

QString dialog_filter_patterns(const QString& description, const QStringList& patterns) {
  QStringList any_case;
  for (const QString& pattern : patterns) {
    QString out;
    for (QChar c : pattern) {
      if (c.isLetter())
        out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
      else
        out += c;
    }
    any_case << out;
  }
  return description + QStringLiteral(" (") + any_case.join(QLatin1Char(' ')) + QLatin1Char(')');
}

std::filesystem::path native_path_of(const QString& file_name) {
  // Qt gives "/" on every system; Windows stores its own "\" (stored paths are compared as
  // text: the library common path, replace in paths).
  const QByteArray utf8 = QDir::toNativeSeparators(file_name).toUtf8();
  return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.constData()),
                                             static_cast<std::size_t>(utf8.size())));
}

std::optional<instrument_import_choice> qt_dialogs::choose_instrument_import(const QString& title) {
  instrument_import_choice choice;
  const QByteArray caption = title.toLatin1();
  if (!run_instrument_import_dialog(parent_, caption.constData(), choice)) return std::nullopt;
  return choice;
}

}  // namespace qbank::gui
