// Conform: the audio files a bank names that the instrument refuses ("No WAV file", "Invalid
// WAV format") but that can be decoded are converted to 16-bit 48 kHz WAV files with the
// canonical header below a chosen folder, and the bank's paths are pointed at them.
//
// The result of a source keeps the source's folders below the library's common folder (the
// common path up to its last separator), its name with the extension ".wav". The sources are
// never changed. A name that already exists below the folder and is not an earlier result of
// the same source is never overwritten: the result gets a numbered name ("C3 (2).wav"). Which
// file is whose result is kept in the folder's manifest (see conform_manifest.h), written
// before the results, so a run stopped half-way is taken up by the next one.
#pragma once

#include <filesystem>
#include <string_view>

namespace qbank {

class bank;
class host;

inline constexpr std::string_view conform_unavailable_text =
    "Conform is not available in this build: it needs libsndfile and libsoxr.";
inline constexpr std::string_view conform_report_title = "Report: Conform WAV Files";

struct conform_options {
  std::filesystem::path into;  // the folder the results go below
  bool dry_run = false;        // report only: no file or folder is written
};

struct conform_totals {
  unsigned converted = 0;          // written in this run
  unsigned converted_earlier = 0;  // the result of an earlier run, still up to date
  unsigned kept = 0;               // taken by the instrument as they are, missing, or other faults
  unsigned refused = 0;            // could not be converted (reason in the report)
  bool paths_changed = false;      // some slot now names another file
};

// Conforms the files of `b` (each distinct path once) and points every slot that named a
// converted source at its result; shows the report "Report: Conform WAV Files" through `h`.
// Throws command_error when this build has no conform or the folder cannot hold paths of the
// bank's code page, file_error when the folder or a result cannot be created.
conform_totals conform_bank(bank& b, const conform_options& options, host& h);

}  // namespace qbank
