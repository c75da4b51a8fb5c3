// A host that shows nothing and answers every question Yes: for benchmarks, fuzzing and batch
// code that reports by other means.
#pragma once

#include "ui/host.h"

namespace qbank {

class null_host : public host {
 public:
  void progress_show(char, std::int32_t*) override {}
  void progress_set_title(std::string_view) override {}
  void progress_set_text(std::string_view) override {}
  void progress_set_percent(std::uint8_t) override {}
  void progress_hide() override {}
  void process_events() override {}
  void report_show(std::string_view, const std::vector<std::string>&) override {}
  void report_hide() override {}
  void message(std::string_view, std::string_view) override {}
  bool ask(std::string_view, std::string_view) override { return true; }
};

}  // namespace qbank
