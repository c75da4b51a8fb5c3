// The second-generation bank: templates, reset values, and the reader over hand-made files of
// every version, whole and split, with each refusal the reader knows.
#include "manager/s2_bank.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "bank/split_file.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/s2_file_builder.h"
#include "support/temp_dir.h"

namespace qbank {
namespace {

using testing::recording_host;
using testing::s2_file_builder;
using testing::temp_dir;

constexpr const char* ok = "[Info] Bank loading OK!";
constexpr const char* aborted = "[Info] Bank loading is aborted!";

void patch(const std::filesystem::path& path, std::uint64_t at, std::vector<std::uint8_t> bytes) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(at));
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

template <typename T>
std::vector<std::uint8_t> le(T v) {
  std::vector<std::uint8_t> b(sizeof v);
  std::memcpy(b.data(), &v, sizeof v);
  return b;
}

// A bank with a named sound playing multisample 5, whose slot 60 has audio and a path.
s2_file_builder sample_bank(int version) {
  s2_file_builder f(version);
  std::memcpy(f.image().sounds[7].name, "Grand Piano     ", 16);
  f.image().sounds[7].zones[0] = {5, 100, 0, 127, 0, 127, 64};
  std::memcpy(f.image().multisamples[5].name, "Piano MS        ", 16);
  const std::uint32_t first = static_cast<std::uint32_t>((version == 1   ? s2_header_size_v1
                                                          : version == 2 ? s2_header_size_v2
                                                                         : s2_header_size_v3) /
                                                         512);
  f.set_audio(5, 60, first | 0x4000'0000u, 3);  // a flag bit set: stored as read
  f.set_name(5, 60, "D:\\Lib\\Piano\\C3.wav");
  f.set_name(9999, 127, "D:\\Lib\\last.wav");
  return f;
}

TEST(S2Templates, StartEndAndNamesSectorsHoldTheirBytes) {
  const sector_bytes& s = s2_start_sector_template();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.data()), 48),
            "Quorvatek Ample LEAD Sampler2 Bank File QBB     ");
  EXPECT_EQ(s[0x30], 0x55);
  EXPECT_EQ(s[0x9F], 0xC3);
  EXPECT_EQ(s[0xA9], 0x13);
  EXPECT_EQ(s[0xF1], 0xAA);
  EXPECT_EQ(s[0x1FE], 0x55);
  EXPECT_EQ(s[0x1FF], 0x04);
  const sector_bytes& e = s2_end_sector_template();
  EXPECT_TRUE(std::equal(e.begin(), e.begin() + 0xF0, s.begin()));
  EXPECT_EQ(e[0x100], 0x00);
  EXPECT_EQ(e[0x130], 0x55);
  EXPECT_EQ(e[0x13F], 0xAA);
  EXPECT_EQ(e[0x1B0], 0x00);
  EXPECT_EQ(e[0x1D0], 0x55);
  EXPECT_EQ(e[0x1FD], 0xAA);
  EXPECT_EQ(e[0x1FE], 0x55);
  EXPECT_EQ(e[0x1FF], 0x5A);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s2_names_sector().data()) + 496, 16),
            "MultisampleNames");
}

TEST(S2Bank, ResetValues) {
  s2_bank b;
  const s2_sound& s = b.sound(9999);
  const auto* raw = reinterpret_cast<const std::uint8_t*>(&s);
  EXPECT_EQ(b.sound_name_text(0), "- - -           ");
  EXPECT_EQ(raw[24], 30);
  EXPECT_EQ(raw[253], 0);
  EXPECT_EQ(raw[270], 100);
  EXPECT_EQ(raw[300], 100);
  EXPECT_EQ(raw[353], 250);
  EXPECT_EQ(raw[381], 15);
  std::uint16_t v;
  std::memcpy(&v, raw + 246, 2);
  EXPECT_EQ(v, 30);
  EXPECT_EQ(s.zones[19].volume, 127);
  EXPECT_EQ(s.zones[19].transpose, 64);
  const s2_multisample& m = b.multisample(0);
  EXPECT_EQ(std::string(m.name, 16), "- - -           ");
  EXPECT_EQ(m.data[0], ' ');
  EXPECT_EQ(m.data[239], 0);
  EXPECT_EQ(m.slots[127].settings, 0x8100);
  EXPECT_EQ(b.file(9999, 127), "- - -");
  EXPECT_EQ(std::memcmp(b.image().setups[3].bytes, "- - -                   ", 24), 0);
}

class S2ReadVersion : public ::testing::TestWithParam<int> {};

TEST_P(S2ReadVersion, ReadsRecordsSlotsAndNames) {
  const int version = GetParam();
  temp_dir dir;
  const s2_file_builder f = sample_bank(version);
  f.write(dir / "b.qbb");
  s2_bank b;
  recording_host h;
  const s2_read_result r = b.read(dir / "b.qbb", h);
  EXPECT_TRUE(r.loaded);
  EXPECT_EQ(r.version, version);
  EXPECT_EQ(h.boxes, (std::vector<std::string>{ok}));
  EXPECT_EQ(h.progress_kinds, (std::vector<char>{'r'}));
  EXPECT_EQ(h.progress_titles.front(), "Reading QBB file...");
  EXPECT_EQ(h.max_percent, 99);
  EXPECT_FALSE(h.progress_open);
  EXPECT_EQ(b.sound_name_text(7), "Grand Piano     ");
  EXPECT_EQ(b.sound(7).zones[0].multisample, 5);
  const s2_slot& s = b.multisample(5).slots[60];
  EXPECT_EQ(s.value & 0x4000'0000u, 0x4000'0000u);
  EXPECT_EQ(s.first_sector() * 512ull, f.tail_position() - 3 * 512);
  EXPECT_EQ(+s.sector_count, 3);
  EXPECT_EQ(s.settings, 0x8100);  // the reset value, also after the conversion of 1 and 2
  EXPECT_EQ(b.file(5, 60), "D:\\Lib\\Piano\\C3.wav");
  EXPECT_EQ(b.file(5, 61), "- - -");
  EXPECT_EQ(b.file(9999, 127), "D:\\Lib\\last.wav");
}

INSTANTIATE_TEST_SUITE_P(Versions, S2ReadVersion, ::testing::Values(1, 2, 3, 4),
                         [](const auto& info) { return "v" + std::to_string(info.param); });

TEST(S2Read, SecondSetIsReadFromVersionTwoOnAndNotInVersionOne) {
  for (int version : {1, 2}) {
    SCOPED_TRACE(version);
    temp_dir dir;
    s2_file_builder f(version);
    std::memcpy(f.image().sounds_b[3].name, "Second set      ", 16);
    f.write(dir / "b.qbb");
    s2_bank b;
    recording_host h;
    ASSERT_TRUE(b.read(dir / "b.qbb", h).loaded);
    EXPECT_EQ(std::string(b.image().sounds_b[3].name, 16) == "Second set      ", version == 2);
  }
}

TEST(S2Read, VersionOneWithALaterHeaderSizeAsksAndFollowsTheAnswer) {
  struct row {
    std::uint64_t header;
    int layout;
    bool answer;
    int read_as;
    bool loaded;
  };
  for (const row& c :
       {row{s2_header_size_v3, 3, true, 3, true}, row{s2_header_size_v3, 1, false, 1, true},
        row{s2_header_size_v2, 2, true, 2, true}}) {
    SCOPED_TRACE(c.header);
    temp_dir dir;
    s2_file_builder f(1);
    f.layout = c.layout;
    f.header_size = c.header;
    f.write(dir / "b.qbb");
    s2_bank b;
    recording_host h;
    h.answers = {c.answer};
    const s2_read_result r = b.read(dir / "b.qbb", h);
    const std::string v = std::to_string(c.header == s2_header_size_v3 ? 3 : 2);
    ASSERT_EQ(h.questions.size(), 1u);
    EXPECT_EQ(h.questions[0],
              "[WARNING!] This bank is marked as version 1!\nBut it is very likely that the "
              "content is like bank version " +
                  v + "!\nDo you want to keep opening it, like version " + v + "?");
    EXPECT_EQ(r.version, c.read_as);
    EXPECT_EQ(r.loaded, c.loaded);
  }
}

TEST(S2Read, NoAudioPutsTheNamesSectorRightAfterTheSlotBytes) {
  temp_dir dir;
  s2_file_builder f(4);
  f.write(dir / "b.qbb");
  EXPECT_EQ(f.tail_position(), 47'365'120u);
  s2_bank b;
  recording_host h;
  EXPECT_TRUE(b.read(dir / "b.qbb", h).loaded);
}

TEST(S2Read, BitThirtyOneWithSectorZeroIsNoAudio) {
  temp_dir dir;
  s2_file_builder f(4);
  f.set_audio(2, 0, 0x8000'0000u, 50);
  f.write(dir / "b.qbb");
  s2_bank b;
  recording_host h;
  EXPECT_TRUE(b.read(dir / "b.qbb", h).loaded);
}

// Every refusal: the damage, then the boxes expected and whether the object was reset.
struct damage {
  const char* name;
  std::function<void(s2_file_builder&)> before;  // changes to the records before writing
  std::function<void(const std::filesystem::path&, const s2_file_builder&)> after;
  std::vector<std::string> boxes;
};

class S2Damaged : public ::testing::TestWithParam<damage> {};

TEST_P(S2Damaged, EndsWithItsMessages) {
  const damage& d = GetParam();
  temp_dir dir;
  s2_file_builder f = sample_bank(4);
  if (d.before) d.before(f);
  f.write(dir / "b.qbb");
  if (d.after) d.after(dir / "b.qbb", f);
  s2_bank b;
  recording_host h;
  const s2_read_result r = b.read(dir / "b.qbb", h);
  EXPECT_FALSE(r.loaded);
  EXPECT_EQ(h.boxes, d.boxes);
  EXPECT_FALSE(h.progress_open);
  // Nothing half-read stays: the object is back at its reset values.
  EXPECT_EQ(b.sound_name_text(7), "- - -           ");
  EXPECT_EQ(b.file(5, 60), "- - -");
  EXPECT_EQ(+b.image().bank_file_info.bank_size, 0u);
  static const s2_bank fresh;
  EXPECT_EQ(std::memcmp(&b.image(), &fresh.image(), sizeof(s2_image)), 0);
}

const std::uint64_t info_at = 512;
const std::uint64_t bank_size_at = info_at + 4;

INSTANTIATE_TEST_SUITE_P(
    Table, S2Damaged,
    ::testing::Values(
        damage{"StartSectorByte0",
               nullptr,
               [](const auto& p, const auto&) { patch(p, 0, {'X'}); },
               {"[Error] Invalid Ample LEAD 2 Sampler Bank!\n...OR...\n...my be this is "
                "PROTECTED!!! Ample LEAD 2 Sampler Bank!"}},
        damage{"FirstGenerationStartSector",
               nullptr,
               [](const auto& p, const auto&) {
                 patch(p, 0,
                       {'Q', 'u', 'o', 'r', 'v', 'a', 't', 'e', 'k', ' ', 'A', 'm', 'p', 'l', 'e',
                        ' ', 'T'});
               },
               {"[Error] Invalid Ample LEAD 2 Sampler Bank!\n...OR...\n...my be this is "
                "PROTECTED!!! Ample LEAD 2 Sampler Bank!"}},
        damage{"Version5",
               nullptr,
               [](const auto& p, const auto&) { patch(p, 511, {5}); },
               {"[Error] Uncown Bank File Version!"}},
        damage{"Version0",
               nullptr,
               [](const auto& p, const auto&) { patch(p, 511, {0}); },
               {"[Error] Uncown Bank File Version!"}},
        damage{"SingleFileOneByteLonger",
               nullptr,
               [](const auto& p, const auto& f) { patch(p, bank_size_at, le(f.total_size() + 1)); },
               {"[Error] Bank is from only one file, but real bank file size is not equal to "
                "size recorded inside in bank file!",
                aborted}},
        damage{"SplitSizeButSmallFile",
               nullptr,
               [](const auto& p, const auto&) {
                 patch(p, bank_size_at, le<std::uint64_t>(5'000'000'000ull));
               },
               {"[Error] QBB file size is not valid!", aborted}},
        damage{"AudioSizeDiffers",
               nullptr,
               [](const auto& p, const auto& f) {
                 patch(p, info_at + 20, le<std::uint64_t>(2 * 512));
                 (void)f;
               },
               {"[Error] Calculated audio data size is different from recorded in QBB file!",
                "[Info:] Calculated offset from software is:\n47366656 bytes\nReported offset "
                "from \"bank_file_info.sample_data_size\" is:\n1024 bytes",
                aborted}},
        damage{"NamesSectorDiffers",
               nullptr,
               [](const auto& p, const auto& f) { patch(p, f.tail_position() + 5, {'x'}); },
               {"[Error] In position where need to be special sector before file names, not "
                "correct info!",
                aborted}},
        damage{"NamesSizePastTheEnd",
               nullptr,
               [](const auto& p, const auto& f) {
                 patch(p, info_at + 28, le<std::uint64_t>(f.total_size()));
               },
               {"[Error] Overal bank size is small and no size for path names !", aborted}},
        damage{"TooFewNameLines",
               [](s2_file_builder& f) { f.name_lines = 1000; },
               nullptr,
               {"[Error] The file names of the bank end after 1 000 of 1 280 000 lines; the file "
                "lists cannot be filled.",
                aborted}},
        damage{"NameLineLongerThanAnyPath",
               [](s2_file_builder& f) { f.set_name(0, 2, std::string(40000, 'x')); },
               nullptr,
               {"[Error] Line 3 of the file names of the bank is longer than 32767 bytes, which "
                "no stored path is; the file lists cannot be filled.",
                aborted}},
        damage{"EndSectorByte0",
               nullptr,
               [](const auto& p, const auto& f) { patch(p, f.total_size() - 512, {0}); },
               {"[Error] Uncown last sector!\n My be bank is not loaded correctly!", aborted}},
        damage{"AudioPointsPastTheEnd",
               nullptr,
               [](const auto& p, const auto&) {
                 // A slot without sectors far past the end: the names sector cannot be there.
                 patch(p, 30'725'120ull + 1536 * 1 + 256, le<std::uint32_t>(0x0100'0000u));
               },
               {"[Error] In position where need to be special sector before file names, not "
                "correct info!",
                aborted}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(S2Read, RecordsCutShortEndWithAClearMessage) {
  temp_dir dir;
  const s2_file_builder f = sample_bank(4);
  std::vector<std::uint8_t> bytes = f.bytes();
  bytes.resize(20'000'000);
  // The recorded size agrees with the cut file, so only the records are missing.
  std::memcpy(bytes.data() + bank_size_at, le<std::uint64_t>(bytes.size()).data(), 8);
  write_whole_file(dir / "b.qbb", bytes.data(), bytes.size());
  s2_bank b;
  recording_host h;
  EXPECT_FALSE(b.read(dir / "b.qbb", h).loaded);
  ASSERT_EQ(h.boxes.size(), 2u);
  EXPECT_NE(h.boxes[0].find("shorter than its records"), std::string::npos) << h.boxes[0];
  EXPECT_EQ(h.boxes[1], aborted);
  EXPECT_EQ(b.sound_name_text(7), "- - -           ");
}

TEST(S2Read, EndSectorDifferingOnlyInItsLastByteLoads) {
  temp_dir dir;
  const s2_file_builder f = sample_bank(3);
  f.write(dir / "b.qbb");
  patch(dir / "b.qbb", f.total_size() - 1, {0x00});
  s2_bank b;
  recording_host h;
  EXPECT_TRUE(b.read(dir / "b.qbb", h).loaded);
}

TEST(S2Read, MissingFileSaysNothing) {
  temp_dir dir;
  s2_bank b;
  recording_host h;
  EXPECT_FALSE(b.read(dir / "none.qbb", h).loaded);
  EXPECT_TRUE(h.boxes.empty());
  EXPECT_FALSE(h.progress_open);
}

// Split banks: part files of the real limit, with the audio area left as a hole.
constexpr std::uint64_t part = 4'293'918'720ull;

s2_file_builder split_bank() {
  s2_file_builder f = sample_bank(4);
  // The last slot's audio ends 1 KiB before the first part's end, so the names sector lies in
  // part 0 and the names text crosses into part 1.
  f.set_audio(8, 0, static_cast<std::uint32_t>(part / 512 - 10), 8);
  f.set_name(8, 0, "D:\\Lib\\far.wav");
  return f;
}

TEST(S2ReadSplit, NamesTextCrossingThePartBoundaryIsReadWhole) {
  temp_dir dir;
  const s2_file_builder f = split_bank();
  f.write(dir / "b.qbb");
  ASSERT_TRUE(file_exists(dir / "b.Q01"));
  EXPECT_EQ(std::filesystem::file_size(dir / "b.qbb"), part);
  s2_bank b;
  recording_host h;
  EXPECT_TRUE(b.read(dir / "b.qbb", h).loaded);
  EXPECT_EQ(h.boxes, (std::vector<std::string>{ok}));
  EXPECT_EQ(b.file(8, 0), "D:\\Lib\\far.wav");
  EXPECT_EQ(b.file(9999, 127), "D:\\Lib\\last.wav");
}

TEST(S2ReadSplit, PartProblems) {
  temp_dir dir;
  const s2_file_builder f = split_bank();
  const std::filesystem::path p = dir / "b.qbb";
  const std::string part1 = path_to_utf8(dir / "b.Q01");
  struct row {
    const char* name;
    std::function<void()> damage;
    std::string first_box;
  };
  const std::vector<row> rows = {
      {"missing part", [&] { std::filesystem::remove(dir / "b.Q01"); },
       "[Error] File " + part1 + " not exist!"},
      {"part one byte short",
       [&] {
         std::filesystem::resize_file(dir / "b.Q01", std::filesystem::file_size(dir / "b.Q01") - 1);
       },
       "[Error] File size of " + part1 + " not valid!"},
      {"part of the full limit while less remains",
       [&] { std::filesystem::resize_file(dir / "b.Q01", part); },
       "[Error] Sum of size of all bank files not equal to size recorded inside bank file!"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    f.write(p);
    r.damage();
    s2_bank b;
    recording_host h;
    EXPECT_FALSE(b.read(p, h).loaded);
    EXPECT_EQ(h.boxes, (std::vector<std::string>{r.first_box, aborted}));
  }
}

}  // namespace
}  // namespace qbank
