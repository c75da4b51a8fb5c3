// How `qbank` reads its inputs: a script of a given layout version or a bank file, told apart
// by the options or, without them, by the file's start sector and extension.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace qbank {
class bank;
class host;
}  // namespace qbank

namespace qbank::cli {

struct input_options {
  int from_version = 0;  // 1..6: read as a script of that version; 0: decide
  bool bank = false;     // read as a bank file
};

enum class input_kind { script, bank };

// `--bank` or `--from-version` decide; otherwise a file whose first 511 bytes are the start
// sector of a bank file, or whose extension is ".qbb" in any case, is a bank file.
input_kind detect_input(const std::filesystem::path& path, const input_options& options);

// Resets `b` and reads `path` into it; what the reader reports goes through `h`. Returns the
// layout version read: the script's, or the bank file's (1 to 6, 0 when not recognised).
int load_input(bank& b, const std::filesystem::path& path, const input_options& options, host& h);

// What `qbank info` prints.
struct input_summary {
  input_kind kind = input_kind::script;
  int version = 6;
  int used_programs = 0;
  int multisamples_with_files = 0;
  std::uint32_t used_slots = 0;
  std::uint32_t distinct_paths = 0;
  // Bank files only.
  std::uint64_t total_size = 0;
  int parts_found = 0;
  std::uint64_t audio_sectors = 0;
};

input_summary summarise(const bank& b, const std::filesystem::path& path, input_kind kind,
                        int version);
std::string summary_text(const input_summary& s);
std::string summary_json(const input_summary& s, const std::filesystem::path& path);

}  // namespace qbank::cli
