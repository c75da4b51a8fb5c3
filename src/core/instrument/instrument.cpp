#include "instrument/instrument.h"

namespace qbank {

void not_carried_tally::add(const std::string& key) {
  const auto [it, added] = index_.try_emplace(key, counts_.size());
  if (added)
    counts_.emplace_back(key, 1);
  else
    ++counts_[it->second].second;
}

void not_carried_tally::note(const std::string& line) {
  counts_.emplace_back(line, 0);
}

std::vector<std::string> not_carried_tally::lines() const {
  std::vector<std::string> out;
  out.reserve(counts_.size());
  for (const auto& [key, count] : counts_)
    out.push_back(count == 0   ? key
                  : count == 1 ? key + " (once)"
                               : key + " (" + std::to_string(count) + " times)");
  return out;
}

}  // namespace qbank
