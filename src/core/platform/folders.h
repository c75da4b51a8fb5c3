// Listing a folder's files.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

namespace qbank {

// The regular files directly in `folder` whose extension (with its dot) equals `extension` in
// any letter case, sorted by name. Empty when the folder cannot be read.
std::vector<std::filesystem::path> files_with_extension(const std::filesystem::path& folder,
                                                        std::string_view extension);

}  // namespace qbank
