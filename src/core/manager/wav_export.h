// WAV files back out of a bank file: the audio of one multisample, flat into a chosen folder,
// or of the whole library, rebuilding the source folders below a chosen folder. The audio is
// read from the bank file last read into the bank (its loaded file name) at the positions in
// the multisamples' slot tables; the names come from the file lists.
//
// Stored paths come from files and are not trusted: nothing is ever written outside the chosen
// folder, and no source WAV file is overwritten. An entry that would lead elsewhere is skipped
// with a line in a report.
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

// The folder choice dialog: `title` and the caption of its confirm button; none when cancelled.
using folder_chooser = std::function<std::optional<std::filesystem::path>(
    std::string_view title, std::string_view confirm)>;

// The longest run of leading characters shared by every entry but the empty slot marker of all
// file lists (compared byte by byte, case-sensitively); empty when there is no entry.
std::string library_common_path(const bank& b);

// The 44-byte header of an exported file: mono, 48000 Hz, 16 bits, `data_bytes` of audio.
std::array<std::uint8_t, 44> export_wav_header(std::uint32_t data_bytes);

// Exports the slots of multisample m into the chosen folder, then shows the report
// "Report: Exported sample names". Returns the number of WAV files written.
unsigned export_multisample(const bank& b, int m, const folder_chooser& choose, host& h);

// Exports every slot of every multisample below the chosen folder, after the question and the
// free-space check. Returns the number of WAV files written.
unsigned export_library(const bank& b, const folder_chooser& choose, host& h);

}  // namespace qbank
