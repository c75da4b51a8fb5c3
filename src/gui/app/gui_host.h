// The window's side of qbank::host: the progress window and the report window, created on
// demand and freed after use, and message boxes through the dialogs interface.
#pragma once

#include <filesystem>
#include <memory>

#include "app/progress_form.h"
#include "app/report_form.h"
#include "ui/host.h"

namespace qbank::gui {

class dialogs;

class gui_host : public host {
 public:
  // The progress and report windows are owned here alone and shown above `owner`'s window
  // (may be null); `d` shows the message boxes. Both outlive this.
  gui_host(dialogs& d, QWidget* owner);
  ~gui_host() override;

  void progress_show(char kind, std::int32_t* cancel_flag = nullptr) override;
  void progress_set_title(std::string_view text) override;
  void progress_set_text(std::string_view text) override;
  void progress_set_percent(std::uint8_t percent) override;
  void progress_hide() override;
  void process_events() override;

  void report_show(std::string_view title, const std::vector<std::string>& lines) override;
  void report_hide() override;

  void message(std::string_view text, std::string_view caption) override;
  bool ask(std::string_view text, std::string_view caption) override;

  // A command begins: nothing said yet, and it changes no files on disk.
  void begin_command();
  // What the window said last: the first line of the last message box, or the title of the last
  // report (without its "Report: "); empty at the start of a command. Questions do not count.
  const std::string& last_said() const { return said_; }
  // The running command changes files on disk, which no undo brings back: its first question,
  // or else its first report, ends with not_undoable_text (in the window only).
  void changes_files_on_disk() { not_undoable_ = true; }
  // True when the running command changes files on disk and has not said so yet.
  bool not_undoable_untold() const { return not_undoable_ && !told_; }

  // The open windows, null when none exists.
  TProgressForm* progress_window() const { return progress_.get(); }
  TFormReport* report_window() const { return report_.get(); }

 private:
  dialogs& dialogs_;
  QWidget* owner_;
  std::unique_ptr<TProgressForm> progress_;
  std::unique_ptr<TFormReport> report_;
  std::string said_;
  bool not_undoable_ = false;
  bool told_ = false;
};

inline constexpr std::string_view not_undoable_text = "This cannot be undone.";

QString to_qstring(std::string_view utf8);
// The last part of `path` ("Demo.qbs"), as the window shows it.
QString file_name_of(const std::filesystem::path& path);

}  // namespace qbank::gui
