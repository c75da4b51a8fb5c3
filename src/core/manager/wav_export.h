// WAV files back out of a bank file: the audio of one multisample, flat into a chosen folder,
// or of the whole library, rebuilding the source folders below a chosen folder. The audio is
// read from the bank file last read into the bank (its loaded file name) at the positions in
// the multisamples' slot tables; the names come from the file lists.
//
// Stored paths come from files and are not trusted: nothing is ever written outside the chosen
// folder, and no file that any entry of the bank names is overwritten. An entry that would lead
// elsewhere is skipped with a line in a report.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qbank {

class bank;
class host;
class MySplitFileReaderClass;
struct slot;

// The folder choice dialog: `title` and the caption of its confirm button; none when cancelled.
using folder_chooser = std::function<std::optional<std::filesystem::path>(
    std::string_view title, std::string_view confirm)>;

// The 44-byte header of an exported file: mono, 48000 Hz, 16 bits, `data_bytes` of audio.
std::array<std::uint8_t, 44> export_wav_header(std::uint32_t data_bytes);

// The exported file of slot `s`: the header, then its audio read from `reader` and turned from
// offset binary to two's complement, handed to `out` piece by piece. False when the bank file
// does not hold the slot's audio.
bool export_slot_audio(MySplitFileReaderClass& reader, const slot& s,
                       const std::function<void(const void*, std::size_t)>& out);

// Where the library export puts the file of stored path `entry`, below the chosen folder, when
// the library's common path is `common`: a relative path with '\\' separators, without "." or
// empty components; none when the entry would lead outside the folder or has an unusable name.
std::optional<std::string> library_export_path(std::string_view entry, std::string_view common);

// What an export did: WAV files written, and files of non-empty slots that were not (each with a
// line in the report). Both 0 when the export was refused or cancelled before it began.
struct export_counts {
  unsigned written = 0;
  unsigned not_exported = 0;
};

// Exports the slots of multisample m into the chosen folder, then shows the report
// "Report: Exported sample names". A file the bank names (by file identity: any spelling or
// link of it) is never replaced; such a slot is reported and not exported.
export_counts export_multisample(const bank& b, int m, const folder_chooser& choose, host& h);

// Exports every slot of every multisample below the chosen folder, after the question and the
// free-space check, leaving every file the bank names as it is; the slots not exported are
// listed in "Report: Files not exported".
export_counts export_library(const bank& b, const folder_chooser& choose, host& h);

}  // namespace qbank
