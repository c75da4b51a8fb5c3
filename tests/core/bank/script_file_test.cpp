#include "bank/script_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "bank/bank.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace qbank {
namespace {

using testing::recording_host;
using testing::temp_dir;

std::string read_text(const std::filesystem::path& p) {
  std::vector<std::uint8_t> bytes = read_whole_file(p);
  return std::string(bytes.begin(), bytes.end());
}

// A script of `version` written by hand: records filled with a per-record byte pattern.
std::string handmade_script(int programs, int multisamples, int lines, const blend& proto) {
  std::string s(2048, '\x07');
  for (int i = 0; i < programs; ++i) {
    blend b = proto;
    b.name[0] = static_cast<char>('A' + i % 26);
    s.append(reinterpret_cast<const char*>(&b), sizeof b);
  }
  for (int n = 0; n < multisamples; ++n) {
    std::string head(256, ' ');
    const std::string name = "MS" + std::to_string(n);
    head.replace(0, name.size(), name);
    head[255] = '\0';
    s += head;
  }
  for (int k = 0; k < lines; ++k) s += "C:\\w\\" + std::to_string(k) + ".wav\r\n";
  return s;
}

TEST(ScriptSave, ResetBankGoldenBytes) {
  temp_dir dir;
  bank b;
  recording_host h;
  save_script(b, dir / "reset.qbs", h);
  const std::string bytes = read_text(dir / "reset.qbs");
  ASSERT_EQ(bytes.size(), 7'681'536u + 8'960'000u);
  EXPECT_EQ(std::memcmp(bytes.data(), &b.image().global, 2048), 0);
  EXPECT_EQ(std::memcmp(bytes.data() + 2048, b.image().blends, 9999 * 512), 0);
  EXPECT_EQ(bytes.substr(2048 + 9999 * 512, 16), "- - -           ");
  EXPECT_EQ(bytes.substr(2048 + 9999 * 512 + 16, 239), std::string(239, ' '));
  EXPECT_EQ(bytes[2048 + 9999 * 512 + 255], '\0');
  std::string expected_text;
  for (int k = 0; k < 1'280'000; ++k) expected_text += "- - -\r\n";
  EXPECT_TRUE(bytes.compare(7'681'536, std::string::npos, expected_text) == 0);
  EXPECT_EQ(h.progress_kinds, std::vector<char>{'w'});
  EXPECT_EQ(h.progress_titles, std::vector<std::string>{"Saving QBS file..."});
  EXPECT_EQ(h.progress_hides, 1);
  EXPECT_EQ(h.max_percent, 99);
  EXPECT_TRUE(h.boxes.empty());
}

TEST(ScriptRoundTrip, Version6KeepsRecordsAndPathsByteForByte) {
  temp_dir dir;
  bank b;
  b.program(17).zones[2].multisample = 42;
  std::memcpy(b.program(17).name, "Grand Piano     ", 16);
  std::memcpy(b.multisample(42).name, "Piano\xE9\0", 7);
  b.set_file(42, 60, "D:\\Lib\\Piano\\C 3 caf\xE9 \xFC.wav");  // code-page bytes, spaces
  b.set_file(9999, 127, "/abs/last slot.wav");
  b.set_file(0, 0, "");  // an empty line stays an empty entry
  recording_host h;
  save_script(b, dir / "a.qbs", h);

  bank c;
  load_script(c, dir / "a.qbs", 6, h);
  EXPECT_EQ(std::memcmp(&c.image().global, &b.image().global, sizeof(global_parameter)), 0);
  EXPECT_EQ(std::memcmp(c.image().blends, b.image().blends, sizeof b.image().blends), 0);
  for (int n = 0; n < multisample_count; ++n)
    ASSERT_EQ(std::memcmp(&c.multisample(n), &b.multisample(n), 256), 0) << n;
  EXPECT_EQ(c.file(42, 60), "D:\\Lib\\Piano\\C 3 caf\xE9 \xFC.wav");
  EXPECT_EQ(c.file(9999, 127), "/abs/last slot.wav");
  EXPECT_EQ(c.file(0, 0), "");
  EXPECT_EQ(c.file(0, 1), "- - -");
  EXPECT_TRUE(h.messages.empty());  // version 6: no notice

  save_script(c, dir / "b.qbs", h);
  EXPECT_EQ(read_text(dir / "a.qbs"), read_text(dir / "b.qbs"));
}

struct version_case {
  int version;
  int programs;
  int multisamples;
  const char* notice;
};

class ScriptVersions : public ::testing::TestWithParam<version_case> {};

TEST_P(ScriptVersions, LoadsItsRecordCountsRepairsAndNotifies) {
  const version_case vc = GetParam();
  blend proto;
  reset_blend(proto);
  proto.porta_time = 0;
  proto.pb_range = 0;
  proto.delay_time = 0;
  proto.delay_mix = 90;
  proto.delay_feedback = 7;
  proto.auto_sample_offset_time_base = 99;
  temp_dir dir;
  const std::string script =
      handmade_script(vc.programs, vc.multisamples, vc.multisamples * 128, proto);
  write_whole_file(dir / "old.qbs", script.data(), script.size());
  bank b;
  recording_host h;
  load_script(b, dir / "old.qbs", vc.version, h);

  EXPECT_EQ(b.globals().bytes[2047], 7);
  const blend& last = b.program(vc.programs - 1);
  EXPECT_EQ(last.porta_time, 32);
  EXPECT_EQ(last.pb_range, 2);
  EXPECT_EQ(last.delay_mix, 25);
  EXPECT_EQ(last.delay_time, 250);
  EXPECT_EQ(last.delay_feedback, 35);
  EXPECT_EQ(last.auto_sample_offset_time_base, 100);
  if (vc.programs < program_count) {
    EXPECT_EQ(b.program_name_text(vc.programs), "- - -           ");
    EXPECT_EQ(b.program(vc.programs).delay_feedback, 25);
  }
  EXPECT_EQ(b.multisample_name_text(vc.multisamples - 1).substr(0, 2), "MS");
  EXPECT_EQ(b.file(vc.multisamples - 1, 127),
            "C:\\w\\" + std::to_string(vc.multisamples * 128 - 1) + ".wav");
  if (vc.multisamples < multisample_count) {
    EXPECT_EQ(b.multisample_name_text(vc.multisamples), "- - -           ");
    EXPECT_FALSE(b.multisample_has_files(vc.multisamples));
  }
  EXPECT_EQ(h.progress_kinds, std::vector<char>{'r'});
  EXPECT_EQ(h.progress_titles, std::vector<std::string>{"Reading QBS file..."});
  EXPECT_FALSE(h.progress_open);
  if (vc.notice)
    EXPECT_EQ(h.messages, std::vector<std::string>{std::string("[Info] ") + vc.notice});
  else
    EXPECT_TRUE(h.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    AllVersions, ScriptVersions,
    ::testing::Values(
        version_case{1, 128, 2048,
                     "Open old bank version: 1 or 2.\nLoaded only first 128 programs!"},
        version_case{2, 128, 2048,
                     "Open old bank version: 1 or 2.\nLoaded only first 128 programs!"},
        version_case{3, 256, 2048, "Open old bank version 3.\nLoaded only first 256 programs!"},
        version_case{4, 999, 2048, "Open old bank version 4.\nLoaded only first 999 programs!"},
        version_case{5, 9999, 2048,
                     "Open old bank version 5.\nLoaded only first 2048 multisamples!"},
        version_case{6, 9999, 10000, nullptr},
        version_case{0, 128, 2048,
                     "Open old bank version: 1 or 2.\nLoaded only first 128 programs!"},
        version_case{7, 128, 2048,
                     "Open old bank version: 1 or 2.\nLoaded only first 128 programs!"}),
    [](const ::testing::TestParamInfo<version_case>& info) {
      return "Version" + std::to_string(info.param.version);
    });

TEST(ScriptLoad, RepairsLeaveGoodValuesAlone) {
  temp_dir dir;
  bank b;
  b.program(0).auto_sample_offset_time_base = 100;
  b.program(0).delay_time = 1;
  b.program(0).delay_mix = 90;
  recording_host h;
  save_script(b, dir / "s.qbs", h);
  bank c;
  load_script(c, dir / "s.qbs", 6, h);
  EXPECT_EQ(c.program(0).auto_sample_offset_time_base, 100);
  EXPECT_EQ(c.program(0).delay_mix, 90);
  EXPECT_EQ(c.program(0).delay_time, 1);
}

TEST(ScriptLoad, LineEndingsCrLfCrAndLfAllCount) {
  temp_dir dir;
  std::string s = handmade_script(128, 2048, 0, [] {
    blend p;
    reset_blend(p);
    return p;
  }());
  for (int k = 0; k < 2048 * 128; ++k)
    s += "p" + std::to_string(k) + (k % 3 == 0 ? "\r\n" : k % 3 == 1 ? "\r" : "\n");
  write_whole_file(dir / "e.qbs", s.data(), s.size());
  bank b;
  recording_host h;
  load_script(b, dir / "e.qbs", 2, h);
  EXPECT_EQ(b.file(0, 0), "p0");
  EXPECT_EQ(b.file(0, 1), "p1");
  EXPECT_EQ(b.file(0, 2), "p2");
  EXPECT_EQ(b.file(2047, 127), "p" + std::to_string(2048 * 128 - 1));
}

TEST(ScriptLoad, TooFewLinesStopsWithClearErrorAndKeepsListsWhole) {
  temp_dir dir;
  blend proto;
  reset_blend(proto);
  const std::string s = handmade_script(9999, 10000, 300, proto);
  write_whole_file(dir / "short.qbs", s.data(), s.size());
  bank b;
  recording_host h;
  try {
    load_script(b, dir / "short.qbs", 6, h);
    FAIL() << "expected command_error";
  } catch (const command_error& e) {
    EXPECT_NE(std::string(e.what()).find("300 of the 1280000"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(h.progress_open);
  EXPECT_EQ(b.file(0, 127), "C:\\w\\127.wav");
  EXPECT_EQ(b.file(2, 43), "C:\\w\\299.wav");
  EXPECT_EQ(b.file(2, 44), "- - -");
  EXPECT_EQ(b.file(3, 0), "- - -");
  EXPECT_TRUE(h.messages.empty());
}

TEST(ScriptLoad, DamagedInputsNeverCrash) {
  temp_dir dir;
  std::mt19937 rng(7);
  const std::size_t sizes[] = {0, 1, 100, 2047, 2048, 2049, 5000, 7'681'536, 7'700'000};
  for (std::size_t size : sizes) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    write_whole_file(dir / "junk.qbs", bytes.data(), bytes.size());
    for (int version : {2, 5, 6}) {
      bank b;
      recording_host h;
      EXPECT_THROW(load_script(b, dir / "junk.qbs", version, h), command_error) << size;
      EXPECT_FALSE(h.progress_open);
      for (int n = 0; n < multisample_count; n += 997)
        for (int j = 0; j < 128; j += 31) (void)b.file(n, j);  // lists stay whole
    }
  }
}

TEST(ScriptLoad, ShortBinaryPartKeepsResetRecords) {
  temp_dir dir;
  std::string bytes(2048 + 100, '\x01');
  write_whole_file(dir / "cut.qbs", bytes.data(), bytes.size());
  bank b;
  recording_host h;
  EXPECT_THROW(load_script(b, dir / "cut.qbs", 6, h), command_error);
  EXPECT_EQ(b.globals().bytes[0], 1);
  EXPECT_EQ(b.program_name_text(0).substr(0, 16), std::string(16, '\x01'));
  EXPECT_EQ(b.program_name_text(1), "- - -           ");
}

TEST(ScriptFiles, MissingFileThrowsFileErrorAndFailedSaveLeavesTargetIntact) {
  temp_dir dir;
  bank b;
  recording_host h;
  EXPECT_THROW(load_script(b, dir / "nope.qbs", 6, h), file_error);
  EXPECT_FALSE(h.progress_open);
  EXPECT_THROW(save_script(b, dir / "no-such-folder" / "x.qbs", h), file_error);
  EXPECT_FALSE(h.progress_open);

  write_whole_file(dir / "keep.qbs", "old", 3);
  std::filesystem::permissions(
      dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  if (testing::folder_refuses_writes(dir.path())) {  // root and Windows write all the same
    EXPECT_THROW(save_script(b, dir / "keep.qbs", h), file_error);
    EXPECT_EQ(read_text(dir / "keep.qbs"), "old");
  }
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
}

TEST(ScriptOpen, AFileThatCannotBeOpenedKeepsTheBank) {
  temp_dir dir;
  bank b;
  recording_host h;
  b.set_file(5, 5, "x.wav");
  b.set_loaded_file_name("/my/bank.qbs");
  EXPECT_THROW(open_script(b, dir / "missing.qbs", 6, h), file_error);
  EXPECT_EQ(b.file(5, 5), "x.wav");
  EXPECT_EQ(b.loaded_file_name(), "/my/bank.qbs");
}

// A script that fails half way (a version-6 script opened as version 2, whose text part then
// starts inside the records; a script whose lines run out) leaves the bank whole.
TEST(ScriptOpen, AFailedLoadKeepsTheBank) {
  temp_dir dir;
  recording_host h;
  bank six;
  for (int k = 0; k < 300; ++k) six.program(k).osc_mode = 4;
  six.set_file(3000, 1, "far.wav");
  save_script(six, dir / "six.qbs", h);
  const std::vector<std::uint8_t> whole = read_whole_file(dir / "six.qbs");
  write_whole_file(dir / "short.qbs", whole.data(), whole.size() - 100);
  const struct {
    const char* file;
    int version;
  } failures[] = {{"six.qbs", 2}, {"six.qbs", 3}, {"short.qbs", 6}};
  for (const auto& f : failures) {
    SCOPED_TRACE(std::string(f.file) + " as version " + std::to_string(f.version));
    bank b;
    b.set_file(5, 5, "x.wav");
    b.program(1).osc_mode = 2;
    b.set_loaded_file_name("/my/bank.qbs");
    EXPECT_THROW(open_script(b, dir / f.file, f.version, h), command_error);
    EXPECT_EQ(b.file(5, 5), "x.wav");
    EXPECT_EQ(int(b.program(1).osc_mode), 2);
    EXPECT_EQ(b.loaded_file_name(), "/my/bank.qbs");
  }
}

TEST(ScriptOpen, ResetsLoadsAndRemembersThePath) {
  temp_dir dir;
  bank b;
  recording_host h;
  b.set_file(5, 5, "x.wav");
  save_script(b, dir / "o.qbs", h);
  b.set_file(6, 6, "y.wav");
  open_script(b, dir / "o.qbs", 6, h);
  EXPECT_EQ(b.file(5, 5), "x.wav");
  EXPECT_EQ(b.file(6, 6), "- - -");
  EXPECT_EQ(b.loaded_file_name(), path_to_utf8(dir / "o.qbs"));
}

}  // namespace
}  // namespace qbank
