#include "support/recording_host.h"

#include <algorithm>

namespace qbank::testing {

void recording_host::progress_show(char kind, std::int32_t*) {
  if (progress_open) return;
  progress_open = true;
  ++progress_shows;
  progress_kinds.push_back(kind);
  progress_text.clear();
  last_percent = 0;
}

void recording_host::progress_set_title(std::string_view text) {
  if (progress_open) progress_titles.emplace_back(text);
}

void recording_host::progress_set_percent(std::uint8_t percent) {
  if (!progress_open) return;
  last_percent = percent;
  max_percent = std::max(max_percent, static_cast<int>(percent));
}

void recording_host::progress_hide() {
  if (!progress_open) return;
  progress_open = false;
  ++progress_hides;
}

void recording_host::report_show(std::string_view title, const std::vector<std::string>& lines) {
  reports.push_back({std::string(title), lines});
}

void recording_host::message(std::string_view text, std::string_view caption) {
  std::string box = "[" + std::string(caption) + "] " + std::string(text);
  messages.push_back(box);
  boxes.push_back(box);
}

bool recording_host::ask(std::string_view text, std::string_view caption) {
  std::string box = "[" + std::string(caption) + "] " + std::string(text);
  questions.push_back(box);
  boxes.push_back(box);
  if (answers.empty()) return default_answer;
  const bool answer = answers.front();
  answers.pop_front();
  return answer;
}

}  // namespace qbank::testing
