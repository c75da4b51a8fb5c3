// Folders and the space on their drives.
#pragma once

#include <cstdint>
#include <filesystem>

namespace qbank {

// Bytes free for this user on the drive that holds `folder`. Throws file_error when the drive
// cannot be asked.
std::uint64_t free_space(const std::filesystem::path& folder);

// Creates `folder` with every missing parent. False when it cannot (a file of that name is in
// the way, no permission); an existing folder is true.
bool create_folders(const std::filesystem::path& folder);

// True when both paths name one existing file (also through links or another spelling).
bool same_file(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace qbank
