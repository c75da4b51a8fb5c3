#include "instrument/sf2_reader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "support/region_text.h"
#include "support/sf2_writer.h"

namespace qbank {
namespace {

using testing::sf2_contents;
using testing::sf2_range;

// Generator numbers the cases use.
enum : std::uint16_t {
  start_offset = 0,
  end_offset = 1,
  pan = 17,
  release_vol_env = 38,
  key_range = 43,
  vel_range = 44,
  attenuation = 48,
  coarse = 51,
  fine = 52,
  modes = 54,
  scale = 56,
  root = 58,
};

// Three samples of 400 frames; preset "Piano" (0:0) over instrument "Keys", preset "Organ" (1:5)
// over instrument "Pipe".
sf2_contents library() {
  sf2_contents c;
  c.samples = {{"Low", 0, 400, 44100, 48, -5}, {"High", 400, 800, 22050, 72}, {"Pipe", 800, 1000}};
  c.instruments = {
      {"Keys",
       {{{{attenuation, 60}, {release_vol_env, 0}}},
        {{{key_range, sf2_range(0, 59)}}, 0},
        {{{key_range, sf2_range(60, 127)},
          {vel_range, sf2_range(1, 100)},
          {root, 70},
          {coarse, 2},
          {fine, 10}},
         1}}},
      {"Pipe",
       {{{{start_offset, 10}, {end_offset, 0xFFF6}, {modes, 1}, {pan, 100}, {scale, 0}}, 2}}}};
  c.presets = {
      {"Piano", 0, 0, {{{{key_range, sf2_range(36, 96)}}}, {{{fine, 5}, {attenuation, 20}}, 0}}},
      {"Organ", 5, 1, {{{}, 1}}}};
  return c;
}

sf2_contents stereo() {
  sf2_contents c;
  c.sm24 = true;
  c.samples = {{"L", 0, 500, 48000, 60, 0, 1, 4}, {"R", 500, 1000, 48000, 60, 0, 0, 2}};
  c.instruments = {{"Both",
                    {{{{key_range, sf2_range(0, 127)}, {pan, 0xFE0C}}, 0},
                     {{{key_range, sf2_range(0, 127)}, {pan, 500}}, 1}}}};
  c.presets = {{"Wide", 0, 0, {{{}, 0}}}};
  return c;
}

std::string describe(const region& r) {
  const embedded_sample& e = *r.embedded;
  std::ostringstream o;
  o << "sample " << e.header << " " << e.start << "-" << e.end << " @" << e.rate << " keys "
    << testing::playing_fields(r);
  if (e.side == sample_side::stereo)
    o << " stereo with " << e.link << " " << e.link_start << "-" << e.link_end;
  if (e.sm24_offset) o << " 24-bit";
  return o.str();
}

struct sf2_case {
  const char* name;
  sf2_contents file;
  std::string preset;
  std::string instrument;
  std::vector<std::string> regions;
  std::vector<std::string> not_carried = {};
};

class Sf2Reader : public ::testing::TestWithParam<sf2_case> {};

TEST_P(Sf2Reader, ReadsThePresetsRegions) {
  const sf2_case& c = GetParam();
  const auto b = testing::sf2_bytes(c.file);
  memory_source src(b.data(), b.size());
  const instrument inst = read_sf2(src, "x.sf2", c.preset);
  EXPECT_EQ(inst.name, c.instrument);
  std::vector<std::string> got;
  for (const region& r : inst.regions) got.push_back(describe(r));
  EXPECT_EQ(got, c.regions);
  EXPECT_EQ(inst.not_carried_over, c.not_carried);
}

const std::vector<std::string> piano = {
    "sample 0 0-400 @44100 keys 36-59 root 48 dB -8 r 1",
    "sample 1 400-800 @22050 keys 60-96 root 70 vel 1-100 transpose 2 tune 15 dB -8 r 1"};
const std::vector<std::string> organ = {
    "sample 2 800-1000 @44100 keys 0-127 root 60 fixed "
    "offset 10 end 190"};
const std::vector<std::string> organ_lost = {"sampleModes (loop) (once)", "pan (once)"};

INSTANTIATE_TEST_SUITE_P(
    Files, Sf2Reader,
    ::testing::Values(
        sf2_case{"FirstPresetGlobalZonesIntersectedRangesAndSummedTuning", library(), "", "Piano",
                 piano},
        sf2_case{"PresetByBankAndProgram", library(), "1:5", "Organ", organ, organ_lost},
        sf2_case{"PresetByProgram", library(), "5", "Organ", organ, organ_lost},
        sf2_case{"PresetByNameInAnyCase", library(), "organ", "Organ", organ, organ_lost},
        sf2_case{"LinkedHalvesBecomeOneStereoRegion",
                 stereo(),
                 "",
                 "Wide",
                 {"sample 0 0-500 @48000 keys 0-127 root 60 stereo with 1 500-1000 24-bit"}}),
    [](const ::testing::TestParamInfo<sf2_case>& info) { return info.param.name; });

struct damaged_case {
  const char* name;
  std::vector<std::uint8_t> file;
  std::string preset;
  std::string what;  // after "x.sf2: "
};

std::vector<std::uint8_t> edited(std::vector<std::uint8_t> b, std::size_t at,
                                 std::vector<std::uint8_t> with) {
  std::copy(with.begin(), with.end(), b.begin() + at);
  return b;
}
std::vector<std::uint8_t> cut(std::vector<std::uint8_t> b, std::size_t keep, bool fix_riff) {
  b.resize(keep);
  if (fix_riff) {
    const auto n = static_cast<std::uint32_t>(keep - 8);
    for (int k = 0; k < 4; ++k) b[4 + k] = static_cast<std::uint8_t>(n >> (8 * k));
  }
  return b;
}
sf2_contents with(sf2_contents c, int instrument_target, int sample_target,
                  std::uint32_t sample_end) {
  c.presets[0].zones[1].target = instrument_target;
  c.instruments[0].zones[1].target = sample_target;
  c.samples[0].end = sample_end;
  return c;
}

const std::vector<std::uint8_t> good = testing::sf2_bytes(library());

class Sf2Damaged : public ::testing::TestWithParam<damaged_case> {};

TEST_P(Sf2Damaged, StopsNamingTheChunk) {
  const damaged_case& c = GetParam();
  memory_source src(c.file.data(), c.file.size());
  try {
    read_sf2(src, "x.sf2", c.preset);
    FAIL() << "read without an error";
  } catch (const instrument_error& e) {
    EXPECT_EQ(e.what(), path_to_utf8("x.sf2") + ": " + c.what);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, Sf2Damaged,
    ::testing::Values(
        damaged_case{"TooShort", cut(good, 10, false), "",
                     "chunk 'RIFF': the file is too short for a SoundFont"},
        damaged_case{"BadMagic", edited(good, 8, {'s', 'f', 'b', 'x'}), "",
                     "chunk 'RIFF': not a SoundFont (no RIFF sfbk header)"},
        damaged_case{"TruncatedFile", cut(good, good.size() - 30, false), "",
                     "chunk 'RIFF': runs past the end of the file"},
        damaged_case{"TruncatedChunk", cut(good, good.size() - 30, true), "",
                     "chunk 'LIST': runs past the end of 'RIFF'"},
        damaged_case{"InstrumentIndexPastTheEnd", testing::sf2_bytes(with(library(), 7, 0, 400)),
                     "", "chunk 'pgen': its instrument index 7 lies past the end"},
        damaged_case{"SampleIndexPastTheEnd", testing::sf2_bytes(with(library(), 0, 3, 400)), "",
                     "chunk 'igen': its sample index 3 lies past the end"},
        damaged_case{"SamplePastTheEndOfSmpl", testing::sf2_bytes(with(library(), 0, 0, 1001)), "",
                     "chunk 'shdr': sample 0 lies outside 'smpl'"},
        damaged_case{"NoSuchPreset", good, "Strings", "there is no preset \"Strings\""}),
    [](const ::testing::TestParamInfo<damaged_case>& info) { return info.param.name; });

}  // namespace
}  // namespace qbank
