#include "platform/file_stamp.h"

#include <system_error>

namespace qbank {

std::optional<file_stamp> stamp_of(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec) || ec) return std::nullopt;
  file_stamp s;
  s.size = std::filesystem::file_size(path, ec);
  if (ec) return std::nullopt;
  const auto time = std::filesystem::last_write_time(path, ec);
  if (ec) return std::nullopt;
  s.modified = static_cast<std::int64_t>(time.time_since_epoch().count());
  return s;
}

}  // namespace qbank
