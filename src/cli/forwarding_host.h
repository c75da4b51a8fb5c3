// A host that passes every call on to another one. A wrapper that changes how a few calls are
// handled derives from it and overrides only those.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/host.h"

namespace qbank::cli {

class forwarding_host : public host {
 public:
  // `to` must outlive this host.
  explicit forwarding_host(host& to) : to_(to) {}

  void progress_show(char kind, std::int32_t* cancel_flag) override {
    to_.progress_show(kind, cancel_flag);
  }
  void progress_set_title(std::string_view text) override { to_.progress_set_title(text); }
  void progress_set_text(std::string_view text) override { to_.progress_set_text(text); }
  void progress_set_percent(std::uint8_t percent) override { to_.progress_set_percent(percent); }
  void progress_hide() override { to_.progress_hide(); }
  void process_events() override { to_.process_events(); }
  void report_show(std::string_view title, const std::vector<std::string>& lines) override {
    to_.report_show(title, lines);
  }
  void report_hide() override { to_.report_hide(); }
  void message(std::string_view text, std::string_view caption) override {
    to_.message(text, caption);
  }
  bool ask(std::string_view text, std::string_view caption) override {
    return to_.ask(text, caption);
  }

 private:
  host& to_;
};

}  // namespace qbank::cli
