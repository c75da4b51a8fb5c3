#include "edit/note_names.h"

#include <charconv>

namespace qbank {
namespace {

constexpr std::string_view table_a[12] = {"C ", "C#", "D ", "D#", "E ", "F ",
                                          "F#", "G ", "G#", "A ", "A#", "H "};
constexpr std::string_view table_b[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                          "F#", "G",  "G#", "A",  "A#", "H"};
constexpr std::string_view table_c[12] = {"c",  "c#", "d",  "d#", "e",  "f",
                                          "f#", "g",  "g#", "a",  "a#", "b"};

constexpr std::string_view flats_upper[12] = {"",   "Db", "",   "Eb", "",   "",
                                              "Gb", "",   "Ab", "",   "Bb", ""};
constexpr std::string_view flats_lower[12] = {"",   "db", "",   "eb", "",   "",
                                              "gb", "",   "ab", "",   "bb", ""};

}  // namespace

std::string_view flat_letter(note_table table, unsigned note) {
  return table == note_table::c ? flats_lower[note % 12] : flats_upper[note % 12];
}

std::optional<note_reading> read_note_name(std::string_view text, note_convention convention) {
  const bool bank = convention == note_convention::bank;
  const int lowest_octave = bank ? 0 : -1;
  static constexpr int semitone[] = {9, 11, 0, 2, 4, 5, 7, 11};  // a b c d e f g h
  if (text.empty()) return std::nullopt;
  const char letter = static_cast<char>(text[0] | 0x20);
  if (letter < 'a' || letter > (bank ? 'h' : 'g')) return std::nullopt;
  int note = semitone[letter - 'a'];
  std::size_t at = 1;
  if (at < text.size() && text[at] == '#') {
    ++note;
    ++at;
  } else if (at < text.size() && text[at] == 'b') {
    --note;
    ++at;
  } else if (bank && at < text.size() && text[at] == ' ') {
    ++at;
  }
  const char* first = text.data() + at;
  const char* last = text.data() + text.size();
  if (first == last || (*first == '-' ? lowest_octave >= 0 : (*first < '0' || *first > '9')))
    return std::nullopt;
  const char* digits_end = first + (*first == '-' ? 1 : 0);
  while (digits_end != last && *digits_end >= '0' && *digits_end <= '9') ++digits_end;
  int octave = 0;
  const auto [end, ec] = std::from_chars(first, digits_end, octave);
  if (ec != std::errc() || end != digits_end || octave < lowest_octave ||
      octave > lowest_octave + 10)
    return std::nullopt;
  return note_reading{(octave - lowest_octave) * 12 + note,
                      static_cast<std::size_t>(digits_end - text.data())};
}

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
