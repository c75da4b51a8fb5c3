// Programs out to the software samplers: each program becomes an SFZ or a DecentSampler
// instrument that plays as the instrument plays it. Every used zone is a group over its
// velocity and key windows, every slot a region at its own key; what the formats have no place
// for is written into the file as comments naming it, and listed in the report.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qbank {

class bank;
class host;

enum class instrument_format { sfz, dspreset };

// The extension of the format's files, with its dot.
const char* instrument_extension(instrument_format format);

// The text of program `p`'s instrument file in `format`. `sample(m, j)` gives the path (relative
// to the instrument file, '/' separators, UTF-8) of the audio of slot j of multisample m, or
// none when that slot has no audio to write; `default_path` (empty: none) is the SFZ
// <control> default_path, which `sample` paths are then relative to. Lines of what has no place
// in the format are appended to `not_carried`.
std::string instrument_text(const bank& b, int p, instrument_format format,
                            const std::function<std::optional<std::string>(int m, int j)>& sample,
                            const std::string& default_path, std::vector<std::string>& not_carried);

// The file name (without extension) of program `p`'s instrument: "<number> <name>", the name's
// trailing blanks trimmed and characters a file name cannot hold replaced by '_' (`replaced` is
// set when any were).
std::string instrument_file_stem(const bank& b, int p, bool* replaced = nullptr);

struct instrument_export_options {
  instrument_format format = instrument_format::sfz;
  // The audio is copied beside the instrument file, into a folder named like it.
  bool copy_audio = false;
  // The bank was read from a bank file: the audio comes from there, written as WAV files beside
  // the instrument as with copy_audio.
  bool audio_from_bank = false;
};

// What an export did, in the order it happened.
struct instrument_export_report {
  std::vector<std::filesystem::path> written;    // files made or replaced by this run
  std::vector<std::filesystem::path> unchanged;  // already there with the same content
  std::vector<std::string> renamed;              // names that had to change to become file names
  std::vector<std::string> notes;                // what had no place, what could not be written
};

// The report's lines: "Written: PATH", "Unchanged: PATH", "Renamed: WHAT", then
// "Not carried over: NOTE".
std::vector<std::string> instrument_export_lines(const instrument_export_report& r);

// Writes the instrument of every program in `programs` into `dir` (created when missing).
// Nothing is written outside `dir`; an existing file is never replaced: one with the same
// content is kept as it is, one with other content makes the new file take a numbered name
// ("NAME (2).sfz"). A slot whose audio cannot be read is left out with a note. Throws
// command_error when `dir` cannot be made or a file cannot be written (files already written
// stay; each is whole).
instrument_export_report export_instruments(const bank& b, const std::vector<int>& programs,
                                            const std::filesystem::path& dir,
                                            const instrument_export_options& options, host& h);

}  // namespace qbank
