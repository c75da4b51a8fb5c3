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
#include <string_view>

namespace qbank {

class bank;
class byte_source;
class host;

inline constexpr std::size_t script_v6_binary_size = 7'681'536;

// The notice ("Info") shown after loading a script or bank file of an old `version`; null for 6.
const char* old_version_notice(int version);

// Reads `programs` 512-byte program records from `in` into programs 0.., repairing each as every
// load does; a record cut short keeps the bytes it had.
void read_programs(bank& b, byte_source& in, int programs);

// Fills the file lists of multisamples 0..multisamples-1 with the text lines from `text`'s
// position, 128 lines each. When the lines run out, the list being filled is completed with the
// empty slot marker and command_error is thrown, naming `what` ("The script file"); a line longer
// than max_line_bytes also throws command_error, with its line number. Returns the bytes of
// `text` the lists took, line ends included.
std::uint64_t read_file_lists(bank& b, byte_source& text, int multisamples, host& h,
                              std::string_view what);

// Writes the version-6 script of `b` to `path`, replacing it atomically. Shows progress 'w'
// "Saving QBS file...". Throws file_error when the file cannot be created or written.
void save_script(const bank& b, const std::filesystem::path& path, host& h);

// Reads a script of layout `version` into `b`, which the caller has reset. Repairs every loaded
// program, then shows the old-version notice ("Info"). Throws file_error when the file cannot be
// opened, and command_error when the text part ends before every file list is filled (the
// lists not reached keep their reset content).
void load_script(bank& b, const std::filesystem::path& path, int version, host& h);
// The same from `in`, read from its position.
void load_script(bank& b, byte_source& in, int version, host& h);

// The window's open command: loads into a fresh bank, which replaces `b` (with the path as its
// loaded file name) only once the whole script is read. A failure throws as load_script does
// and leaves `b` and its loaded file name as they were.
void open_script(bank& b, const std::filesystem::path& path, int version, host& h);

}  // namespace qbank
