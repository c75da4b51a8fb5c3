#include "cli/terminal_host.h"

#include <iostream>

#include "platform/console.h"

namespace qbank::cli {

std::string escape_controls(std::string_view text) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string shown;
  shown.reserve(text.size());
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\n' && c != '\t') || u == 0x7f) {
      shown += "\\x";
      shown += digits[u >> 4];
      shown += digits[u & 0xf];
    } else {
      shown += c;
    }
  }
  return shown;
}

namespace {

void write_text(std::FILE* stream, std::string_view text, bool escaped) {
  const std::string shown = escaped ? escape_controls(text) : std::string(text);
  std::fwrite(shown.data(), 1, shown.size(), stream);
}

}  // namespace

void put_text(std::FILE* stream, std::string_view text) {
  write_text(stream, text, is_terminal(stream));
}

terminal_host::terminal_host(bool interactive, std::FILE* out, std::FILE* err)
    : interactive_(interactive),
      out_(out),
      err_(err),
      bar_enabled_(is_terminal(err)),
      out_is_terminal_(is_terminal(out)) {}

void terminal_host::put(std::string_view text) {
  write_text(out_, text, out_is_terminal_);
}

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
  // The bar is only drawn on a terminal, so its title (often a stored path) is always escaped.
  const std::string shown = escape_controls(title_);
  const std::string title = shown.size() > 40 ? "..." + shown.substr(shown.size() - 37) : shown;
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
  put("[" + std::string(title) + "]\n");
  for (const std::string& line : lines) put(line + "\n");
  std::fflush(out_);
}

void terminal_host::message(std::string_view text, std::string_view caption) {
  clear_bar();
  if (caption.starts_with("Error")) saw_error_ = true;
  put("[" + std::string(caption) + "] " + std::string(text) + "\n");
  std::fflush(out_);
}

bool terminal_host::ask(std::string_view text, std::string_view caption) {
  clear_bar();
  put("[" + std::string(caption) + "] " + std::string(text));
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
