// Answers for the window's dialogs in tests: scripted files, questions and a record of every
// box shown.
#pragma once

#include <QStringList>
#include <deque>
#include <filesystem>
#include <optional>
#include <vector>

#include "app/dialogs.h"

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

  // Files the next dialogs return, in order; none left means the dialog is cancelled.
  std::deque<std::optional<std::filesystem::path>> files;
  // Answers of the multiple-file dialogs; none left means cancelled.
  std::deque<std::optional<std::vector<std::filesystem::path>>> file_lists;
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

}  // namespace qbank::gui::testing
