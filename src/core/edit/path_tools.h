// The path tools: the library common path (the longest leading text that every stored WAV path
// of a bank shares) and the replacement of a piece of text in every stored path, used when a
// sample library moves to another folder or drive.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qbank {

class bank;
class host;

// The library common path keeps at most this many characters.
inline constexpr std::size_t common_path_max = 2047;

// The longest run of leading bytes shared by every entry of every file list other than "- - -",
// compared byte by byte and case-sensitively (so D:\Lib\Piano\a.wav and D:\Lib\Pad\b.wav give
// D:\Lib\P); empty when the bank holds no path. Stored (code-page) text.
std::string library_common_path(const bank& b);

// "Library Common Path: " followed by the common path (UTF-8), as the multisamples tab shows it.
std::string library_common_path_caption(const bank& b);

// The replace command once the texts are known (UTF-8, as typed): only when both are non-empty,
// every occurrence of `old_text` in every stored path becomes `new_text`. A text the code page
// cannot hold is refused with a message and nothing changes. Returns true when the bank's
// paths were rewritten.
bool replace_text_in_paths(bank& b, std::string_view old_text, std::string_view new_text, host& h);

// The new-text field after a folder was chosen: the folder followed by `separator`, with every
// doubled separator made single (a drive root "E:\" stays "E:\", "/" stays "/").
std::string folder_as_new_text(std::string_view folder, char separator);

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
