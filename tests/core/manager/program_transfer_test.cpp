// Program transfers with equal, free and no multisamples; the row rules of the manager's
// buttons; the import of second-generation sounds.
#include "manager/program_transfer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "manager/s2_bank.h"
#include "support/recording_host.h"

namespace qbank {
namespace {

using testing::recording_host;

constexpr const char* no_free = "[Error] No free multisample in main bank!";

void name_it(char (&field)[16], const char* text) {
  std::memset(field, ' ', 16);
  std::memcpy(field, text, std::strlen(text));
}

// Multisample n of `b` named `name` with `count` files under `folder`.
void fill(bank& b, int n, const char* name, const std::string& folder, int count = 3) {
  name_it(b.multisample(n).name, name);
  for (int j = 0; j < count; ++j) b.set_file(n, j, folder + "\\" + std::to_string(j) + ".wav");
}

TEST(Transfer, ProgramWithoutMultisamplesIsAPlainCopy) {
  bank main, source;
  name_it(source.program(4).name, "Plain");
  source.program(4).attack = 777;
  fill(main, 1, "Kept", "M");
  recording_host h;
  transfer_program(main, source, 9, 4, h);
  EXPECT_EQ(std::memcmp(&main.program(9), &source.program(4), sizeof(blend)), 0);
  EXPECT_EQ(main.multisample_name_text(1), "Kept            ");
  EXPECT_FALSE(main.multisample_has_files(2));
  EXPECT_TRUE(h.boxes.empty());
}

TEST(Transfer, SharedMultisampleIsPlacedOnceAndReusedByLaterTransfers) {
  bank main, source;
  fill(source, 7, "Strings", "S:\\Lib\\Str", 5);
  std::memcpy(source.multisample(7).comment, "my comment", 10);
  blend& p = source.program(2);
  for (zone& z : p.zones) z.multisample = 7;
  p.release_zone.multisample = 7;
  // Main multisample 1 is used; 2 has a name and comment but no files, so it counts as free.
  fill(main, 1, "Other", "O");
  name_it(main.multisample(2).name, "Stale");
  main.multisample(2).slots[0] = {1234, 5};
  recording_host h;
  transfer_program(main, source, 0, 2, h);
  for (const zone& z : main.program(0).zones) EXPECT_EQ(z.multisample, 2);
  EXPECT_EQ(main.program(0).release_zone.multisample, 2);
  EXPECT_EQ(main.program(0).legato_zone.multisample, 0);
  EXPECT_EQ(main.multisample_name_text(2), "Strings         ");
  EXPECT_EQ(std::memcmp(main.multisample(2).comment, "my comment", 10), 0);
  EXPECT_EQ(+main.multisample(2).slots[0].first_sector, 1234u);  // slot tables stay
  EXPECT_EQ(main.file(2, 4), "S:\\Lib\\Str\\4.wav");
  EXPECT_TRUE(main.slot_is_empty(2, 5));

  // Again into another program: the copy is found by name and list, nothing new is taken.
  transfer_program(main, source, 1, 2, h);
  EXPECT_EQ(main.program(1).zones[3].multisample, 2);
  EXPECT_FALSE(main.multisample_has_files(3));
  EXPECT_TRUE(h.boxes.empty());
}

TEST(Transfer, EqualNeedsTheSameNameAndTheSameListInOrder) {
  bank main, source;
  fill(source, 3, "Pad", "P");
  fill(main, 5, "Pad", "P");  // equal
  fill(main, 4, "pad", "P");  // name differs in case
  fill(main, 1, "Pad", "Q");  // list differs
  source.program(0).zones[0].multisample = 3;
  recording_host h;
  transfer_program(main, source, 0, 0, h);
  EXPECT_EQ(main.program(0).zones[0].multisample, 5);

  // The same files in another order is another multisample: it goes to the first free one.
  source.set_file(3, 0, "P\\1.wav");
  source.set_file(3, 1, "P\\0.wav");
  transfer_program(main, source, 1, 0, h);
  EXPECT_EQ(main.program(1).zones[0].multisample, 2);
}

TEST(Transfer, NoFreeMultisampleShowsOneMessagePerReferenceAndZeroesIt) {
  bank main, source;
  for (int n = 1; n < multisample_count; ++n) main.set_file(n, 0, "F" + std::to_string(n));
  fill(source, 10, "A", "A");
  fill(source, 11, "B", "B");
  fill(main, 9999, "B", "B");  // B exists in main: reused
  blend& p = source.program(0);
  p.zones[0].multisample = 10;
  p.zones[1].multisample = 11;
  p.mod_zones[3].multisample = 10;
  name_it(p.name, "Copied");
  recording_host h;
  transfer_program(main, source, 5, 0, h);
  EXPECT_EQ(h.boxes, (std::vector<std::string>{no_free, no_free}));
  EXPECT_EQ(main.program_name_text(5), "Copied          ");
  EXPECT_EQ(main.program(5).zones[0].multisample, 0);
  EXPECT_EQ(main.program(5).zones[1].multisample, 9999);
  EXPECT_EQ(main.program(5).mod_zones[3].multisample, 0);
}

TEST(Transfer, FullMainBankOfDistinctMultisamples) {
  // 9999 multisamples holding files: each reference is a lookup, not a scan (the bench times it).
  bank main, source;
  for (int n = 1; n < multisample_count; ++n) {
    name_it(main.multisample(n).name, "Same");
    for (int j = 0; j < slots_per_multisample; ++j)
      main.set_file(n, j, "L\\" + std::to_string(n) + "_" + std::to_string(j));
  }
  name_it(source.multisample(1).name, "Same");
  for (int j = 0; j < slots_per_multisample; ++j)
    source.set_file(1, j, "L\\9876_" + std::to_string(j));
  for (zone& z : source.program(0).zones) z.multisample = 1;
  recording_host h;
  transfer_program(main, source, 0, 0, h);
  EXPECT_EQ(main.program(0).zones[7].multisample, 9876);
  EXPECT_TRUE(h.boxes.empty());
}

TEST(TransferRows, MoveOneLine) {
  bank main, source;
  name_it(source.program(9996).name, "Moved");
  recording_host h;
  auto rows = transfer_one_line(main, source, {9996, 9996}, h);
  ASSERT_TRUE(rows);
  EXPECT_EQ(rows->main, 9997);
  EXPECT_EQ(rows->other, 9997);
  EXPECT_EQ(main.program_name_text(9996), "Moved           ");
  for (manager_rows refused :
       {manager_rows{9997, 0}, manager_rows{0, 9997}, manager_rows{9998, 0}}) {
    EXPECT_FALSE(transfer_one_line(main, source, refused, h));
  }
  EXPECT_EQ(h.boxes, std::vector<std::string>(
                         3, "[Bank Manager] Not possible!\nThis is last program position!"));
}

TEST(TransferRows, MoveMultiple) {
  bank main, source;
  for (int s = 100; s < 110; ++s) name_it(source.program(s).name, std::to_string(s).c_str());
  recording_host h;
  EXPECT_FALSE(transfer_range(main, source, 9990, 100, 109, h));
  EXPECT_EQ(h.boxes, (std::vector<std::string>{
                         "[Bank Manager] Not possible!\nGo outside last program position in "
                         "destination bank!"}));
  EXPECT_EQ(main.program_name_text(9990), "- - -           ");

  auto rows = transfer_range(main, source, 9990, 100, 108, h);
  ASSERT_TRUE(rows);
  EXPECT_EQ(main.program_name_text(9990), "100             ");
  EXPECT_EQ(main.program_name_text(9998), "108             ");
  EXPECT_EQ(rows->main, 9998);  // past the last row: stays on it
  EXPECT_EQ(rows->other, 109);
  rows = transfer_range(main, source, 10, 100, 101, h);
  EXPECT_EQ(rows->main, 12);
  EXPECT_EQ(rows->other, 102);
}

// Sound import ----------------------------------------------------------------------------

std::uint8_t* raw(s2_sound& s) {
  return reinterpret_cast<std::uint8_t*>(&s);
}
const std::uint8_t* raw(const blend& b) {
  return reinterpret_cast<const std::uint8_t*>(&b);
}

TEST(SoundImport, ParametersFollowTheTable) {
  bank main;
  s2_bank s2;
  s2_sound& s = s2.sound(12);
  std::uint8_t* b = raw(s);
  for (int k = 16; k < 512; ++k)
    if (k < 56 || k >= 216) b[k] = static_cast<std::uint8_t>(k % 200 + 1);
  name_it(s.name, "Sound Twelve");
  b[20] = 14;   // oscillator mode kept
  b[304] = 3;   // speed 50
  b[237] = 30;  // transpose +6
  main.program(12).lfo_waveform = 9;
  main.set_loaded_file_name("x.qbb");
  import_sound(main, s2, 12);
  const blend& p = main.program(12);
  EXPECT_EQ(main.loaded_file_name(), "No loaded bank!");
  EXPECT_EQ(main.program_name_text(12), "Sound Twelve    ");
  EXPECT_EQ(p.program_volume, b[240]);
  EXPECT_EQ(p.velo_sensitive, b[242]);
  EXPECT_EQ(p.osc_mode, 14);
  EXPECT_EQ(p.sample_offset, b[220]);
  EXPECT_EQ(p.lfo_speed, 50);
  EXPECT_EQ(p.lfo_depth, b[325]);
  EXPECT_EQ(p.pg_transpose, 6);
  EXPECT_EQ(p.porta_time, b[24]);
  const bank fresh;
  EXPECT_EQ(p.lfo_waveform, fresh.program(0).lfo_waveform);  // reset, not copied
  const std::uint8_t* q = raw(p);
  for (auto [at, from] :
       {std::pair{346, 32}, {363, 316}, {402, 250}, {458, 21}, {473, 22}, {474, 225}, {477, 221}})
    EXPECT_EQ(q[at], b[from]) << at;
  EXPECT_EQ(q[328], 0);
  EXPECT_EQ(q[339], 0);
  std::uint16_t v;
  std::memcpy(&v, b + 222, 2);
  EXPECT_EQ(p.auto_sample_offset_time_base, v);
  std::memcpy(&v, b + 246, 2);
  EXPECT_EQ(p.release, v);
}

TEST(SoundImport, TranslationTables) {
  struct row {
    std::uint8_t osc_in, osc_out, speed_in, speed_out, transpose_in, transpose_out;
  };
  for (const row& r : {row{7, 0, 0, 20, 23, 24}, row{17, 17, 10, 90, 24, 0},
                       row{27, 0, 11, 75, 72, 48}, row{28, 0, 255, 75, 0, 24}}) {
    bank main;
    s2_bank s2;
    raw(s2.sound(0))[20] = r.osc_in;
    raw(s2.sound(0))[304] = r.speed_in;
    raw(s2.sound(0))[237] = r.transpose_in;
    import_sound(main, s2, 0);
    EXPECT_EQ(main.program(0).osc_mode, r.osc_out) << int(r.osc_in);
    EXPECT_EQ(main.program(0).lfo_speed, r.speed_out) << int(r.speed_in);
    EXPECT_EQ(main.program(0).pg_transpose, r.transpose_out) << int(r.transpose_in);
  }
}

TEST(SoundImport, ZonesBringTheirMultisamples) {
  bank main;
  s2_bank s2;
  s2_sound& s = s2.sound(12);
  s.zones[0] = {40, 90, 1, 126, 36, 72, 60};
  s.zones[1] = {41, 0, 0, 127, 0, 127, 64};      // silent: not taken
  s.zones[2] = {10000, 90, 0, 127, 0, 127, 64};  // no such multisample: not taken
  s.zones[9] = {42, 90, 0, 127, 0, 127, 64};     // zones 8..15 are not used
  s.zones[16] = {43, 80, 0, 127, 0, 127, 70};
  s.zones[19] = {40, 70, 0, 127, 0, 127, 52};
  s2_multisample& m = s2.multisample(40);
  name_it(m.name, "Imported");
  m.data[0] = 'c';
  m.slots[5] = {0xC000'0123u, 9, 0x8100, 0};
  s2.set_file(40, 5, "D:\\S2\\x.wav");
  name_it(s2.multisample(43).name, "Mod");
  // Main multisample 40 held something else: the import overwrites it.
  fill(main, 40, "Old", "Old", 10);
  recording_host h;
  auto rows = import_sound_range(main, s2, {100, 12}, 12, 12, h);
  ASSERT_TRUE(rows);
  EXPECT_EQ(rows->main, 13);
  EXPECT_EQ(rows->other, 13);
  const blend& p = main.program(12);
  EXPECT_EQ(std::memcmp(&p.zones[0], &s.zones[0], sizeof(zone)), 0);
  EXPECT_EQ(p.zones[1].multisample, 0);
  EXPECT_EQ(p.zones[1].volume, 127);
  EXPECT_EQ(p.zones[2].multisample, 0);
  EXPECT_EQ(p.mod_zones[0].multisample, 43);
  EXPECT_EQ(p.mod_zones[0].volume, 80);
  EXPECT_EQ(p.mod_zones[0].transpose, 70);
  EXPECT_EQ(p.release_zone.multisample, 40);
  EXPECT_EQ(p.release_zone.transpose, 52);
  EXPECT_EQ(main.program_name_text(100), "- - -           ");

  EXPECT_EQ(main.multisample_name_text(40), "Imported        ");
  EXPECT_EQ(main.multisample(40).comment[0], 'c');
  EXPECT_EQ(+main.multisample(40).slots[5].first_sector, 0x123u);  // flags dropped
  EXPECT_EQ(+main.multisample(40).slots[5].sector_count, 9);
  EXPECT_EQ(main.file(40, 5), "D:\\S2\\x.wav");
  EXPECT_TRUE(main.slot_is_empty(40, 0));
  EXPECT_EQ(main.multisample_name_text(43), "Mod             ");
  EXPECT_EQ(main.multisample_name_text(42), "- - -           ");
}

TEST(SoundImport, RangeRowsAndRefusals) {
  bank main;
  s2_bank s2;
  name_it(s2.sound(9996).name, "Last");
  recording_host h;
  EXPECT_FALSE(import_sound_range(main, s2, {9997, 0}, 0, 0, h));
  EXPECT_FALSE(import_sound_range(main, s2, {0, 9997}, 9997, 9998, h));
  EXPECT_EQ(h.boxes.size(), 2u);
  auto rows = import_sound_range(main, s2, {0, 9996}, 9995, 9998, h);
  ASSERT_TRUE(rows);
  EXPECT_EQ(main.program_name_text(9996), "Last            ");
  EXPECT_EQ(rows->other, 9998);
}

}  // namespace
}  // namespace qbank
