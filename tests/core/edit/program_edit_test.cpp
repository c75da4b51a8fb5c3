#include "edit/program_edit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bank/bank.h"
#include "platform/codepage.h"
#include "support/recording_host.h"

namespace qbank {
namespace {

// Marks every program with its own number (in its name and a parameter) to follow it around.
void mark_programs(bank& b, int count) {
  for (int i = 0; i < count; ++i) {
    std::memset(b.program(i).name, 0, name_size);
    const std::string name = "P" + std::to_string(i);
    std::memcpy(b.program(i).name, name.data(), name.size());
    b.program(i).zones[0].multisample = static_cast<std::uint16_t>(100 + i);
  }
}

std::vector<int> order(const bank& b, int count) {
  std::vector<int> marks;
  for (int i = 0; i < count; ++i) marks.push_back(b.program(i).zones[0].multisample - 100);
  return marks;
}

struct operation_case {
  const char* name;
  program_operation op;
  int from;
  int to;
  std::vector<int> expected;
};

class ProgramOperation : public ::testing::TestWithParam<operation_case> {};

TEST_P(ProgramOperation, ReordersWholeRecords) {
  const operation_case& c = GetParam();
  bank b;
  mark_programs(b, 7);
  apply_program_operation(b, c.op, c.from, c.to);
  EXPECT_EQ(order(b, 7), c.expected);
  // Names travel with the rest of the record.
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(b.program_name_text(i).substr(0, 2), "P" + std::to_string(c.expected[i]));
}

// Grid row 5 dragged onto row 2 is program 4 onto program 1.
INSTANTIATE_TEST_SUITE_P(
    Programs, ProgramOperation,
    ::testing::Values(
        operation_case{"MoveUp", program_operation::move, 4, 1, {0, 4, 1, 2, 3, 5, 6}},
        operation_case{"MoveDown", program_operation::move, 1, 4, {0, 2, 3, 4, 1, 5, 6}},
        operation_case{"MoveToFirst", program_operation::move, 6, 0, {6, 0, 1, 2, 3, 4, 5}},
        operation_case{
            "SwapExchangesOnlyTwo", program_operation::swap, 4, 1, {0, 4, 2, 3, 1, 5, 6}},
        operation_case{
            "CopyOverwritesTarget", program_operation::copy, 4, 1, {0, 4, 2, 3, 4, 5, 6}},
        operation_case{
            "CancelChangesNothing", program_operation::cancel, 4, 1, {0, 1, 2, 3, 4, 5, 6}},
        operation_case{
            "OntoItselfChangesNothing", program_operation::move, 3, 3, {0, 1, 2, 3, 4, 5, 6}}),
    [](const ::testing::TestParamInfo<operation_case>& info) { return info.param.name; });

TEST(ProgramOperation, LastProgramMovesAndOutOfRangeIsIgnored) {
  bank b;
  b.program(9998).velo_sensitive = 77;
  move_program(b, 9998, 0);
  EXPECT_EQ(b.program(0).velo_sensitive, 77);
  EXPECT_EQ(b.program(9998).velo_sensitive, b.program(9997).velo_sensitive);
  move_program(b, 0, 9999);
  copy_program(b, -1, 3);
  swap_programs(b, 0, 10000);
  EXPECT_EQ(b.program(0).velo_sensitive, 77);
}

TEST(ProgramChoiceText, NumberAndName) {
  bank b;
  std::memcpy(b.program(4).name, "Strings\0", 8);
  EXPECT_EQ(program_choice_text(b, 4), "[004] - Strings");
  EXPECT_EQ(program_choice_text(b, 1234), "[1234] - - - -           ");
}

class RenameProgram : public ::testing::Test {
 protected:
  void TearDown() override { set_active_codepage(0); }
  bank b;
  testing::recording_host h;
};

TEST_F(RenameProgram, CutToSixteenAndZeroPadded) {
  set_active_codepage(1252);
  ASSERT_TRUE(rename_program(b, 3, "Grand Piano Concert Hall", h));
  EXPECT_EQ(std::string(b.program(3).name, name_size), "Grand Piano Conc");
  ASSERT_TRUE(rename_program(b, 3, "Pad", h));
  EXPECT_EQ(std::string(b.program(3).name, name_size), std::string("Pad") + std::string(13, '\0'));
  EXPECT_TRUE(h.boxes.empty());
}

TEST_F(RenameProgram, EmptyNameBecomesTheMarker) {
  ASSERT_TRUE(rename_program(b, 0, "", h));
  EXPECT_EQ(std::string(b.program(0).name, name_size),
            std::string("- - -") + std::string(11, '\0'));
}

TEST_F(RenameProgram, NonAsciiStoredInTheCodePage) {
  set_active_codepage(1252);
  ASSERT_TRUE(rename_program(b, 1,
                             "Caf\xC3\xA9 \xC3\x9C"
                             "ber",
                             h));  // "Café Über"
  EXPECT_EQ(std::string(b.program(1).name, 9),
            "Caf\xE9 \xDC"
            "ber");
  set_active_codepage(1251);
  ASSERT_TRUE(rename_program(b, 2, "\xD0\x9F\xD0\xB8\xD0\xB0\xD0\xBD\xD0\xBE", h));  // "Пиано"
  EXPECT_EQ(std::string(b.program(2).name, 6), std::string("\xCF\xE8\xE0\xED\xEE\0", 6));
}

TEST_F(RenameProgram, CharacterOutsideTheCodePageIsRefusedAndNameKept) {
  set_active_codepage(1252);
  ASSERT_TRUE(rename_program(b, 5, "Keep", h));
  EXPECT_FALSE(rename_program(b, 5, "Piano \xE2\x82\xAC\xE4\xB8\xAD", h));  // "€" fits, "中" not
  EXPECT_EQ(std::string(b.program(5).name, 5), std::string("Keep\0", 5));
  ASSERT_EQ(h.messages.size(), 1u);
  EXPECT_EQ(h.messages[0],
            "[Error] The text \"Piano \xE2\x82\xAC\xE4\xB8\xAD\" holds the character "
            "\"\xE4\xB8\xAD\", which the code page 1252 cannot store.");
}

TEST(CopyZone1Name, CopiesAllSixteenBytesOrNothing) {
  bank b;
  const std::string before(b.program(2).name, name_size);
  EXPECT_FALSE(copy_zone1_name(b, 2));
  EXPECT_EQ(std::string(b.program(2).name, name_size), before);
  std::memcpy(b.multisample(42).name, "Choir Aah       ", name_size);
  b.program(2).zones[0].multisample = 42;
  EXPECT_TRUE(copy_zone1_name(b, 2));
  EXPECT_EQ(std::string(b.program(2).name, name_size), "Choir Aah       ");
}

TEST(NextZoneMultisample, FollowsThePreviousZone) {
  blend p{};
  EXPECT_FALSE(next_zone_multisample(p, 3));  // zone 2 empty
  EXPECT_EQ(p.zones[2].multisample, 0);
  p.zones[1].multisample = 17;
  EXPECT_TRUE(next_zone_multisample(p, 3));
  EXPECT_EQ(p.zones[2].multisample, 18);
  p.zones[6].multisample = 9999;  // the last: zone 8 keeps what it has
  p.zones[7].multisample = 5;
  EXPECT_FALSE(next_zone_multisample(p, 8));
  EXPECT_EQ(p.zones[7].multisample, 5);
  EXPECT_FALSE(next_zone_multisample(p, 1));
  EXPECT_FALSE(next_zone_multisample(p, 9));
}

TEST(ZoneLabels, TagsNameTheirBytes) {
  blend p{};
  EXPECT_EQ(zone_label_byte(p, 1), &p.zones[0].velo_low);
  EXPECT_EQ(zone_label_byte(p, 17), &p.zones[7].velo_high);
  EXPECT_EQ(zone_label_byte(p, 23), &p.zones[3].key_low);
  EXPECT_EQ(zone_label_byte(p, 30), &p.zones[0].key_high);
  EXPECT_EQ(zone_label_byte(p, 47), &p.zones[7].volume);
  EXPECT_EQ(zone_label_byte(p, 50), &p.legato_zone.volume);
  EXPECT_EQ(zone_label_byte(p, 51), &p.release_zone.volume);
  EXPECT_EQ(zone_label_byte(p, 55), &p.mod_zones[3].volume);
  EXPECT_EQ(zone_label_byte(p, 60), &p.zones[0].transpose);
  EXPECT_EQ(zone_label_byte(p, 71), &p.release_zone.transpose);
  EXPECT_EQ(zone_label_byte(p, 72), &p.mod_zones[0].transpose);
  int tags = 0;
  for (int tag = -1; tag < 100; ++tag) tags += is_zone_label_tag(tag);
  EXPECT_EQ(tags, 8 * 6 + 6 * 2);
  for (int tag : {0, 9, 18, 28, 48, 56, 68, 76, 80}) EXPECT_FALSE(is_zone_label_tag(tag)) << tag;
}

TEST(ZoneLabels, Texts) {
  blend p{};
  p.zones[2].key_low = 7;
  p.zones[2].transpose = 64 + 12;
  p.mod_zones[1].transpose = 64 - 5;
  p.legato_zone.transpose = 64;
  EXPECT_EQ(zone_label_text(p, 22), "007");
  EXPECT_EQ(zone_label_text(p, 62), "+12");
  EXPECT_EQ(zone_label_text(p, 73), "-5");
  EXPECT_EQ(zone_label_text(p, 70), "+0");
  EXPECT_EQ(zone_label_text(p, 9), "");
}

// One step per pointer event, whatever the distance; 127 does not grow, 0 does not shrink.
TEST(ZoneLabels, DragStepsOncePerEvent) {
  blend p{};
  p.zones[0].volume = 100;
  EXPECT_TRUE(drag_zone_label(p, 40, 300, 10));  // a long way up in one event
  EXPECT_EQ(p.zones[0].volume, 101);
  EXPECT_FALSE(drag_zone_label(p, 40, 10, 10));
  EXPECT_TRUE(drag_zone_label(p, 40, 10, 11));
  EXPECT_EQ(p.zones[0].volume, 100);
  p.zones[0].key_high = 127;
  EXPECT_FALSE(drag_zone_label(p, 30, 5, 4));
  EXPECT_EQ(p.zones[0].key_high, 127);
  p.zones[0].key_low = 0;
  EXPECT_FALSE(drag_zone_label(p, 20, 4, 5));
  EXPECT_EQ(p.zones[0].key_low, 0);
  // Low may pass high: the bytes are independent.
  p.zones[1].velo_low = 90;
  p.zones[1].velo_high = 90;
  EXPECT_TRUE(drag_zone_label(p, 2, 50, 49));
  EXPECT_EQ(p.zones[1].velo_low, 91);
  EXPECT_FALSE(drag_zone_label(p, 19, 50, 49));  // no label has tag 19
}

}  // namespace
}  // namespace qbank
