// Which file a path names, as the file system tells files apart: two paths with the same
// identity are one file, whatever their spelling, letter case or links.
#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace qbank {

struct file_identity {
  std::uint64_t volume = 0;  // device number (POSIX) or volume serial number (Windows)
  std::uint64_t file = 0;    // inode number or file index on that volume
  auto operator<=>(const file_identity&) const = default;
};

// The identity of the file `path` names after following links; none when it names nothing or
// cannot be looked at.
std::optional<file_identity> identity_of(const std::filesystem::path& path);

}  // namespace qbank
