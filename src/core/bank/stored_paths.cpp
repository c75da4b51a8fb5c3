#include "bank/stored_paths.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "bank/bank.h"

namespace qbank {

std::string library_common_path(const bank& b) {
  // The prefix shared by all entries is the prefix shared by their distinct texts, so each
  // text in use is compared once, in the order the pool holds them (its memory order).
  const path_pool& pool = b.paths();
  std::vector<std::uint8_t> used(pool.size(), 0);
  for (int n = 0; n < multisample_count; ++n)
    for (path_id id : b.files(n)) used[id] = 1;
  used[empty_path_id] = 0;

  std::string_view prefix;
  bool seen = false;
  for (path_id id = 0; id < used.size(); ++id) {
    if (!used[id]) continue;
    const std::string_view text = pool.text(id);
    if (!seen) {
      prefix = text.substr(0, common_path_max);
      seen = true;
      continue;
    }
    if (text.size() >= prefix.size() && std::memcmp(text.data(), prefix.data(), prefix.size()) == 0)
      continue;  // the usual case: the text begins with the whole prefix
    const std::size_t limit = std::min(prefix.size(), text.size());
    const auto at = std::mismatch(prefix.begin(), prefix.begin() + limit, text.begin()).first;
    prefix = prefix.substr(0, static_cast<std::size_t>(at - prefix.begin()));
    if (prefix.empty()) break;
  }
  return std::string(prefix);
}

namespace {

bool is_separator(char c) {
  return c == '\\' || c == '/';
}

}  // namespace

bool usable_name(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos;
  });
}

std::optional<std::string> relative_below(std::string_view rest) {
  std::string out;
  std::size_t begin = 0;
  while (begin <= rest.size()) {
    std::size_t end = begin;
    while (end < rest.size() && !is_separator(rest[end])) ++end;
    const std::string_view part = rest.substr(begin, end - begin);
    if (!part.empty() && part != ".") {
      if (!usable_name(part)) return std::nullopt;
      if (!out.empty()) out += '\\';
      out += part;
    }
    begin = end + 1;
  }
  if (out.empty()) return std::nullopt;
  return out;
}

std::string_view without_root(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
    path.remove_prefix(2);
  while (!path.empty() && is_separator(path.front())) path.remove_prefix(1);
  return path;
}

}  // namespace qbank
