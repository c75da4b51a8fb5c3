// Automatic placement by note number or note name: the search texts, the one-pass matcher
// against the plain substring search it replaces, and the command with its messages.
#include "edit/auto_position.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "bank/bank.h"
#include "edit/note_names.h"
#include "platform/file_io.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

using testing::recording_host;
using testing::temp_dir;

constexpr std::uint8_t t0 = transpose_byte(0);

TEST(NoteNames, TablesAndTheOctaveRule) {
  EXPECT_EQ(note_name(note_table::a, 0), "C 0");
  EXPECT_EQ(note_name(note_table::a, 49), "C#4");
  // The blank of the two-character entry stays before a two-digit octave, as in "(E 10)".
  EXPECT_EQ(note_name(note_table::a, 127), "G 10");
  EXPECT_EQ(note_name(note_table::a, 71), "H 5");
  EXPECT_EQ(note_name(note_table::b, 0), "C0");
  EXPECT_EQ(note_name(note_table::b, 49), "C#4");
  EXPECT_EQ(note_name(note_table::b, 127), "G10");
  EXPECT_EQ(note_name(note_table::c, 49), "c#4");
  EXPECT_EQ(note_name(note_table::c, 71), "b5");
  EXPECT_EQ(note_name(note_table::c, 127), "g10");
  EXPECT_EQ(key_picture_of(60), key_picture::white);
  EXPECT_EQ(key_picture_of(61), key_picture::black);
  EXPECT_EQ(key_picture_of(64), key_picture::white_before_white);
  EXPECT_EQ(key_picture_of(71), key_picture::white_before_white);
  EXPECT_EQ(key_picture_of(70), key_picture::black);
}

TEST(SearchText, NumbersNamesAndTransposes) {
  EXPECT_EQ(search_text(position_criterion::number, t0, 60), " 060");
  EXPECT_EQ(search_text(position_criterion::number, t0, 7), " 007");
  // Transpose -12: slot 72 searches note 60.
  EXPECT_EQ(search_text(position_criterion::number, transpose_byte(-12), 72), " 060");
  // +48: slot 100 searches note 148; -48: slot 10 wraps to note 218 in 8 bits.
  EXPECT_EQ(search_text(position_criterion::number, transpose_byte(48), 100), " 148");
  EXPECT_EQ(search_text(position_criterion::number, transpose_byte(-48), 10), " 218");
  EXPECT_EQ(search_text(position_criterion::table_b, t0, 61), "C#5");
  EXPECT_EQ(search_text(position_criterion::table_a, t0, 62), "D 5");
  EXPECT_EQ(search_text(position_criterion::table_c, t0, 12), "c1");
  EXPECT_EQ(search_text(position_criterion::table_b, transpose_byte(48), 127), "G14");
}

TEST(NoteNames, ReadingANameInAnyTablesSpellingWithFlats) {
  constexpr note_convention bank = note_convention::bank;
  constexpr note_convention sfz = note_convention::software;
  struct row {
    const char* text;
    note_convention convention;
    std::optional<int> note;
    std::size_t length = 0;
  };
  const row rows[] = {
      {"C0", bank, 0, 2},       {"C 5", bank, 60, 3},   {"C#4", bank, 49, 3}, {"Db4", bank, 49, 3},
      {"db4.wav", bank, 49, 3}, {"H 5", bank, 71, 3},   {"b5", bank, 71, 2},  {"Bb3", bank, 46, 3},
      {"G10", bank, 127, 3},    {"G#10", bank, 128, 4}, {"c4", sfz, 60, 2},   {"c-1", sfz, 0, 3},
      {"Eb-1", bank, {}},       {"C45", bank, {}},      {"C#", bank, {}},     {"X4", bank, {}},
      {"DB4", bank, {}},        {"C#11", bank, {}},     {"c10", sfz, {}},     {"h4", sfz, {}},
      {"c 4", sfz, {}},
  };
  for (const row& r : rows) {
    const std::optional<note_reading> got = read_note_name(r.text, r.convention);
    ASSERT_EQ(got.has_value(), r.note.has_value()) << r.text;
    if (!got) continue;
    EXPECT_EQ(got->note, *r.note) << r.text;
    EXPECT_EQ(got->length, r.length) << r.text;
  }
}

TEST(PlaceByName, FlatsFillTheSlotOfTheirSharpUnderEveryNameCriterion) {
  struct row {
    position_criterion criterion;
    int transpose;
    const char* name;  // in "D:\Lib\Pad <name>.wav"
    int slot;          // -1: no slot
  };
  const row rows[] = {
      {position_criterion::table_a, 0, "C#4", 49},   {position_criterion::table_a, 0, "Db4", 49},
      {position_criterion::table_a, 0, "Bb3", 46},   {position_criterion::table_b, 0, "D#5", 63},
      {position_criterion::table_b, 0, "Eb5", 63},   {position_criterion::table_b, 0, "Ab9", 116},
      {position_criterion::table_b, -12, "Gb4", 66}, {position_criterion::table_c, 0, "gb2", 30},
      {position_criterion::table_c, 0, "ab3", 44},   {position_criterion::table_c, 0, "Ab3", -1},
      {position_criterion::number, 0, "Db4", -1},
  };
  for (const row& r : rows) {
    bank b;
    const std::vector<std::string> paths = {std::string("D:\\Lib\\Pad ") + r.name + ".wav"};
    place_by_name(b, 1, paths, r.criterion, transpose_byte(r.transpose));
    for (int n = 0; n < slots_per_multisample; ++n) {
      // Table C's flats also hold "b" and an octave, which is the eleventh note's name there.
      if (r.criterion == position_criterion::table_c && n % 12 == 11) continue;
      EXPECT_EQ(b.file(1, n), n == r.slot ? paths[0] : "- - -")
          << "criterion " << int(r.criterion) << " " << r.name << " slot " << n;
    }
  }
}

// The placement as first described: for each slot, each file in order, a plain substring search.
std::vector<std::string> place_slot_by_slot(const std::vector<std::string>& paths,
                                            position_criterion c, std::uint8_t t,
                                            unsigned& matches) {
  std::vector<std::string> slots(slots_per_multisample, "- - -");
  matches = 0;
  for (int n = 0; n < slots_per_multisample; ++n) {
    const std::vector<std::string> texts = search_texts(c, t, n);
    for (const std::string& path : paths) {
      if (std::any_of(texts.begin(), texts.end(), [&](const std::string& text) {
            return path.find(text) != std::string::npos;
          })) {
        slots[n] = path;
        ++matches;
      }
    }
  }
  return slots;
}

TEST(PlaceByName, AgreesWithTheSlotBySlotSearchOnRandomPaths) {
  // Paths dense in digits, blanks, note letters and sharps, so that matches (and overlapping
  // matches such as C1 inside C10) are frequent.
  std::mt19937 random(1234);
  const std::string alphabet = " 0123456789#CDEFGAHcdefgabh\\.x";
  for (const position_criterion c : {position_criterion::number, position_criterion::table_a,
                                     position_criterion::table_b, position_criterion::table_c}) {
    for (const int transpose : import_transposes) {
      std::vector<std::string> paths;
      for (int f = 0; f < 40; ++f) {
        std::string p = "D:\\Lib\\";
        const int length = 1 + static_cast<int>(random() % 24);
        for (int i = 0; i < length; ++i) p += alphabet[random() % alphabet.size()];
        paths.push_back(p);
      }
      unsigned expected_matches = 0;
      const auto expected =
          place_slot_by_slot(paths, c, transpose_byte(transpose), expected_matches);
      bank b;
      const placement_counts counts = place_by_name(b, 5, paths, c, transpose_byte(transpose));
      EXPECT_EQ(counts.matches, expected_matches);
      EXPECT_EQ(counts.files, paths.size());
      for (int n = 0; n < slots_per_multisample; ++n)
        ASSERT_EQ(b.file(5, n), expected[n])
            << "criterion " << int(c) << " transpose " << transpose << " slot " << n;
    }
  }
}

TEST(PlaceByName, TheExamplesOfTheMenu) {
  bank b;
  // Number, transpose 0 and -12.
  std::vector<std::string> piano = {"D:\\Lib\\Piano 060.wav"};
  EXPECT_EQ(place_by_name(b, 1, piano, position_criterion::number, t0).matches, 1u);
  EXPECT_EQ(b.file(1, 60), piano[0]);
  place_by_name(b, 2, piano, position_criterion::number, transpose_byte(-12));
  EXPECT_EQ(b.file(2, 72), piano[0]);
  EXPECT_TRUE(b.slot_is_empty(2, 60));
  // "060" without the blank before it is not a note number.
  std::vector<std::string> glued = {"D:\\Lib\\Piano060.wav"};
  EXPECT_EQ(place_by_name(b, 3, glued, position_criterion::number, t0).matches, 0u);

  // Sharps by table B; C1 also matches inside C10, so one file fills two slots.
  std::vector<std::string> names = {"D:\\Lib\\Str C#5.wav", "D:\\Lib\\Str C10.wav"};
  const placement_counts counts = place_by_name(b, 4, names, position_criterion::table_b, t0);
  EXPECT_EQ(b.file(4, 61), names[0]);
  EXPECT_EQ(b.file(4, 12), names[1]);   // C1
  EXPECT_EQ(b.file(4, 120), names[1]);  // C10
  EXPECT_TRUE(b.slot_is_empty(4, 60));  // "C#5" does not hold "C5"
  EXPECT_EQ(counts.matches, 3u);

  // With the lowest transpose the low slots search notes above 127 and stay empty.
  std::vector<std::string> low = {"D:\\Lib\\Bass 010.wav", "D:\\Lib\\Bass 218.wav"};
  place_by_name(b, 6, low, position_criterion::number, transpose_byte(-48));
  EXPECT_EQ(b.file(6, 10), low[1]);
  EXPECT_EQ(b.file(6, 58), low[0]);
}

TEST(PlaceByName, LastMatchWinsAndEveryMatchCounts) {
  bank b;
  b.set_file(7, 59, "D:\\keep.wav");
  std::vector<std::string> paths = {"D:\\A\\x 060.wav", "D:\\B\\y 060.wav", "D:\\C\\none.wav"};
  const placement_counts counts = place_by_name(b, 7, paths, position_criterion::number, t0);
  EXPECT_EQ(b.file(7, 60), paths[1]);
  EXPECT_EQ(b.file(7, 59), "D:\\keep.wav");  // a slot no file matches keeps its file
  EXPECT_EQ(counts.matches, 2u);
  EXPECT_EQ(counts.files, 3u);
}

TEST(AddMultipleByName, CountsMessageThenTheMarkerNameOffer) {
  temp_dir dir;
  write_whole_file(dir / "Warm Pad.msn", "", 0);
  write_whole_file(dir / "A very long marker name.MSN", "", 0);  // first by name, any case
  const std::string folder = dir.path().string();
  std::vector<std::string> paths = {folder + "/Pad 060.wav", folder + "/Pad 062.wav",
                                    folder + "/Pad.wav"};
  bank b;
  recording_host h;
  h.answers = {true};
  int refreshes = 0;
  std::size_t boxes_at_refresh = 99;
  const placement_counts counts =
      add_multiple_by_name(b, 9, paths, position_criterion::number, t0, h, [&] {
        ++refreshes;
        boxes_at_refresh = h.boxes.size();
      });
  EXPECT_EQ(counts.matches, 2u);
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(boxes_at_refresh, 0u);  // the grid shows the files before the message
  ASSERT_EQ(h.boxes.size(), 2u);
  EXPECT_EQ(h.boxes[0], "[Info] Added 2 from 3 files.");
  EXPECT_EQ(h.boxes[1], "[Question] Use multisample name: \"A very long mark\" ?");
  EXPECT_EQ(std::string(b.multisample(9).name, 16), "A very long mark");

  // Answered No, the name stays; a folder without a marker file asks nothing.
  recording_host no;
  add_multiple_by_name(b, 10, paths, position_criterion::number, t0, no, {});
  EXPECT_EQ(no.questions.size(), 1u);
  EXPECT_EQ(b.multisample_name_text(10), "- - -           ");
  recording_host none;
  std::vector<std::string> elsewhere = {(dir / "no such folder" / "Pad 060.wav").string()};
  add_multiple_by_name(b, 11, elsewhere, position_criterion::number, t0, none, {});
  EXPECT_EQ(none.boxes, std::vector<std::string>{"[Info] Added 1 from 1 files."});
}

// After the counts and the name offer, a report names every file that was not placed and every
// placed file the build would refuse, in the order chosen; the earlier lines stay as they were.
TEST(AddMultipleByName, ReportsFilesNotPlacedAndFilesTheBuildRefuses) {
  temp_dir dir;
  const std::int16_t samples[] = {100, -100, 200, -200};
  testing::bytes other_rate = testing::wav_bytes(1, samples);
  other_rate[24] = 0x44;  // 44100 Hz
  other_rate[25] = 0xAC;
  testing::write_file(dir / "Good 060.wav", testing::wav_bytes(1, samples));
  testing::write_file(dir / "Rate 061.wav", other_rate);
  testing::write_file(dir / "Text 062.wav", testing::bytes(64, 'x'));
  testing::write_file(dir / "Empty 063.wav", testing::wav_bytes(1, {}));
  testing::write_file(dir / "No note.wav", testing::wav_bytes(1, samples));
  const std::string folder = dir.path().string() + "/";
  const std::vector<std::string> paths = {folder + "Good 060.wav",   folder + "No note.wav",
                                          folder + "Rate 061.wav",   folder + "Text 062.wav",
                                          folder + "Empty 063.wav",  folder + "Gone 064.wav",
                                          folder + "Gone either.wav"};
  bank b;
  recording_host h;
  const placement_counts counts =
      add_multiple_by_name(b, 2, paths, position_criterion::number, t0, h, {});
  EXPECT_EQ(counts.placed, 5u);
  EXPECT_EQ(h.boxes, std::vector<std::string>{"[Info] Added 5 from 7 files."});
  EXPECT_TRUE(h.reports.empty());
  EXPECT_EQ(placement_problems(paths, counts),
            (std::vector<std::string>{
                "Not placed, no note found in the name: " + folder + "No note.wav",
                "Placed, but not a 16-bit 48 kHz WAV file (convert it with conform): " + folder +
                    "Rate 061.wav",
                "Placed, but not a 16-bit 48 kHz WAV file (convert it with conform): " + folder +
                    "Text 062.wav",
                "Not placed, no note found in the name: " + folder + "Gone either.wav"}));
  // Files that all went into place and are all usable leave nothing to say.
  recording_host clean;
  const auto first = std::span(paths).first(1);
  EXPECT_TRUE(placement_problems(first, add_multiple_by_name(
                                            b, 3, first, position_criterion::number, t0, clean, {}))
                  .empty());
}

TEST(AddMultipleByName, AnEmptyMarkerNameOffersTheEmptyName) {
  temp_dir dir;
  write_whole_file(dir / ".msn", "", 0);
  std::vector<std::string> paths = {(dir / "x 001.wav").string()};
  bank b;
  recording_host h;
  h.default_answer = true;
  add_multiple_by_name(b, 1, paths, position_criterion::number, t0, h, {});
  EXPECT_EQ(h.questions.at(0), "[Question] Use multisample name: \"- - -\" ?");
  EXPECT_EQ(std::string(b.multisample(1).name, 6), std::string("- - -\0", 6));
}

TEST(AddMultipleByName, AnUnknownCriterionChangesNothing) {
  bank b;
  recording_host h;
  std::vector<std::string> paths = {"D:\\x 060.wav"};
  add_multiple_by_name(b, 1, paths, static_cast<position_criterion>(7), t0, h, {});
  EXPECT_EQ(h.boxes, std::vector<std::string>{"[Info] Invalid Criteria!"});
  EXPECT_FALSE(b.multisample_has_files(1));
}

}  // namespace
}  // namespace qbank
