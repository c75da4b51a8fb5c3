// The percentage of a long loop, passed to the progress window only when it changes: loops run
// 10000 times and more, the gauge has 101 steps.
#pragma once

#include <cstdint>

#include "ui/host.h"

namespace qbank {

class percent_gauge {
 public:
  explicit percent_gauge(host& h) : host_(h) {}
  // Shows done x 100 / total (whole-number division; a total of 0 counts as 1). True when the
  // shown value changed.
  bool set(std::uint64_t done, std::uint64_t total) {
    const auto p = static_cast<int>(done * 100 / (total == 0 ? 1 : total));
    if (p == last_) return false;
    last_ = p;
    host_.progress_set_percent(static_cast<std::uint8_t>(p));
    return true;
  }

 private:
  host& host_;
  int last_ = -1;
};

}  // namespace qbank
