// Answers for the window's dialogs in tests: scripted files, questions and a record of every
// box shown.
#pragma once

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "app/dialogs.h"
#include "app/main_form.h"
#include "app/report_form.h"

namespace qbank::gui::testing {

class scripted_dialogs : public dialogs {
 public:
  std::optional<std::filesystem::path> choose_open_file(const QString& title,
                                                        const QString& filter) override {
    return next_file(title, filter);
  }
  std::optional<std::filesystem::path> choose_save_file(const QString& title,
                                                        const QString& filter) override {
    return next_file(title, filter);
  }
  std::optional<std::vector<std::filesystem::path>> choose_open_files(
      const QString& title, const QString& filter) override {
    titles << title;
    filters << filter;
    if (file_lists.empty()) return std::nullopt;
    auto files = file_lists.front();
    file_lists.pop_front();
    return files;
  }
  std::optional<std::filesystem::path> choose_folder(const QString& title) override {
    return next_file(title, QString());
  }
  std::optional<QString> choose_folder(const QString& caption,
                                       const QString& confirm_text) override {
    titles << caption + QStringLiteral(" / ") + confirm_text;
    if (folders.empty()) return std::nullopt;
    auto folder = folders.front();
    folders.pop_front();
    return folder;
  }
  std::pair<QString, QString> replace_strings(const QString& old_text,
                                              const QString& new_text) override {
    replace_offers << QStringList{old_text, new_text};
    if (replacements.empty()) return {};
    auto answer = replacements.front();
    replacements.pop_front();
    return answer;
  }
  void message(const QString& text, const QString& caption) override {
    boxes << QStringLiteral("[%1] %2").arg(caption, text);
  }
  bool ask(const QString& text, const QString& caption) override {
    boxes << QStringLiteral("[%1] %2").arg(caption, text);
    if (answers.empty()) return default_answer;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void show_error(const QString& text) override { errors << text; }
  save_answer ask_save(const QString& text) override {
    save_questions << text;
    if (save_answers.empty()) return save_answer::discard;
    const save_answer answer = save_answers.front();
    save_answers.pop_front();
    return answer;
  }
  std::optional<instrument_import_choice> choose_instrument_import(const QString& title) override {
    titles << title;
    if (imports.empty()) return std::nullopt;
    auto choice = imports.front();
    imports.pop_front();
    return choice;
  }
  // Answers of the instrument import dialog; none left means cancelled.
  std::deque<std::optional<instrument_import_choice>> imports;
  // Answers to "Save changes to NAME?", in order; none left answers Discard.
  std::deque<save_answer> save_answers;
  QStringList save_questions;

  // Files the next dialogs return, in order; none left means the dialog is cancelled.
  std::deque<std::optional<std::filesystem::path>> files;
  // Answers of the multiple-file dialogs; none left means cancelled.
  std::deque<std::optional<std::vector<std::filesystem::path>>> file_lists;
  std::deque<std::optional<QString>> folders;            // for the folder dialog
  std::deque<std::pair<QString, QString>> replacements;  // for the replace dialog
  QList<QStringList> replace_offers;  // the texts the replace dialog was opened with
  std::deque<bool> answers;
  bool default_answer = false;
  QStringList titles;   // dialog titles, in order
  QStringList filters;  // their filters
  QStringList boxes;    // "[CAPTION] TEXT" of every message and question
  QStringList errors;   // texts of the top-level error display

 private:
  std::optional<std::filesystem::path> next_file(const QString& title, const QString& filter) {
    titles << title;
    filters << filter;
    if (files.empty()) return std::nullopt;
    auto file = files.front();
    files.pop_front();
    return file;
  }
};

// Reads and closes every report window the command opens; the titles and texts, in order.
struct report_reader {
  QStringList titles, texts;
  QTimer timer;
  explicit report_reader(TForm1& form) {
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [this, &form] {
      if (TFormReport* report = form.host().report_window(); report && report->isVisible()) {
        titles << report->windowTitle();
        texts << report->text_box()->toPlainText();
        report->close();
      }
    });
    timer.start();
  }
};

}  // namespace qbank::gui::testing

// Each test program remembers the window's settings (size, folders, recent files) in a folder
// of its own: the user's settings are neither read nor changed.
static void qbank_test_settings_folder() {
  static QTemporaryDir folder;
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.path());
}
Q_COREAPP_STARTUP_FUNCTION(qbank_test_settings_folder)
