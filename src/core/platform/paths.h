// Paths as stored in banks and scripts: uninterpreted bytes in the Windows ANSI code page,
// written on any machine (`D:\Lib\Piano\C3.wav`). These helpers are the one place where such a
// path becomes a native one, and where stored paths are split and re-extended.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qbank {

// The two places where text and std::filesystem::path meet; the text is always UTF-8, on every
// system (on Windows the path holds UTF-16, and narrow strings would go through the ANSI code
// page). Everything else passes std::filesystem::path around.
std::filesystem::path path_from_utf8(std::string_view utf8);
std::string path_to_utf8(const std::filesystem::path& path);

// The native path for a stored path: code page -> UTF-8, and on POSIX `\` read as a separator.
std::filesystem::path native_path(std::string_view stored);

// The native path as UTF-8 text, for messages and reports.
std::string native_path_text(std::string_view stored);

// A native (UTF-8) path for storing: UTF-8 -> code page. Throws command_error naming the first
// character that the code page cannot hold.
std::string stored_path(const std::filesystem::path& native);

// The file-name part of a stored or native path (after the last `\` or `/`).
std::string_view stored_file_name(std::string_view path);
// The folder part, without the trailing separator; empty when there is none.
std::string_view stored_folder(std::string_view path);

// `path` with everything from the last "." of its file-name part replaced by `extension`
// (which includes its dot); a name without a dot gets `extension` appended.
std::string replace_extension(std::string_view path, std::string_view extension);

// The same for a native path.
std::filesystem::path path_with_extension(const std::filesystem::path& path,
                                          std::string_view extension);

// True when the extension of `path` equals `extension` (with its dot) in any letter case.
bool has_extension(std::string_view path, std::string_view extension);

}  // namespace qbank
