#include "edit/bulk_operations.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

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
namespace fs = std::filesystem;

const std::string blank_name = "- - -           ";

void set_name(char (&field)[name_size], std::string_view text, char pad = '\0') {
  std::memset(field, pad, name_size);
  std::memcpy(field, text.data(), std::min<std::size_t>(text.size(), name_size));
}

TEST(RemoveRecords, SingleAndRangesAskThenResetInPlace) {
  bank b;
  for (int i : {9, 10, 11, 12, 13}) set_name(b.program(i).name, "P" + std::to_string(i));
  b.set_loaded_file_name("/banks/Live.qbb");
  recording_host h;
  h.answers = {false, true, true, true};
  EXPECT_FALSE(remove_program_range(b, h, 10, 12));
  EXPECT_EQ(b.program_name_text(10), "P10");
  EXPECT_EQ(b.loaded_file_name(), "/banks/Live.qbb");
  EXPECT_TRUE(remove_program_range(b, h, 10, 12));
  EXPECT_EQ(b.program_name_text(9), "P9");
  for (int i : {10, 11, 12}) EXPECT_EQ(b.program_name_text(i), blank_name);
  EXPECT_EQ(b.program_name_text(13), "P13");
  EXPECT_EQ(b.window_title(), "Quorvatek Samplers Bank Manager - Version: 3.54 / No loaded bank!");
  EXPECT_TRUE(remove_program_range(b, h, 13, 13));
  EXPECT_EQ(b.program_name_text(13), blank_name);
  EXPECT_TRUE(remove_program(b, h, 9));
  EXPECT_EQ(b.program_name_text(9), blank_name);
  EXPECT_EQ(h.questions, (std::vector<std::string>{"[Remove Multiple Programs] Are You Sure ?",
                                                   "[Remove Multiple Programs] Are You Sure ?",
                                                   "[Remove Multiple Programs] Are You Sure ?",
                                                   "[Remove Program] Are You Sure ?"}));

  b.set_file(5, 3, "D:\\a.wav");
  b.set_file(6, 0, "D:\\b.wav");
  b.set_file(7, 0, "D:\\c.wav");
  set_name(b.multisample(6).name, "Six");
  b.program(0).zones[0].multisample = 6;
  h.answers = {true, true};
  EXPECT_TRUE(remove_multisample_range(b, h, 5, 6));
  EXPECT_FALSE(b.multisample_has_files(5));
  EXPECT_FALSE(b.multisample_has_files(6));
  EXPECT_EQ(b.multisample_name_text(6), blank_name);
  EXPECT_EQ(b.program(0).zones[0].multisample, 6);  // references stay as they are
  EXPECT_TRUE(remove_multisample(b, h, 7));
  EXPECT_FALSE(b.multisample_has_files(7));
  EXPECT_EQ(h.questions.back(), "[Remove Multisample] Are You Sure ?");
  EXPECT_EQ(h.questions[h.questions.size() - 2], "[Remove Multiple Multisamples] Are You Sure ?");
  EXPECT_THROW(remove_program_range(b, h, 12, 10), std::out_of_range);
  EXPECT_THROW(remove_multisample_range(b, h, 0, 3), std::out_of_range);
}

TEST(RemoveUnused, KeepsEveryReferencedZoneKindAndReportsOnlyThoseWithFiles) {
  bank b;
  b.program(40).release_zone.multisample = 3;  // used only as a release zone
  b.program(41).mod_zones[3].multisample = 8;
  b.program(9998).zones[7].multisample = 2;
  for (int m : {2, 3, 4, 8, 11}) b.set_file(m, 60, "D:\\Lib\\x" + std::to_string(m) + ".wav");
  set_name(b.multisample(4).name, "Piano", ' ');
  set_name(b.multisample(11).name, "Bells");
  set_name(b.multisample(6).name, "Empty");  // unused and empty: reset, not listed
  recording_host h;
  h.default_answer = true;
  EXPECT_TRUE(remove_unused_multisamples_command(b, h));
  EXPECT_EQ(h.questions, (std::vector<std::string>{"[Remove UNUSED Multisamples] Are You Sure ?"}));
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].title, "Report: Removed Multisamples Names");
  EXPECT_EQ(h.reports[0].lines,
            (std::vector<std::string>{"Removed multisamples: 2", "", "MS0004  Piano           ",
                                      "MS0011  Bells"}));
  EXPECT_TRUE(h.messages.empty());
  for (int m : {2, 3, 8}) EXPECT_TRUE(b.multisample_has_files(m)) << m;
  for (int m : {4, 11}) EXPECT_FALSE(b.multisample_has_files(m)) << m;
  EXPECT_EQ(b.multisample_name_text(6), blank_name);
  EXPECT_EQ(h.progress_kinds, std::vector<char>{'c'});
  EXPECT_EQ(h.progress_titles, std::vector<std::string>{"Remove UNUSED Multisamples..."});
  EXPECT_EQ(h.max_percent, 99);
  EXPECT_FALSE(h.progress_open);

  // Everything left is used or empty: the message, even though empty ones were reset again.
  recording_host again;
  again.default_answer = true;
  set_name(b.multisample(6).name, "Empty again");
  EXPECT_TRUE(remove_unused_multisamples_command(b, again));
  EXPECT_TRUE(again.reports.empty());
  EXPECT_EQ(
      again.messages,
      (std::vector<std::string>{"[Remove UNUSED Multisamples...] No UNUSED multisamples found!"}));
  EXPECT_EQ(b.multisample_name_text(6), blank_name);

  recording_host no;
  b.set_file(20, 0, "D:\\y.wav");
  EXPECT_FALSE(remove_unused_multisamples_command(b, no));
  EXPECT_TRUE(b.multisample_has_files(20));
}

TEST(WhereUsed, ListsProgramsInOrderOrSaysItIsUnused) {
  bank b;
  set_name(b.program(7).name, "Strings");
  b.program(7).legato_zone.multisample = 12;
  b.program(7).zones[1].multisample = 12;  // twice in one program: one line
  b.program(2).mod_zones[0].multisample = 12;
  b.program(9998).zones[0].multisample = 12;
  recording_host h;
  EXPECT_EQ(where_used_report(b, h, 12), 3u);
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].title, "Report: Multisample in programs");
  EXPECT_EQ(h.reports[0].lines,
            (std::vector<std::string>{
                "Multisample [12] is used in 3 programs:", "Program: 0002: " + blank_name,
                "Program: 0007: Strings", "Program: 9998: " + blank_name}));
  EXPECT_EQ(h.reports_hidden, 1);
  EXPECT_EQ(where_used_report(b, h, 13), 0u);
  EXPECT_EQ(h.messages,
            (std::vector<std::string>{"[Info] This multisample is not used in any program!"}));
}

TEST(ProgramNames, TextFileOfAFreshBankLineByLine) {
  temp_dir dir;
  bank b;
  set_name(b.program(1000).name, "Caf\xE9");  // stored bytes go to the file as they are
  set_name(b.multisample(9999).name, "Last");
  recording_host h;
  export_program_names(b, dir / "names.txt", h);
  const std::vector<std::uint8_t> bytes = read_whole_file(dir / "names.txt");
  const std::string text(bytes.begin(), bytes.end());
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(text.substr(at, end - at));
  EXPECT_EQ(at, text.size());  // every line ends in CR LF, the last one too
  ASSERT_EQ(lines.size(), 2u + 9999 + 2 + 2 + 9999);
  EXPECT_EQ(lines[0], "Program Names:");
  EXPECT_EQ(lines[1], std::string(38, '-'));
  EXPECT_EQ(lines[2], "000. " + blank_name);
  EXPECT_EQ(lines[2 + 999], "999. " + blank_name);
  EXPECT_EQ(lines[2 + 1000], "1000. Caf\xE9");
  EXPECT_EQ(lines[2 + 9998], "9998. " + blank_name);
  EXPECT_EQ(lines[10001], "");
  EXPECT_EQ(lines[10002], "");
  EXPECT_EQ(lines[10003], "Multisamples:");
  EXPECT_EQ(lines[10004], std::string(38, '-'));
  EXPECT_EQ(lines[10005], "MS0001. " + blank_name);
  EXPECT_EQ(lines.back(), "MS9999. Last");
  EXPECT_EQ(h.progress_kinds, std::vector<char>{'w'});
  EXPECT_EQ(h.progress_titles, std::vector<std::string>{"Saving TXT file..."});
  EXPECT_FALSE(h.progress_open);
  EXPECT_THROW(export_program_names(b, dir / "no" / "names.txt", h), file_error);
  EXPECT_FALSE(h.progress_open);
}

TEST(NameMarkers, OneEmptyFilePerMultisampleInItsFirstFilesFolder) {
  temp_dir dir;
  fs::create_directories(dir / "Piano");
  fs::create_directories(dir / "Bad");
  const std::string root = path_to_utf8(dir.path());
  bank b;
  b.set_file(0, 3, root + "\\Zero\\z.wav");  // folder missing: created below, multisample 0 too
  fs::create_directories(dir / "Zero");
  set_name(b.multisample(4).name, "Piano", ' ');
  b.set_file(4, 70, root + "\\Other\\later.wav");
  b.set_file(4, 20, root + "\\Piano\\C1.wav");
  set_name(b.multisample(5).name, "a/b");
  b.set_file(5, 0, root + "/Bad/x.wav");
  set_name(b.multisample(6).name, "..");
  b.set_file(6, 0, root + "/Bad/y.wav");
  set_name(b.multisample(7).name, "No files");
  // An existing marker is emptied.
  const std::string old = "old";
  write_whole_file(dir / "Piano" / "Piano           .msn", old.data(), old.size());
  recording_host h;
  EXPECT_EQ(save_multisample_name_markers(b, h), 2u);
  EXPECT_EQ(fs::file_size(dir / "Piano" / "Piano           .msn"), 0u);
  EXPECT_TRUE(fs::exists(dir / "Zero" / (blank_name + ".msn")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "Bad"), fs::directory_iterator()), 0);
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].title, "Report: Saved Multisamples Names");
  EXPECT_EQ(h.reports[0].lines,
            (std::vector<std::string>{
                "Created files: 2", "", path_to_utf8(dir / "Zero" / (blank_name + ".msn")),
                path_to_utf8(dir / "Piano" / "Piano           .msn"),
                "MS0005: the name \"a/b\" cannot be a file name; no marker written.",
                "MS0006: the name \"..\" cannot be a file name; no marker written."}));

  // A folder that does not exist stops the command; markers made before it remain.
  fs::remove(dir / "Piano" / "Piano           .msn");
  b.set_file(9, 0, root + "\\Gone\\g.wav");
  set_name(b.multisample(9).name, "Gone");
  EXPECT_THROW(save_multisample_name_markers(b, h), file_error);
  EXPECT_TRUE(fs::exists(dir / "Piano" / "Piano           .msn"));
}

TEST(ProgramFixes, TransposeRepairsAndTheirMessages) {
  bank b;
  b.program(3).zones[2].transpose = 0;
  b.program(3).zones[3].transpose = 1;
  b.program(3).release_zone.transpose = 0;
  b.program(5).mod_zones[3].transpose = 0;
  b.program(5).pg_transpose = 0;
  b.program(6).pg_transpose = 1;
  recording_host h;
  EXPECT_EQ(run_program_fix(b, h, program_fix::zone_transpose), 3u);
  EXPECT_EQ(b.program(3).zones[2].transpose, 64);
  EXPECT_EQ(b.program(3).zones[3].transpose, 1);
  EXPECT_EQ(b.program(3).release_zone.transpose, 64);
  EXPECT_EQ(b.program(5).mod_zones[3].transpose, 64);
  EXPECT_EQ(run_program_fix(b, h, program_fix::program_transpose), 1u);
  EXPECT_EQ(b.program(5).pg_transpose, 24);
  EXPECT_EQ(b.program(6).pg_transpose, 1);
  EXPECT_TRUE(h.boxes.empty());

  b.program(8).zones[0].multisample = 1;
  b.program(9).legato_zone.multisample = 2;
  EXPECT_EQ(run_program_fix(b, h, program_fix::octave_up), 2u);
  EXPECT_EQ(run_program_fix(b, h, program_fix::octave_down), 2u);
  run_program_fix(b, h, program_fix::lfo_speed);
  run_program_fix(b, h, program_fix::qs2_mono_hold);
  run_program_fix(b, h, program_fix::accordion_release);
  EXPECT_EQ(h.messages,
            (std::vector<std::string>{
                "[Info] Transposed 2 programs", "[Info] Transposed 2 programs",
                "[Info] Fixed LFO in 9999 programs", "[Info] Fixed Mono Hold in 0 programs",
                "[Info] Fixed Diapazone Release in 0 programs"}));
}

}  // namespace
}  // namespace qbank
