// The one way core operations talk to a person: the shared progress window, the report window
// and message boxes. The window implements it with real windows, `qbank` with a terminal, the
// tests with a recording host whose answers are scripted. All texts are UTF-8; core converts
// stored (code-page) texts before it passes them here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qbank {

class host {
 public:
  virtual ~host() = default;

  // Opens the progress window unless one is open. `kind`: 'r' reading a file (cyan gauge),
  // 'w' writing a file (red), anything else green ('l' validation, 'c' whole-bank searches).
  // `cancel_flag`, when given, is set to 1 by the "Cancel" button; none disables the button.
  virtual void progress_show(char kind, std::int32_t* cancel_flag = nullptr) = 0;
  virtual void progress_set_title(std::string_view text) = 0;
  virtual void progress_set_text(std::string_view text) = 0;
  virtual void progress_set_percent(std::uint8_t percent) = 0;
  virtual void progress_hide() = 0;
  // Lets the window handle pending input and painting during a long loop.
  virtual void process_events() = 0;

  // Shows the report window modally; returns when the user closes it.
  virtual void report_show(std::string_view title, const std::vector<std::string>& lines) = 0;
  virtual void report_hide() = 0;

  // A message box with an OK button.
  virtual void message(std::string_view text, std::string_view caption) = 0;
  // A question with Yes and No; true only for Yes (closing the box counts as No).
  virtual bool ask(std::string_view text, std::string_view caption) = 0;
};

// Shows a report the way every caller does: report_show, then report_hide.
inline void show_report(host& h, std::string_view title, const std::vector<std::string>& lines) {
  h.report_show(title, lines);
  h.report_hide();
}

// Closes the progress window when a scope ends, also when it ends by an exception.
class progress_scope {
 public:
  progress_scope(host& h, char kind, std::string_view title, std::int32_t* cancel_flag = nullptr)
      : host_(h) {
    host_.progress_show(kind, cancel_flag);
    host_.progress_set_title(title);
  }
  ~progress_scope() { host_.progress_hide(); }
  progress_scope(const progress_scope&) = delete;
  progress_scope& operator=(const progress_scope&) = delete;

 private:
  host& host_;
};

}  // namespace qbank
