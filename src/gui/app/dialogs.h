// Everything the window asks a person through a standard dialog: file choice, message boxes,
// Yes/No questions and the top-level error display. Commands reach dialogs only through this
// interface, so the tests can answer them.
#pragma once

#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "instrument/instrument_import.h"

class QWidget;

namespace qbank::gui {

// The answer to "Save changes to NAME?".
enum class save_answer { save, discard, cancel };

// What the import dialog of an instrument gives: the instrument file (or folder of audio
// files), how the keys are filled, the SoundFont preset and the folder the audio goes below.
struct instrument_import_choice {
  std::filesystem::path file;
  fill_mode fill = fill_mode::render;
  QString preset;  // empty: the first
  std::filesystem::path into;
};

class dialogs {
 public:
  virtual ~dialogs() = default;

  // A file chosen in an open or save dialog with `title` and a Qt name filter (see
  // dialog_filter); none when the user cancels. The path is native (UTF-8).
  virtual std::optional<std::filesystem::path> choose_open_file(const QString& title,
                                                                const QString& filter) = 0;
  virtual std::optional<std::filesystem::path> choose_save_file(const QString& title,
                                                                const QString& filter) = 0;
  // Several files chosen at once, in the dialog's order; none when the user cancels.
  virtual std::optional<std::vector<std::filesystem::path>> choose_open_files(
      const QString& title, const QString& filter) = 0;
  // A folder; none when the user cancels.
  virtual std::optional<std::filesystem::path> choose_folder(const QString& title) = 0;

  // `TSellectDyrectoryForm`: a folder (native text, no trailing separator but on a root), none
  // when cancelled.
  virtual std::optional<QString> choose_folder(const QString& caption,
                                               const QString& confirm_text) = 0;
  // `TMyReplaceStringForm` with both fields filled: the old and the new text as confirmed, or
  // two empty texts when cancelled.
  virtual std::pair<QString, QString> replace_strings(const QString& old_text,
                                                      const QString& new_text) = 0;

  // A modal box with an OK button, no icon.
  virtual void message(const QString& text, const QString& caption) = 0;
  // A modal box with Yes and No; true only for Yes (closing the box counts as No).
  virtual bool ask(const QString& text, const QString& caption) = 0;
  // The top-level error display: a command stopped by an exception.
  virtual void show_error(const QString& text) = 0;
  // A modal box with Save, Discard and Cancel (Escape and the close button: Cancel).
  virtual save_answer ask_save(const QString& text) = 0;
  // The instrument import dialog titled `title`; none when cancelled.
  virtual std::optional<instrument_import_choice> choose_instrument_import(
      const QString& title) = 0;
};

// The real dialogs, owned by `parent` (the main window).
class qt_dialogs : public dialogs {
 public:
  explicit qt_dialogs(QWidget* parent) : parent_(parent) {}
  std::optional<std::filesystem::path> choose_open_file(const QString& title,
                                                        const QString& filter) override;
  std::optional<std::filesystem::path> choose_save_file(const QString& title,
                                                        const QString& filter) override;
  std::optional<std::vector<std::filesystem::path>> choose_open_files(
      const QString& title, const QString& filter) override;
  std::optional<std::filesystem::path> choose_folder(const QString& title) override;
  std::optional<QString> choose_folder(const QString& caption,
                                       const QString& confirm_text) override;
  std::pair<QString, QString> replace_strings(const QString& old_text,
                                              const QString& new_text) override;
  void message(const QString& text, const QString& caption) override;
  bool ask(const QString& text, const QString& caption) override;
  void show_error(const QString& text) override;
  save_answer ask_save(const QString& text) override;
  std::optional<instrument_import_choice> choose_instrument_import(const QString& title) override;

 private:
  QWidget* parent_;
};

// The Qt name filter for files of one extension in any letter case, as Windows matches them:
// dialog_filter("Quorvatek Samplers SCRIPT file", "qbs") gives
// "Quorvatek Samplers SCRIPT file (*.[qQ][bB][sS])". The dialogs hide the pattern.
QString dialog_filter(const QString& description, const QString& extension);
// The same for several name patterns ("*.mp3", "MP3_LIST.TXT"), each in any letter case.
QString dialog_filter_patterns(const QString& description, const QStringList& patterns);

// Sets up a file dialog for opening an existing file or saving one. A save dialog adds the
// extension of its first filter when the user types a name without one ("MyBank" becomes
// "MyBank.qbb").
void configure_file_dialog(QFileDialog& dialog, QFileDialog::AcceptMode mode);
// The extension of the first pattern of a name filter, lower case, without the dot:
// "Quorvatek Samplers BANK file (*.[qQ][bB][bB])" gives "qbb".
QString extension_of_filter(const QString& filter);

// A path chosen in a dialog as a native path (dialogs give UTF-8 text with "/"; Windows gets
// its "\" separators).
std::filesystem::path native_path_of(const QString& file_name);

}  // namespace qbank::gui
