// Commands that act on many programs or multisamples of the main bank at once: removal of
// single records and ranges, removal of the multisamples no program uses, the where-used
// report, the program-name text file, the multisample-name marker files and the bank-wide
// repairs of old parameter values. Removing a record resets it in place; nothing is renumbered
// and references to it are left as they are.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "bank/bank_format.h"

namespace qbank {

class bank;
class host;

// The multisample range dialog reaches only the multisamples the instrument's first banks held.
inline constexpr int range_dialog_last_multisample = 2047;

// For every multisample number 0..9999, true when one of the 14 zone references of some program
// names it. One pass over the programs.
std::vector<bool> used_multisamples(const bank& b);

// "Remove Selected Program...": asks "Are You Sure ?" ("Remove Program"); on Yes reset_program.
// Returns true when the program was reset.
bool remove_program(bank& b, host& h, int program);
// "Remove Selected Multisample...": asks ("Remove Multisample"); on Yes reset_multisample.
bool remove_multisample(bank& b, host& h, int multisample);

// The range dialogs' "Remove...": asks "Are You Sure ?" ("Remove Multiple Programs" /
// "Remove Multiple Multisamples") and on Yes resets every record first..last inclusive. Returns
// true when the records were reset. A range outside the records or with first > last is a
// caller's error (std::out_of_range).
bool remove_program_range(bank& b, host& h, int first, int last);
bool remove_multisample_range(bank& b, host& h, int first, int last);

// Resets every multisample 1..9999 no program uses, with progress 'c' "Remove UNUSED
// Multisamples..."; lists the removed ones that held files in the report "Report: Removed
// Multisamples Names". Returns the number of removed multisamples that held files.
std::uint32_t remove_unused_multisamples(bank& b, host& h);
// "Remove UNUSED Multisamples...": the question, then the removal, then "No UNUSED multisamples
// found!" when none of the removed held files. Returns false when the user said No.
bool remove_unused_multisamples_command(bank& b, host& h);

// "Where is used this multisample?": the report "Report: Multisample in programs", or the "Info"
// box when no program uses it. Returns the number of programs that use it.
std::uint32_t where_used_report(const bank& b, host& h, int multisample);

// The program-name text file: every program and multisample name, CR LF lines, in the stored
// code page. Replaces `path` atomically; throws file_error when it cannot be written.
void export_program_names(const bank& b, const std::filesystem::path& path, host& h);

// "Save ALL Used Multisamples Names To Multisamples Folders": an empty file "NAME.msn" in the
// folder of each multisample's first file, listed in "Report: Saved Multisamples Names". A name
// that cannot be a file name is skipped with a line saying so. Returns the files created; throws
// file_error when one cannot be created (the files created before remain).
std::uint32_t save_multisample_name_markers(const bank& b, host& h);

// Zone-transpose repair: every zone transpose of 0 becomes 64 (0 semitones). Returns the count.
std::uint32_t reset_zone_transpose(bank& b);
// Program-transpose repair: every pg_transpose of 0 becomes 24. Returns the count.
std::uint32_t reset_program_transpose(bank& b);

// The bank-wide repairs of the Tools menu, each followed by its "Info" box.
enum class program_fix {
  zone_transpose,
  program_transpose,
  octave_up,
  octave_down,
  lfo_speed,
  qs2_mono_hold,
  accordion_release,
};
// The command-line names of the fixes, in the order of program_fix.
inline constexpr std::array<const char*, 7> program_fix_names = {
    "zone-transpose", "program-transpose", "octave-up",        "octave-down",
    "lfo-speed",      "qs2-mono-hold",     "accordion-release"};
// Runs the fix and shows its message (the two transpose repairs show none). Returns its count.
std::uint32_t run_program_fix(bank& b, host& h, program_fix fix);

}  // namespace qbank
