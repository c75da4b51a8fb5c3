// The bank manager's operations on the main bank: program transfers from the manager bank with
// every multisample they play, and imports of second-generation sounds with theirs.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "bank/bank.h"
#include "bank/zone_references.h"

namespace qbank {

class host;
class s2_bank;


// The main bank's multisamples 1..9999 by name and file list, and its free ones, so that each
// reference of a transfer is placed with one pass over a table of 64-bit keys instead of
// comparing names and file lists over the whole bank. Built in one pass over the file lists.
class multisample_index {
 public:
  explicit multisample_index(const bank& main);
  // The lowest multisample whose name text and 128 entries equal these; 0 when none.
  int find_equal(std::string_view name, const file_list& files) const;
  // The lowest multisample whose 128 entries are all the empty slot marker; 0 when none.
  int first_free() const { return first_free_ < multisample_count ? first_free_ : 0; }
  // Multisample n of the main bank changed its name or file list.
  void update(int n);

 private:
  void index(int n);

  const bank& main_;
  std::vector<std::uint64_t> keys_;  // by multisample number; keys_[0] is never a match
  std::vector<bool> free_;
  int first_free_ = multisample_count;
};

// Copies manager program `s` over main program `d` and places every multisample it plays: an
// equal main multisample is reused, otherwise the source is copied into the first free one;
// with neither, "No free multisample in main bank!" (caption "Error") is shown and the
// reference becomes 0.
void transfer_program(bank& main, const bank& source, int d, int s, host& h);
void transfer_program(bank& main, const bank& source, int d, int s, multisample_index& index,
                      host& h);

// The selected programs of the bank manager's lists: the main list and the other list (the
// manager list or the second-generation list).
struct manager_rows {
  int main = 0;
  int other = 0;
};

// "<< Execute <<\nMove 1 Line Down": refuses on the last two positions, otherwise transfers and
// returns both rows one lower.
std::optional<manager_rows> transfer_one_line(bank& main, const bank& source, manager_rows rows,
                                              host& h);
// "<< Execute <<\nMove Multiple": manager programs top..bottom into main programs from d0;
// returns the rows after the ranges (the last row when a range ends on it).
std::optional<manager_rows> transfer_range(bank& main, const bank& source, int d0, int top,
                                           int bottom, host& h);

// Imports second-generation sound n into main program n with its multisamples.
void import_sound(bank& main, const s2_bank& s2, int n);
// Copies second-generation multisample k (1..9999) into main multisample k.
void import_s2_multisample(bank& main, const s2_bank& s2, int k);
// "<< Sampler 2 Sound <<": sounds top..bottom into the main programs of the same numbers;
// refused when either current row is on the last two positions. Returns the new rows.
std::optional<manager_rows> import_sound_range(bank& main, const s2_bank& s2, manager_rows rows,
                                               int top, int bottom, host& h);

}  // namespace qbank
