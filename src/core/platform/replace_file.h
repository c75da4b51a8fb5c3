// Replacing one file by another: the one step of every safe write that differs between systems.
#pragma once

#include <filesystem>

namespace qbank {

// Renames `from` over `to` (replacing it when it exists) and makes the rename durable (the
// folder is synced on POSIX, the move written through on Windows). Works while files of this
// program hold `to` open for reading: they go on reading the old bytes. Throws file_error
// naming `to`; `from` is then left where it was.
void replace_file(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace qbank
