#include "cli/terminal_host.h"

#include <iostream>

#include "platform/console.h"

namespace qbank::cli {

terminal_host::terminal_host(bool interactive, std::FILE* out, std::FILE* err)
    : interactive_(interactive), out_(out), err_(err), bar_enabled_(is_terminal(err)) {}

terminal_host::~terminal_host() {
  clear_bar();
}

void terminal_host::progress_show(char, std::int32_t*) {
  if (progress_open_) return;
  progress_open_ = true;
  title_ = "Progress...";
  percent_ = 0;
  draw_bar();
}

void terminal_host::progress_set_title(std::string_view text) {
  if (!progress_open_) return;
  title_ = text;
  draw_bar();
}

void terminal_host::progress_set_text(std::string_view) {}

void terminal_host::progress_set_percent(std::uint8_t percent) {
  if (!progress_open_ || percent == percent_) return;
  percent_ = percent;
  draw_bar();
}

void terminal_host::progress_hide() {
  if (!progress_open_) return;
  progress_open_ = false;
  clear_bar();
}

void terminal_host::draw_bar() {
  if (!bar_enabled_) return;
  constexpr int width = 30;
  const int filled = percent_ * width / 100;
  std::string title = title_.size() > 40 ? "..." + title_.substr(title_.size() - 37) : title_;
  std::fprintf(err_, "\r\033[K[%s%s] %3d%% %s", std::string(filled, '#').c_str(),
               std::string(width - filled, '.').c_str(), percent_, title.c_str());
  std::fflush(err_);
  bar_drawn_ = true;
}

void terminal_host::clear_bar() {
  if (!bar_drawn_) return;
  std::fprintf(err_, "\r\033[K");
  std::fflush(err_);
  bar_drawn_ = false;
}

void terminal_host::report_show(std::string_view title, const std::vector<std::string>& lines) {
  clear_bar();
  std::fprintf(out_, "[%.*s]\n", static_cast<int>(title.size()), title.data());
  for (const std::string& line : lines) std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

void terminal_host::message(std::string_view text, std::string_view caption) {
  clear_bar();
  if (caption.starts_with("Error")) saw_error_ = true;
  std::fprintf(out_, "[%.*s] %.*s\n", static_cast<int>(caption.size()), caption.data(),
               static_cast<int>(text.size()), text.data());
  std::fflush(out_);
}

bool terminal_host::ask(std::string_view text, std::string_view caption) {
  clear_bar();
  std::fprintf(out_, "[%.*s] %.*s", static_cast<int>(caption.size()), caption.data(),
               static_cast<int>(text.size()), text.data());
  bool answer = true;
  if (interactive_) {
    std::fprintf(out_, " [y/N] ");
    std::fflush(out_);
    std::string reply;
    answer = static_cast<bool>(std::getline(std::cin, reply)) && !reply.empty() &&
             (reply[0] == 'y' || reply[0] == 'Y');
  }
  std::fprintf(out_, " -> %s\n", answer ? "Yes" : "No");
  std::fflush(out_);
  return answer;
}

}  // namespace qbank::cli
