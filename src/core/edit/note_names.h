// Note names as the instrument's users write them: three tables of twelve entries, indexed by
// the note number modulo 12, followed by the octave (note number divided by 12) in decimal.
// Note 0 is "C 0" / "C0" / "c0", note 127 is "G 10" / "G10" / "g10".
#pragma once

#include <cstdint>
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

// The key picture of a note in the file-slot grid, by note % 12.
enum class key_picture : std::uint8_t {
  white = 0,               // C, D, F, G, A
  white_before_white = 1,  // E and H: the next key is white too
  black = 2,               // the five sharps
};
key_picture key_picture_of(unsigned note);

}  // namespace qbank
