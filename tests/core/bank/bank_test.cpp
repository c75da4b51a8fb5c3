#include "bank/bank.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qbank {
namespace {

const std::string blank_name = "- - -           ";

TEST(BankReset, DefaultsOfEveryRecordAndList) {
  bank b;
  EXPECT_EQ(b.program_name_text(0), blank_name);
  EXPECT_EQ(b.program_name_text(9998), blank_name);
  EXPECT_EQ(b.multisample_name_text(9999), blank_name);
  const blend& p = b.program(4711);
  for (const zone& z : p.zones) {
    EXPECT_EQ(z.multisample, 0);
    EXPECT_EQ(z.volume, 127);
    EXPECT_EQ(z.velo_low, 0);
    EXPECT_EQ(z.velo_high, 127);
    EXPECT_EQ(z.key_low, 0);
    EXPECT_EQ(z.key_high, 127);
    EXPECT_EQ(z.transpose, 64);
  }
  EXPECT_EQ(p.auto_sample_offset_time_base, 3600);
  EXPECT_EQ(p.delay_time, 250);
  EXPECT_EQ(p.release, 30);
  const struct multisample& m = b.multisample(123);
  EXPECT_EQ(std::string(m.comment, 239), std::string(239, ' '));
  EXPECT_EQ(m.comment[239], '\0');
  for (int j = 0; j < 128; ++j) EXPECT_EQ(b.file(9999, j), "- - -");
  EXPECT_EQ(b.count_used_slots(), 1u);
  EXPECT_EQ(b.loaded_file_name(), "No loaded bank!");
  EXPECT_EQ(b.globals().bytes[16 + 100], 100);
  EXPECT_EQ(b.globals().bytes[492], 1);
  EXPECT_EQ(b.image().start_sector[511], 0xAE);
}

TEST(BankReset, ProgramResetKeepsBytes272To431AndForgetsLoadedName) {
  bank b;
  b.set_loaded_file_name("/x/y.qbs");
  auto* bytes = reinterpret_cast<std::uint8_t*>(&b.program(7));
  std::memset(bytes, 0x5A, 512);
  b.reset_program(7);
  for (int k = 272; k < 432; ++k) ASSERT_EQ(bytes[k], 0x5A) << k;
  EXPECT_EQ(bytes[271], 64);  // reserved_b
  EXPECT_EQ(bytes[436], 64);
  EXPECT_EQ(bytes[437], 70);
  EXPECT_EQ(bytes[453], 127);
  EXPECT_EQ(bytes[458], 0);
  EXPECT_EQ(b.loaded_file_name(), "No loaded bank!");
}

TEST(BankPaths, ReplaceNeverTouchesEmptyMarkerAndReplacesEveryOccurrence) {
  bank b;
  b.set_file(3, 5, "D:\\Lib\\a-b\\Lib.wav");
  b.replace_in_paths("-", "+");
  EXPECT_EQ(b.file(3, 5), "D:\\Lib\\a+b\\Lib.wav");
  EXPECT_EQ(b.file(3, 6), "- - -");
  b.replace_in_paths("Lib", "X");
  EXPECT_EQ(b.file(3, 5), "D:\\X\\a+b\\X.wav");
  b.replace_in_paths("lib", "Y");  // case-sensitive
  EXPECT_EQ(b.file(3, 5), "D:\\X\\a+b\\X.wav");
  EXPECT_TRUE(b.multisample_has_files(3));
  EXPECT_FALSE(b.multisample_has_files(4));
  EXPECT_EQ(b.count_used_slots(), 1u);
}

TEST(BankPaths, EqualTextsShareOneId) {
  bank b;
  b.set_file(1, 0, "a.wav");
  b.set_file(2, 0, std::string("a.") + "wav");
  EXPECT_EQ(b.file_id(1, 0), b.file_id(2, 0));
  b.set_file(1, 1, "- - -");
  EXPECT_TRUE(b.slot_is_empty(1, 1));
}

TEST(BankNames, EmbeddedZeroEndsTheText) {
  bank b;
  std::memcpy(b.program(0).name, "Pia\0no          ", 16);
  EXPECT_EQ(b.program_name_text(0), "Pia");
}

TEST(BankFixes, OctaveShiftCountsUsedProgramsAndRespectsLimits) {
  bank b;
  b.program(0).mod_zones[3].multisample = 5;  // the only multisample, in the last mod zone
  b.program(0).pg_transpose = 37;
  b.program(1).zones[0].multisample = 1;
  b.program(1).pg_transpose = 36;
  b.program(2).pg_transpose = 0;  // unused
  EXPECT_EQ(b.octave_shift(true), 2);
  EXPECT_EQ(b.program(0).pg_transpose, 37);
  EXPECT_EQ(b.program(1).pg_transpose, 48);
  EXPECT_EQ(b.program(2).pg_transpose, 0);
  b.program(0).pg_transpose = 11;
  b.program(1).pg_transpose = 12;
  EXPECT_EQ(b.octave_shift(false), 2);
  EXPECT_EQ(b.program(0).pg_transpose, 11);
  EXPECT_EQ(b.program(1).pg_transpose, 0);
}

TEST(BankFixes, LfoSpeedTable) {
  bank b;
  b.program(0).lfo_speed = 0;
  b.program(1).lfo_speed = 10;
  b.program(2).lfo_speed = 11;
  EXPECT_EQ(b.convert_lfo_speed(), 9999);
  EXPECT_EQ(b.program(0).lfo_speed, 20);
  EXPECT_EQ(b.program(1).lfo_speed, 90);
  EXPECT_EQ(b.program(2).lfo_speed, 75);
  EXPECT_EQ(b.program(3).lfo_speed, 75);  // reset value 64 is "any other"
}

TEST(BankFixes, Qs2MonoHoldOnlyInQs2Mode) {
  bank b;
  auto* p0 = reinterpret_cast<std::uint8_t*>(&b.program(0));
  auto* p1 = reinterpret_cast<std::uint8_t*>(&b.program(1));
  b.program(0).osc_mode = 11;
  p0[458] = 3;
  b.program(1).osc_mode = 10;
  p1[458] = 3;
  EXPECT_EQ(b.clear_qs2_mono_hold(), 1);
  EXPECT_EQ(p0[458], 0);
  EXPECT_EQ(p1[458], 3);
  EXPECT_EQ(b.clear_qs2_mono_hold(), 0);
}

TEST(BankFixes, AccordionReleaseRangesAndIdempotence) {
  bank b;
  for (int i : {2233, 2234, 2261, 2262, 2373, 2374, 2393, 2394}) b.program(i).release = 200;
  EXPECT_EQ(b.fix_accordion_release(), 4);
  for (int i : {2234, 2261, 2374, 2393}) {
    EXPECT_EQ(b.program(i).release, 150) << i;
    EXPECT_EQ(b.program(i).osc_mode, 19) << i;
    EXPECT_EQ(reinterpret_cast<std::uint8_t*>(&b.program(i))[403], 1) << i;
  }
  for (int i : {2233, 2262, 2373, 2394}) EXPECT_EQ(b.program(i).release, 200) << i;
  b.program(2234).release = 300;  // marked already: left alone
  EXPECT_EQ(b.fix_accordion_release(), 0);
  EXPECT_EQ(b.program(2234).release, 300);
}

TEST(BankTitle, ShowsFileNamePartOnly) {
  bank b;
  EXPECT_EQ(b.window_title(), "Quorvatek Samplers Bank Manager - Version: 3.54 / No loaded bank!");
  b.set_loaded_file_name("/home/u/banks/My Bank.qbs");
  EXPECT_EQ(b.window_title(), "Quorvatek Samplers Bank Manager - Version: 3.54 / My Bank.qbs");
}

// A program reset sets every byte of the record but 272..431, whatever the record held before,
// and leaves those as they were.
TEST(ProgramReset, SetsEveryByteButTheKeptRange) {
  blend a, b;
  std::memset(&a, 0xAB, sizeof a);
  std::memset(&b, 0x3C, sizeof b);
  reset_blend(a);
  reset_blend(b);
  const auto* pa = reinterpret_cast<const std::uint8_t*>(&a);
  const auto* pb = reinterpret_cast<const std::uint8_t*>(&b);
  for (std::size_t k = 0; k < sizeof(blend); ++k) {
    if (k >= 272 && k < 432) {
      EXPECT_EQ(pa[k], 0xAB) << k;
      EXPECT_EQ(pb[k], 0x3C) << k;
    } else {
      EXPECT_EQ(pa[k], pb[k]) << k;
    }
  }
  EXPECT_EQ(a.program_volume, 100);
  EXPECT_EQ(a.zones[3].key_high, 127);
}

}  // namespace
}  // namespace qbank
