// For the window's process tests only (a user never sets it): QBANK_TEST_DRIVE drives a real
// qbank-gui from outside. Its lines, in order, once the window has started:
//   file PATH      the answer of the next file dialog
//   menu CAPTION   chooses that menu item
//   answer yes     the answer of every question from the start on (no when not given)
// Every box the window would show is printed to standard error as "[CAPTION] TEXT" instead and
// answered at once; "Save changes to NAME?" is answered Discard.
#pragma once

#include <QStringList>
#include <deque>
#include <memory>

#include "app/dialogs.h"

namespace qbank::gui {

class TForm1;

class test_drive_dialogs : public qt_dialogs {
 public:
  explicit test_drive_dialogs(const QString& steps);

  // Runs the file and menu lines in `window`.
  void run(TForm1& window);

  std::optional<std::filesystem::path> choose_open_file(const QString& title,
                                                        const QString& filter) override;
  std::optional<std::filesystem::path> choose_save_file(const QString& title,
                                                        const QString& filter) override;
  void message(const QString& text, const QString& caption) override;
  bool ask(const QString& text, const QString& caption) override;
  void show_error(const QString& text) override;
  save_answer ask_save(const QString& text) override;

 private:
  std::optional<std::filesystem::path> next_file(const QString& title);

  QStringList steps_;
  std::deque<std::filesystem::path> files_;
  bool answer_ = false;
};

// The driven dialogs when QBANK_TEST_DRIVE is set, else null (the window's own dialogs).
std::unique_ptr<test_drive_dialogs> test_drive_from_environment();

}  // namespace qbank::gui
