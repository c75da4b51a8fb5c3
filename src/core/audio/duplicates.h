// Repetition in the bank: WAV paths used by more than one multisample, multisamples whose whole
// slot list equals that of a lower-numbered one, and WAV files whose audio is identical under
// different paths. Paths compare as stored bytes (case-sensitive, no normalisation). Only
// multisamples 1..9999 take part; 0 is never examined or changed.
//
// The reports list their lines in the order of a pairwise comparison (multisample a ascending,
// its slots, then every later multisample b and its slots), but are built in one pass over the
// slots with lookup tables keyed by the interned path ids.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qbank {

class bank;
class host;

// `find_duplicate_samples`: every pair of slots of different multisamples naming the same path,
// in the report "Report: Check for DUPLICATED samples!". Returns the number of pairs.
std::uint64_t find_duplicate_samples(const bank& b, host& h);

// `remove_duplicate_multisamples`: merges every multisample whose 128 slot texts equal those of
// a lower-numbered one into the lowest of them (program zones that named it name the kept one;
// it is reset), in the report "Report: Remove DUPLICATED samples!". Returns the number deleted.
std::uint32_t remove_duplicate_multisamples(bank& b, host& h);

// The menu commands: the long-time question, the operation, and the box when nothing was found.
// Return false when the user said No.
bool duplicate_samples_command(const bank& b, host& h);
bool remove_duplicate_multisamples_command(bank& b, host& h);

// WAV files (accepted by the WAV reader, with audio) named by different paths whose audio data
// are byte for byte identical, in the same channel layout. Changes nothing.
struct content_group {
  std::vector<std::string> paths;  // stored paths, in the order the bank first names them
  std::uint32_t data_bytes = 0;    // audio bytes of each
  std::uint64_t saved_bytes = 0;   // disk bytes freed by keeping only the first file (a file
                                   // several paths name counted once)
};
std::vector<content_group> find_duplicate_content(const bank& b, host& h);
// The command: the long-time question, the search, its report "Report: DUPLICATED audio
// content" or the box "No WAV files with identical audio found!". False when the user said No.
bool duplicate_content_command(const bank& b, host& h);

}  // namespace qbank
