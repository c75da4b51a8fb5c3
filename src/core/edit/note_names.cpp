#include "edit/note_names.h"

namespace qbank {
namespace {

constexpr std::string_view table_a[12] = {"C ", "C#", "D ", "D#", "E ", "F ",
                                          "F#", "G ", "G#", "A ", "A#", "H "};
constexpr std::string_view table_b[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                          "F#", "G",  "G#", "A",  "A#", "H"};
constexpr std::string_view table_c[12] = {"c",  "c#", "d",  "d#", "e",  "f",
                                          "f#", "g",  "g#", "a",  "a#", "b"};

}  // namespace

std::string_view note_letter(note_table table, unsigned note) {
  switch (table) {
    case note_table::a:
      return table_a[note % 12];
    case note_table::b:
      return table_b[note % 12];
    case note_table::c:
      break;
  }
  return table_c[note % 12];
}

std::string note_name(note_table table, unsigned note) {
  std::string name(note_letter(table, note));
  name += std::to_string(note / 12);
  return name;
}

key_picture key_picture_of(unsigned note) {
  switch (note % 12) {
    case 1:
    case 3:
    case 6:
    case 8:
    case 10:
      return key_picture::black;
    case 4:
    case 11:
      return key_picture::white_before_white;
    default:
      return key_picture::white;
  }
}

}  // namespace qbank
