// Automatic placement of WAV files into the 128 slots of a multisample by a note number or a
// note name found in each file's path ("Add MULTIPLE WAV files - to AUTO position by NAME...").
//
// Slot n searches for note k = (n + t - 48) mod 256, where t is the import-transpose byte
// (48 + the transpose in semitones). The search text is " %03u" of k for the number criterion,
// or the note name of k ("%s%u" of a note table) for the three name criteria. A file goes into
// every slot whose search text occurs anywhere in its path (exact, case-sensitive substring);
// when several files match a slot, the last one in the given order stays there.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qbank {

class bank;
class host;

enum class position_criterion : std::uint8_t {
  number,   // "Note NUMBER from 000 to 127 ( XXX)"
  table_a,  // "Note NAME from C 0 to G10 (C#4),(D 3),(E 10)"
  table_b,  // "Note NAME from C0 to G10 (C#4),(D3),(E10)"
  table_c,  // "Note NAME from c0 to g10 (c#4),(d3),(e10) - b for Si"
};
inline constexpr int position_criterion_count = 4;

// The import transposes offered, in semitones, in menu order; the byte is 48 + semitones.
inline constexpr std::array<int, 9> import_transposes = {-48, -36, -24, -12, 0, 12, 24, 36, 48};
inline constexpr std::uint8_t transpose_byte(int semitones) {
  return static_cast<std::uint8_t>(48 + semitones);
}

// The text slot `slot` (0..127) searches for.
std::string search_text(position_criterion criterion, std::uint8_t t, int slot);
// Every text slot `slot` searches for: search_text, and for a black key under a name criterion
// also its flat ("Db4" beside "C#4", table C "db4"). A path holding either fills the slot once.
std::vector<std::string> search_texts(position_criterion criterion, std::uint8_t t, int slot);

// The slots whose search text occurs in a path, found in one pass over the path with a lookup
// table of the 128 search texts (instead of 128 substring searches).
class slot_matcher {
 public:
  slot_matcher(position_criterion criterion, std::uint8_t t);

  // Bit n of the result (word n / 64, bit n % 64) is set when slot n's text occurs in `path`.
  std::array<std::uint64_t, 2> match(std::string_view path) const;

 private:
  static constexpr std::size_t table_size = 512;  // open addressing, at most 128 + 55 keys
  static std::size_t slot_of_key(std::uint32_t key) { return (key * 0x9E3779B1u) >> (32 - 9); }

  std::array<bool, 256> first_byte_{};            // bytes that begin some search text
  std::array<std::uint32_t, table_size> keys_{};  // a text's bytes, little-endian; 0 = free
  std::array<std::uint8_t, table_size> slots_{};
  std::uint8_t lengths_ = 0;  // bit L set when some text has L bytes (2..4)
};

struct placement_counts {
  unsigned matches = 0;  // slot placements made; a file placed in three slots counts three
  unsigned files = 0;    // files offered
  unsigned placed = 0;   // files placed in at least one slot
  std::vector<std::size_t> unplaced;  // indexes into the paths of the files no slot took
};

// Places `paths` (stored texts, in the order the user chose them) into multisample `n` by
// their note numbers or names. Slots that no file matches keep what they held.
placement_counts place_by_name(bank& b, int n, std::span<const std::string> paths,
                               position_criterion criterion, std::uint8_t t);

// The whole command once the files are chosen: the placement, `refresh`, the message
// "Added %u from %u files." ("Info"), then the multisample-name offer of the first file's
// folder (see offer_marker_name). A criterion outside the four shows "Invalid Criteria!" and
// changes nothing. What went wrong with single files is placement_problems' to say.
placement_counts add_multiple_by_name(bank& b, int n, std::span<const std::string> paths,
                                      position_criterion criterion, std::uint8_t t, host& h,
                                      const std::function<void()>& refresh);

// One line for each file of `paths` that `counts` says was not placed (no note found in its
// name) and for each placed file that holds audio in a format the build does not take (not a
// 16-bit 48 kHz WAV file), in the order of `paths`. The window shows them as the report
// placement_problems_title.
inline constexpr const char* placement_problems_title = "Report: Placement problems";
std::vector<std::string> placement_problems(std::span<const std::string> paths,
                                            const placement_counts& counts);

// Looks in the folder of `first_path` (stored) for a multisample-name marker file ("*.msn", any
// letter case; the first by name when there are several). Its file name without the extension,
// cut to 16 characters, is offered with "Use multisample name: \"%s\" ?" ("Question"); on Yes
// it becomes multisample `n`'s name. Returns true when the name was taken.
bool offer_marker_name(bank& b, int n, std::string_view first_path, host& h);

}  // namespace qbank
