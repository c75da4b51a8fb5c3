// The bank build: the pre-build validation (checks every WAV file named in the file lists,
// assigns every slot its sector position, computes the expected size, offers three reports) and
// the writing pass that turns the bank and its WAV files into a version-6 bank file, split
// into part files at the part limit.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "bank/split_file.h"

namespace qbank {

class bank;
class host;

struct validation_result {
  std::uint32_t invalid = 0;
  std::uint32_t missing = 0;
  std::uint32_t empty = 0;
  // Slots whose audio would pass the last sector a slot record can address, plus 1 when the
  // bank needs more part files than the reader takes.
  std::uint32_t too_large = 0;
  std::uint64_t expected_bank_size = 0;  // bytes of the bank file the build would write
  std::uint32_t errors() const { return invalid + missing + empty + too_large; }
};

struct build_options {
  bool split = true;
  std::uint64_t part_limit = default_part_limit;  // injectable so tests can use a small one
};

// What the validation decides about one stored WAV path, without a report: `accepted` for a file
// a slot can take, otherwise the reason it would be listed. Throws file_error when the file
// exists but cannot be opened.
enum class wav_check { accepted, missing, no_wav, invalid_format, too_long, empty };
wav_check check_stored_wav(std::string_view stored);

// Rewrites every slot table of `b` and offers the reports of invalid, missing and empty files
// and of a bank too large to build (questions "Info"); `options` gives the parts the bank is
// built in. Throws file_error when a WAV file exists but cannot be opened.
validation_result validate_for_build(bank& b, host& h, const build_options& options = {});

// Validation, then writing. Refuses with the "ERRORR..." message ("Bank creation...") when the
// validation found errors; nothing is written then. Parts are written under temporary names and
// renamed into place only when the whole build succeeded; part files of an earlier, longer
// build are removed. Returns true when the bank file was written.
bool build_bank_file(bank& b, const std::filesystem::path& path, host& h,
                     const build_options& options = {});

// The window's "Save Sampler Bank File ..." command: saves the script beside the bank file
// (extension ".QBS", after its own validation), then build_bank_file.
bool save_script_and_build(bank& b, const std::filesystem::path& path, host& h,
                           const build_options& options = {});

// The window's "Save Sampler Script File ..." command: validation, then save_script; remembers
// the path as the loaded file name.
void validate_and_save_script(bank& b, const std::filesystem::path& path, host& h);

// "Calculate bank SIZE  (Version 6)": validation, then the "Estimated Bank Size ..." message.
validation_result calculate_bank_size(bank& b, host& h);

// "Reform loaded script file to bank file": the loaded file name gets the extension ".QBB".
void reform_loaded_name(bank& b);

}  // namespace qbank
