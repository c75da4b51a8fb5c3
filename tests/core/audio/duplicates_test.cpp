#include "audio/duplicates.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "bank/bank.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

using testing::bytes;
using testing::recording_host;
using testing::temp_dir;
namespace fs = std::filesystem;

const std::string blank_name = "- - -           ";
const std::string long_question =
    "WARNING!!!\nFunction with Long Time Execution!\n\nAre You Sure to continue?";

void set_name(char (&field)[name_size], std::string_view text) {
  std::memset(field, 0, name_size);
  std::memcpy(field, text.data(), std::min<std::size_t>(text.size(), name_size));
}

std::vector<std::string> pair_lines(int p, int a, int q, int b, const std::string& path) {
  char first[64], second[64];
  std::snprintf(first, sizeof first, "Sample %03d from MS%04d: ", p, a);
  std::snprintf(second, sizeof second, "Sample %03d from MS%04d: ", q, b);
  return {"Dublicate Found! -------------------------------------------", first + path, "and",
          second + path, ""};
}

// The search as a person would state it: every pair of used slots of different multisamples.
std::vector<std::string> nested_search(const bank& b) {
  std::vector<std::string> lines;
  for (int a = 1; a < multisample_count; ++a)
    for (int p = 0; p < 128; ++p) {
      if (b.slot_is_empty(a, p)) continue;
      for (int c = a + 1; c < multisample_count; ++c)
        for (int q = 0; q < 128; ++q)
          if (!b.slot_is_empty(c, q) && b.file(a, p) == b.file(c, q))
            for (std::string& l : pair_lines(p, a, q, c, std::string(b.file(a, p))))
              lines.push_back(std::move(l));
    }
  return lines;
}

TEST(DuplicateSamples, ThreeWayPairsInComparisonOrder) {
  bank b;
  b.set_file(5, 10, "D:\\Lib\\x.wav");
  b.set_file(5, 40, "D:\\Lib\\x.wav");  // twice within MS0005: never paired with itself
  b.set_file(9, 2, "D:\\Lib\\x.wav");
  b.set_file(12, 127, "D:\\Lib\\x.wav");
  b.set_file(9, 3, "D:\\Lib\\X.wav");  // another letter case is another path
  b.set_file(0, 0, "D:\\Lib\\x.wav");  // multisample 0 never takes part
  recording_host h;
  h.default_answer = true;
  ASSERT_TRUE(duplicate_samples_command(b, h));
  EXPECT_EQ(h.questions,
            std::vector<std::string>{"[Checking for DUPLICATED samples!] " + long_question});
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].title, "Report: Check for DUPLICATED samples!");
  std::vector<std::string> expect;
  for (auto [p, a, q, c] :
       {std::array{10, 5, 2, 9}, std::array{10, 5, 127, 12}, std::array{40, 5, 2, 9},
        std::array{40, 5, 127, 12}, std::array{2, 9, 127, 12}})
    for (std::string& l : pair_lines(p, a, q, c, "D:\\Lib\\x.wav")) expect.push_back(l);
  EXPECT_EQ(h.reports[0].lines, expect);
  EXPECT_EQ(h.reports_hidden, 1);
  EXPECT_TRUE(h.messages.empty());
  EXPECT_EQ(h.progress_titles, std::vector<std::string>{"Checking For Duplicated Samples..."});
  EXPECT_EQ(h.progress_kinds, std::vector<char>{'c'});
  EXPECT_EQ(h.progress_text, "Checking Multisample: MS0012");
  EXPECT_EQ(h.max_percent, 100);
  EXPECT_FALSE(h.progress_open);
}

TEST(DuplicateSamples, SameLinesAsThePairwiseComparisonOnARandomBank) {
  std::mt19937 random(11);
  bank b;
  // 40 paths over 60 multisamples: many repeats within and across multisamples.
  for (int k = 0; k < 900; ++k) {
    const int m = 1 + static_cast<int>(random() % 60) * 150;
    b.set_file(m, static_cast<int>(random() % 128), "P" + std::to_string(random() % 40));
  }
  recording_host h;
  const std::uint64_t pairs = find_duplicate_samples(b, h);
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].lines, nested_search(b));
  EXPECT_EQ(pairs * 5, h.reports[0].lines.size());
}

TEST(DuplicateSamples, NothingUsedShowsOnlyTheBox) {
  bank b;
  recording_host h;
  h.default_answer = true;
  ASSERT_TRUE(duplicate_samples_command(b, h));
  EXPECT_TRUE(h.reports.empty());
  EXPECT_EQ(h.messages, std::vector<std::string>{
                            "[Checking for DUPLICATED samples...] No DUPLICATED samples found!"});
  recording_host no;
  EXPECT_FALSE(duplicate_samples_command(b, no));
  EXPECT_TRUE(no.messages.empty());
  EXPECT_EQ(no.progress_shows, 0);
}

TEST(DuplicateMultisamples, MergesEveryCopyIntoTheLowestAndReassignsZones) {
  bank b;
  for (int m : {5, 9, 12, 20}) {
    b.set_file(m, 0, "D:\\a.wav");
    b.set_file(m, 64, "D:\\b.wav");
  }
  b.set_file(20, 65, "D:\\b.wav");  // one more slot: not equal
  b.set_file(30, 0, "D:\\b.wav");   // same paths in another order: not equal
  b.set_file(30, 64, "D:\\a.wav");
  set_name(b.multisample(5).name, "Keep");
  set_name(b.multisample(9).name, "Copy 9");
  set_name(b.multisample(12).name, "Copy 12");
  set_name(b.program(3).name, "Organ");
  b.program(3).zones[2].multisample = 9;
  b.program(3).release_zone.multisample = 9;
  b.program(3).zones[4].multisample = 12;
  b.program(7).legato_zone.multisample = 12;
  b.program(7).mod_zones[3].multisample = 12;
  b.program(7).zones[6].multisample = 12;
  b.program(8).zones[0].multisample = 20;
  recording_host h;
  h.default_answer = true;
  ASSERT_TRUE(remove_duplicate_multisamples_command(b, h));
  EXPECT_EQ(h.questions,
            std::vector<std::string>{"[Remove DUPLICATED Multisamples!] " + long_question});
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].title, "Report: Remove DUPLICATED samples!");
  const std::string found =
      "Duplicated Multisample Found! "
      "---------------------------------------------------------------------------";
  EXPECT_EQ(h.reports[0].lines,
            (std::vector<std::string>{
                found,
                "Multisample  MS0009: Copy 9  is equal to previous multisample  MS0005: Keep",
                "   Program  PG0003: Organ  uses reasigned multisample:",
                "      Zone VZ02: multisample is reassigned: MS0009 -> MS0005",
                "      Zone RelZ: multisample is reassigned: MS0009 -> MS0005",
                "      Multisample MS0009  is DELETED!",
                "",
                found,
                "Multisample  MS0012: Copy 12  is equal to previous multisample  MS0005: Keep",
                "   Program  PG0003: Organ  uses reasigned multisample:",
                "      Zone VZ04: multisample is reassigned: MS0012 -> MS0005",
                "   Program  PG0007: " + blank_name + "  uses reasigned multisample:",
                "      Zone VZ06: multisample is reassigned: MS0012 -> MS0005",
                "      Zone LegZ: multisample is reassigned: MS0012 -> MS0005",
                "      Zone MZ03: multisample is reassigned: MS0012 -> MS0005",
                "      Multisample MS0012  is DELETED!",
                "",
            }));
  EXPECT_EQ(b.program(3).zones[2].multisample, 5);
  EXPECT_EQ(b.program(3).release_zone.multisample, 5);
  EXPECT_EQ(b.program(7).mod_zones[3].multisample, 5);
  EXPECT_EQ(b.program(8).zones[0].multisample, 20);
  EXPECT_FALSE(b.multisample_has_files(9));
  EXPECT_FALSE(b.multisample_has_files(12));
  EXPECT_EQ(b.multisample_name_text(12), blank_name);
  EXPECT_EQ(b.multisample_name_text(5), "Keep");
  EXPECT_TRUE(b.multisample_has_files(20));
  EXPECT_TRUE(b.multisample_has_files(30));
  EXPECT_EQ(h.progress_titles, std::vector<std::string>{"Remove Duplicated Multisamples..."});

  // A program whose first reassigned zone is not a basic zone gets the heading without blanks.
  b.set_file(40, 0, "D:\\a.wav");
  b.set_file(40, 64, "D:\\b.wav");
  b.program(2).release_zone.multisample = 40;
  b.program(2).legato_zone.multisample = 40;
  recording_host again;
  EXPECT_EQ(remove_duplicate_multisamples(b, again), 1u);
  EXPECT_EQ(again.reports.at(0).lines[2],
            "Program  PG0002: " + blank_name + "  uses reasigned multisample:");
  EXPECT_EQ(again.reports.at(0).lines[3],
            "      Zone LegZ: multisample is reassigned: MS0040 -> MS0005");
  EXPECT_EQ(again.reports.at(0).lines[4],
            "      Zone RelZ: multisample is reassigned: MS0040 -> MS0005");

  recording_host none;
  none.default_answer = true;
  ASSERT_TRUE(remove_duplicate_multisamples_command(b, none));
  EXPECT_EQ(none.messages, std::vector<std::string>{"[Remove DUPLICATED Multisamples...] No "
                                                    "DUPLICATED Multisamples found!"});
}

struct content_fixture : ::testing::Test {
  temp_dir dir;
  bank b;
  int next = 0;
  fs::path add(const std::string& name, const bytes& content, int multisample) {
    const fs::path p = dir / name;
    testing::write_file(p, content);
    b.set_file(multisample, next++, path_to_utf8(p));
    return p;
  }
};

TEST_F(content_fixture, GroupsIdenticalAudioAndCountsTheBytesMergingSaves) {
  std::vector<std::int16_t> tone(3000), other(3000);
  for (int i = 0; i < 3000; ++i) {
    tone[i] = static_cast<std::int16_t>(i * 7);
    other[i] = static_cast<std::int16_t>(i * 7 + (i == 2999));
  }
  const fs::path a = add("a.wav", testing::wav_bytes(1, tone), 1);
  // The same audio behind a LIST chunk: a bigger file, equal audio.
  const bytes with_list =
      testing::riff_file({testing::format_chunk(1), testing::riff_chunk("LIST", bytes(10, 'i')),
                          testing::riff_chunk("data", testing::sample_bytes(tone), false)});
  const fs::path b2 = add("b.wav", with_list, 2);
  add("c.wav", testing::wav_bytes(1, other), 2);  // one sample differs
  add("d.wav", testing::wav_bytes(2, tone), 3);   // same bytes, stereo: other audio
  const fs::path e = add("e.wav", testing::wav_bytes(2, tone), 4);
  b.set_file(5, 0, path_to_utf8(dir / "." / "a.wav"));  // a.wav spelt another way: frees nothing
  // b.wav spelt another way and through a hard link: its bytes are freed once.
  b.set_file(5, 1, path_to_utf8(dir / "." / "b.wav"));
  fs::create_hard_link(b2, dir / "b-link.wav");
  b.set_file(5, 2, path_to_utf8(dir / "b-link.wav"));
  b.set_file(6, 0, path_to_utf8(dir / "missing.wav"));
  recording_host h;
  h.default_answer = true;
  ASSERT_TRUE(duplicate_content_command(b, h));
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].title, "Report: DUPLICATED audio content");
  EXPECT_EQ(h.reports[0].lines,
            (std::vector<std::string>{
                "Groups of WAV files with identical audio: 2, files: 7",
                "Merging them would save: 12 106 bytes.", "",
                "Identical audio in 5 files (6 000 bytes of audio each):", "   " + path_to_utf8(a),
                "   " + path_to_utf8(b2), "   " + path_to_utf8(dir / "." / "a.wav"),
                "   " + path_to_utf8(dir / "." / "b.wav"), "   " + path_to_utf8(dir / "b-link.wav"),
                "   Merging would save: 6 062 bytes.", "",
                "Identical audio in 2 files (6 000 bytes of audio each):",
                "   " + path_to_utf8(dir / "d.wav"), "   " + path_to_utf8(e),
                "   Merging would save: 6 044 bytes.", ""}));
  EXPECT_EQ(h.questions,
            std::vector<std::string>{"[Checking for DUPLICATED audio!] " + long_question});
  EXPECT_FALSE(h.progress_open);
}

TEST_F(content_fixture, NothingIdenticalShowsTheBox) {
  add("a.wav", testing::wav_bytes(1, std::vector<std::int16_t>(100, 1)), 1);
  add("b.wav", testing::wav_bytes(1, std::vector<std::int16_t>(100, 2)), 1);
  add("empty1.wav", testing::wav_bytes(1, {}), 2);  // no audio: nothing to merge
  add("empty2.wav", testing::wav_bytes(1, {}), 2);
  recording_host h;
  h.default_answer = true;
  ASSERT_TRUE(duplicate_content_command(b, h));
  EXPECT_TRUE(h.reports.empty());
  EXPECT_EQ(h.messages, std::vector<std::string>{"[Checking for DUPLICATED audio...] No WAV "
                                                 "files with identical audio found!"});
}

}  // namespace
}  // namespace qbank
