// Folders: the space on their drives, creating them, listing their files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace qbank {

// Bytes free for this user on the drive that holds `folder`. Throws file_error when the drive
// cannot be asked.
std::uint64_t free_space(const std::filesystem::path& folder);

// Creates `folder` with every missing parent. False when it cannot (a file of that name is in
// the way, no permission); an existing folder is true.
bool create_folders(const std::filesystem::path& folder);
// Creates `folder`, whose path is made from stored names below `base` (an existing folder the
// user chose), with every missing folder between them, never following a link below `base`:
// false when it cannot or when a link is in the way (see link_below).
bool create_folders_below(const std::filesystem::path& base, const std::filesystem::path& folder);

// Creates a new, empty folder of this process's own in the system's temporary folder, its name
// starting with `prefix`, open to this user only where the system has such permissions. Throws
// file_error when none can be made.
std::filesystem::path create_temporary_folder(std::string_view prefix);
// Removes `folder` with everything in it (links inside are removed, not followed); false when
// something could not be removed.
bool remove_folder_tree(const std::filesystem::path& folder) noexcept;

// True when both paths name one existing file (also through links or another spelling).
bool same_file(const std::filesystem::path& a, const std::filesystem::path& b);
// The regular files directly in `folder` whose extension (with its dot) equals `extension` in
// any letter case, sorted by name. Empty when the folder cannot be read.
std::vector<std::filesystem::path> files_with_extension(const std::filesystem::path& folder,
                                                        std::string_view extension);

}  // namespace qbank
