// The script file (.qbs): a bank's records and WAV paths without audio.
//
//   global_parameter                 2048
//   blend x programs                 512 each
//   (name, comment) x multisamples   256 each (the first 256 bytes of each multisample record)
//   text: 128 lines per multisample (file-list entries, CR LF), "- - -" for an empty slot
//
// Layout versions differ only in the record counts: 1 and 2: 128 programs and 2048 multisamples;
// 3: 256 / 2048; 4: 999 / 2048; 5: 9999 / 2048; 6: 9999 / 10000 (the only one written).
// A version outside 1..6 is read like 2. There is no header: the reader is told the version.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace qbank {

class bank;
class host;

inline constexpr std::size_t script_v6_binary_size = 7'681'536;

// Writes the version-6 script of `b` to `path`, replacing it atomically. Shows progress 'w'
// "Saving QBS file...". Throws file_error when the file cannot be created or written.
void save_script(const bank& b, const std::filesystem::path& path, host& h);

// Reads a script of layout `version` into `b`, which the caller has reset. Repairs every loaded
// program, then shows the old-version notice ("Info"). Throws file_error when the file cannot be
// opened, and command_error when the text part ends before every file list is filled (the
// lists not reached keep their reset content).
void load_script(bank& b, const std::filesystem::path& path, int version, host& h);

// The window's open command: reset, load, remember the path as the loaded file name.
void open_script(bank& b, const std::filesystem::path& path, int version, host& h);

}  // namespace qbank
