#include "edit/program_parameters.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qbank {
namespace {

std::vector<std::uint8_t> record_bytes(const blend& p) {
  std::vector<std::uint8_t> bytes(sizeof p);
  std::memcpy(bytes.data(), &p, sizeof p);
  return bytes;
}

// A list index chosen in the Program tab: the bytes it leaves in the 512-byte record and the
// index the list then shows.
struct stored_case {
  const char* name;
  const char* field;
  int index;
  std::size_t offset;
  std::vector<std::uint8_t> bytes;  // at `offset`, little-endian
  int shown;
};

class ProgramParameterStore : public testing::TestWithParam<stored_case> {};

TEST_P(ProgramParameterStore, LeavesTheRecordBytesAndShowsTheStoredIndex) {
  const stored_case& c = GetParam();
  const program_parameter* rule = find_program_parameter(c.field);
  ASSERT_NE(rule, nullptr);
  blend p{};
  EXPECT_EQ(store_parameter_index(p, *rule, c.index), c.shown);
  std::vector<std::uint8_t> expected(sizeof p, 0);
  std::copy(c.bytes.begin(), c.bytes.end(), expected.begin() + c.offset);
  EXPECT_EQ(record_bytes(p), expected);  // nothing else of the record changes
  EXPECT_EQ(parameter_index(p, *rule), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ProgramParameterStore,
    testing::Values(
        stored_case{"PortaTimeBelowFiveIsRaised", "porta_time", 2, 27, {5}, 5},
        stored_case{"PortaTimeAsChosen", "porta_time", 200, 27, {200}, 200},
        stored_case{"DelayTimeWithoutSelectionIsOne", "delay_time", -1, 482, {1, 0}, 1},
        stored_case{"DelayTimeTwoBytes", "delay_time", 452, 482, {0xC4, 0x01}, 452},
        stored_case{
            "TimeBaseZeroIsRaisedAndScaled", "auto_sample_offset_time_base", 0, 478, {100, 0}, 1},
        stored_case{"TimeBaseLastEntry", "auto_sample_offset_time_base", 99, 478, {0xAC, 0x26}, 99},
        stored_case{"TransposeZeroSemitones", "pg_transpose", 24, 25, {24}, 24},
        stored_case{"AttackTwoBytes", "attack", 3999, 508, {0x9F, 0x0F}, 3999},
        stored_case{"ReleaseTwoBytes", "release", 1000, 510, {0xE8, 0x03}, 1000},
        stored_case{"VeloToPortaOff", "velo_to_porta", 0, 23, {0}, 0},
        stored_case{"QsPortaOffset", "qs_porta_offset", 32, 474, {32}, 32},
        stored_case{"ProgramVolumeIsShownOnly", "program_volume", 7, 16, {0}, 0}),
    [](const testing::TestParamInfo<stored_case>& info) { return std::string(info.param.name); });

TEST(ProgramZoneLists, StoreAllFourteenInRecordOrder) {
  blend p{};
  std::array<int, zone_reference_count> indexes{};
  for (int k = 0; k < zone_reference_count; ++k) indexes[k] = 100 + k;
  indexes[9] = -1;  // the release list without selection: "No Multisample"
  store_zone_indexes(p, indexes);
  const std::vector<std::uint8_t> bytes = record_bytes(p);
  auto u16_at = [&bytes](std::size_t at) { return bytes[at] | bytes[at + 1] << 8; };
  for (int i = 0; i < 8; ++i) EXPECT_EQ(u16_at(28 + 8 * i), 100 + i) << "basic zone " << i + 1;
  EXPECT_EQ(u16_at(92), 108);  // legato
  EXPECT_EQ(u16_at(96), 0);    // release
  for (int j = 0; j < 4; ++j) EXPECT_EQ(u16_at(100 + 4 * j), 110 + j) << "mod zone " << j + 1;
}

}  // namespace
}  // namespace qbank
