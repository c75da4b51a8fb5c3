#include "app/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace qbank::gui {

namespace {

std::optional<std::filesystem::path> run_file_dialog(QWidget* parent, const QString& title,
                                                     const QString& filter,
                                                     QFileDialog::AcceptMode mode) {
  QFileDialog dialog(parent, title, QString(), filter);
  configure_file_dialog(dialog, mode);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return native_path_of(dialog.selectedFiles().first());
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
  return run_file_dialog(parent_, title, filter, QFileDialog::AcceptOpen);
}

std::optional<std::filesystem::path> qt_dialogs::choose_save_file(const QString& title,
                                                                  const QString& filter) {
  return run_file_dialog(parent_, title, filter, QFileDialog::AcceptSave);
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

void qt_dialogs::show_error(const QString& text) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok, parent_);
  box.exec();
}

QString dialog_filter(const QString& description, const QString& extension) {
  QString pattern = QStringLiteral("*.");
  for (QChar c : extension) {
    if (c.isLetter())
      pattern += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
    else
      pattern += c;
  }
  return description + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

std::filesystem::path native_path_of(const QString& file_name) {
  const QByteArray utf8 = file_name.toUtf8();
  return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.constData()),
                                             static_cast<std::size_t>(utf8.size())));
}

}  // namespace qbank::gui
