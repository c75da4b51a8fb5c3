// Stored WAV paths as a whole: the library common path (the longest leading text that every
// stored path of a bank shares) and the pieces of a stored path that may become file names
// below another folder. Conform, the WAV export and the path tools all build on these.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qbank {

class bank;

// The library common path keeps at most this many characters.
inline constexpr std::size_t common_path_max = 2047;

// The longest run of leading bytes shared by every entry of every file list other than "- - -",
// compared byte by byte and case-sensitively (so D:\Lib\Piano\a.wav and D:\Lib\Pad\b.wav give
// D:\Lib\P); empty when the bank holds no path. Stored (code-page) text.
std::string library_common_path(const bank& b);

// True when `name` can be one file or folder name on every file system the instrument's users
// write to: not empty, not "." or "..", no separator, drive colon or reserved character.
bool usable_name(std::string_view name);

// `rest` as a relative stored path (components joined by `\`) that stays below the folder it is
// put under: "." and empty components dropped; none when a component is ".." or not a usable
// name, or when nothing is left.
std::optional<std::string> relative_below(std::string_view rest);

// The stored path without its drive ("D:") and root separators.
std::string_view without_root(std::string_view path);

}  // namespace qbank
