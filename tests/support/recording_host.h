// A host that records everything shown and answers questions from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "ui/host.h"

namespace qbank::testing {

struct recorded_report {
  std::string title;
  std::vector<std::string> lines;
};

class recording_host : public host {
 public:
  void progress_show(char kind, std::int32_t* cancel_flag) override;
  void progress_set_title(std::string_view text) override;
  void progress_set_text(std::string_view text) override { progress_text = text; }
  void progress_set_percent(std::uint8_t percent) override;
  void progress_hide() override;
  void process_events() override { ++events_processed; }
  void report_show(std::string_view title, const std::vector<std::string>& lines) override;
  void report_hide() override { ++reports_hidden; }
  void message(std::string_view text, std::string_view caption) override;
  bool ask(std::string_view text, std::string_view caption) override;

  // Answers for the coming questions, in order; when none is left, `default_answer`.
  std::deque<bool> answers;
  bool default_answer = false;

  // Everything shown, each as "[CAPTION] TEXT" (messages and questions) in order.
  std::vector<std::string> boxes;
  std::vector<std::string> questions;
  std::vector<std::string> messages;
  std::vector<recorded_report> reports;
  std::vector<std::string> progress_titles;
  std::string progress_text;
  std::vector<char> progress_kinds;
  bool progress_open = false;
  int progress_shows = 0;
  int progress_hides = 0;
  int reports_hidden = 0;
  int events_processed = 0;
  int last_percent = -1;
  int max_percent = -1;
};

}  // namespace qbank::testing
