// What tells one version of a file from another without reading it: its size and the time it
// was last written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace qbank {

struct file_stamp {
  std::uint64_t size = 0;
  // The last write time in the file system's own ticks; only compared with other stamps taken
  // on the same system.
  std::int64_t modified = 0;
  bool operator==(const file_stamp&) const = default;
};

// The stamp of a regular file; none when there is no such file.
std::optional<file_stamp> stamp_of(const std::filesystem::path& path);

}  // namespace qbank
