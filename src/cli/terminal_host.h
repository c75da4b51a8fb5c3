// The host of `qbank`: message boxes and reports go to standard output as text, progress to
// standard error as a one-line bar (only on a terminal), questions are answered Yes unless the
// user asked to be asked.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "ui/host.h"

namespace qbank::cli {

// `text` with the control characters a terminal acts on (those below 0x20 other than the line
// break and the tab, and 0x7F) written as \xNN, so that a name read from a file can never set
// the terminal's title, clear it or move its cursor.
std::string escape_controls(std::string_view text);
// Writes `text` to `stream`: escaped when `stream` is a terminal, the exact bytes otherwise
// (a pipe or a file, which scripts read).
void put_text(std::FILE* stream, std::string_view text);

class terminal_host : public host {
 public:
  explicit terminal_host(bool interactive, std::FILE* out = stdout, std::FILE* err = stderr);
  ~terminal_host() override;

  void progress_show(char kind, std::int32_t* cancel_flag) override;
  void progress_set_title(std::string_view text) override;
  void progress_set_text(std::string_view text) override;
  void progress_set_percent(std::uint8_t percent) override;
  void progress_hide() override;
  void process_events() override {}
  void report_show(std::string_view title, const std::vector<std::string>& lines) override;
  void report_hide() override {}
  void message(std::string_view text, std::string_view caption) override;
  bool ask(std::string_view text, std::string_view caption) override;

  // Where message boxes, reports and questions go from now on.
  void set_output(std::FILE* out) { out_ = out; }

  // True once a message box with a caption beginning "Error" was shown.
  bool saw_error() const { return saw_error_; }

 private:
  void draw_bar();
  void clear_bar();
  void put(std::string_view text);

  bool interactive_;
  std::FILE* out_;
  std::FILE* err_;
  bool bar_enabled_;
  bool out_is_terminal_;
  bool progress_open_ = false;
  bool bar_drawn_ = false;
  std::string title_;
  int percent_ = 0;
  bool saw_error_ = false;
};

}  // namespace qbank::cli
