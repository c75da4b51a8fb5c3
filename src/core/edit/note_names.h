// Note names as the instrument's users write them: three tables of twelve entries, indexed by
// the note number modulo 12, followed by the octave (note number divided by 12) in decimal.
// Note 0 is "C 0" / "C0" / "c0", note 127 is "G 10" / "G10" / "g10".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qbank {

enum class note_table : std::uint8_t {
  a,  // two characters, blank padded: "C ", "C#", ... "H "
  b,  // "C", "C#", ... "H"
  c,  // lower case, "b" for the eleventh: "c", "c#", ... "b"
};

// The table entry for `note` (any note number; only note % 12 is used).
std::string_view note_letter(note_table table, unsigned note);

// The note-name rule "%s%u": the entry of `note` % 12 followed by `note` / 12.
std::string note_name(note_table table, unsigned note);

// The flat that names the same key as the sharp entry of `note` % 12, in the table's letters:
// "Db", "Eb", "Gb", "Ab", "Bb" (table C: "db" ... "bb"); empty for a white key. Users write
// "Db3" as often as "C#3", and both mean one key.
std::string_view flat_letter(note_table table, unsigned note);

// A note name read from the start of a text: its note number and how many bytes it took.
struct note_reading {
  int note = 0;  // may lie outside 0..127 ("G#10" = 128)
  std::size_t length = 0;
};
// How a text writes note names.
enum class note_convention : std::uint8_t {
  // The bank's names, in any of the three tables' spellings: octaves from 0 ("C0" = 0, "C5" =
  // 60), H and B both the eleventh note ("b for Si"), one blank allowed after a letter without
  // sharp or flat (table A's "D 3").
  bank,
  // Software samplers' (SFZ): octaves from -1 ("c-1" = 0, "c4" = 60), letters A to G only.
  software,
};
// Reads a note name at the start of `text`, the letter in either case: the letter, then '#'
// (sharp) or a lower-case 'b' (flat: "Db" = "C#", "Bb" = "A#"), then the octave in decimal, at
// most eleven octaves; the octave takes every digit that follows, so "C45" is not "C4". None
// when the text does not start with a note name.
std::optional<note_reading> read_note_name(std::string_view text, note_convention convention);

// The key picture of a note in the file-slot grid, by note % 12.
enum class key_picture : std::uint8_t {
  white = 0,               // C, D, F, G, A
  white_before_white = 1,  // E and H: the next key is white too
  black = 2,               // the five sharps
};
key_picture key_picture_of(unsigned note);

}  // namespace qbank
