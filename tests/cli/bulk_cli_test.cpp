// `qbank` subcommands over many programs and multisamples, the silence tools and the duplicate
// searches, run as the real binary: exact output, exit codes and the files written.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "bank/bank.h"
#include "bank/script_file.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/cli_runner.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

using testing::q;
using testing::read_script;
using testing::recording_host;
using testing::run_qbank;
using testing::run_result;
using testing::temp_dir;
namespace fs = std::filesystem;

const std::string blank_name = "- - -           ";

void set_name(char (&field)[name_size], std::string_view text) {
  std::memset(field, 0, name_size);
  std::memcpy(field, text.data(), text.size());
}

struct bulk_cli : ::testing::Test {
  temp_dir dir;
  bank b;
  recording_host h;

  fs::path save(const std::string& name = "in.qbs") {
    save_script(b, dir / name, h);
    return dir / name;
  }

  // a.wav of 1500 loud samples and 500 silent ones, in multisample 1: the bank saved.
  fs::path save_with_silent_tail(const fs::path& wav) {
    std::vector<std::int16_t> s(1500, 9000);
    s.insert(s.end(), 500, 0);
    testing::write_wav_with_sndfile(wav, 1, 48000, s);
    b.set_file(1, 0, path_to_utf8(wav));
    return save();
  }
};

TEST_F(bulk_cli, RemoveRangesAskWriteOutAndRefuseBadRanges) {
  for (int i : {9, 10, 11, 12, 13}) set_name(b.program(i).name, "P" + std::to_string(i));
  b.set_file(2047, 0, "D:\\a.wav");
  b.set_file(2048, 0, "D:\\b.wav");
  const fs::path in = save();
  run_result r = run_qbank("remove-programs " + q(in) + " 10 12 -o " + q(dir / "out.qbs"));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "[Remove Multiple Programs] Are You Sure ? -> Yes\n");
  std::unique_ptr<bank> out = read_script(dir / "out.qbs");
  EXPECT_EQ(out->program_name_text(9), "P9");
  for (int i : {10, 11, 12}) EXPECT_EQ(out->program_name_text(i), blank_name);
  EXPECT_EQ(out->program_name_text(13), "P13");

  // The command line reaches what the dialog reaches, up to 2047; OUT may be IN.
  r = run_qbank("remove-multisamples " + q(in) + " 2047 9999 -o " + q(in), true);
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.out.find("TO: Value 9999 not in range 1 to 2047"), std::string::npos) << r.out;
  r = run_qbank("remove-multisamples " + q(in) + " 2000 2047 -o " + q(in));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "[Remove Multiple Multisamples] Are You Sure ? -> Yes\n");
  out = read_script(in);
  EXPECT_FALSE(out->multisample_has_files(2047));
  EXPECT_TRUE(out->multisample_has_files(2048));

  // No on the terminal writes nothing.
  r = run_qbank("-i remove-programs " + q(in) + " 9 9 -o " + q(dir / "no.qbs") + " </dev/null");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "[Remove Multiple Programs] Are You Sure ? [y/N]  -> No\n");
  EXPECT_FALSE(fs::exists(dir / "no.qbs"));

  for (const std::string& bad : {"remove-programs " + q(in) + " 12 10 -o " + q(dir / "x.qbs"),
                                 "remove-programs " + q(in) + " 0 9999 -o " + q(dir / "x.qbs"),
                                 "remove-multisamples " + q(in) + " 0 5 -o " + q(dir / "x.qbs"),
                                 "remove-multisamples " + q(in) + " 5 4 -o " + q(dir / "x.qbs"),
                                 "remove-programs " + q(in) + " 1 2"}) {
    EXPECT_EQ(run_qbank(bad).exit_code, 2) << bad;
    EXPECT_FALSE(fs::exists(dir / "x.qbs")) << bad;
  }
}

TEST_F(bulk_cli, UnusedAndWhereUsedPrintTheirReports) {
  b.program(4).release_zone.multisample = 3;
  set_name(b.program(4).name, "Pad");
  b.set_file(3, 0, "D:\\used.wav");
  b.set_file(8, 0, "D:\\unused.wav");
  set_name(b.multisample(8).name, "Gone");
  const fs::path in = save();
  run_result r = run_qbank("where-used " + q(in) + " 3");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            "[Report: Multisample in programs]\nMultisample [3] is used in 1 programs:\n"
            "Program: 0004: Pad\n");
  r = run_qbank("where-used " + q(in) + " 8");
  EXPECT_EQ(r.out, "[Info] This multisample is not used in any program!\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(run_qbank("where-used " + q(in) + " 0").exit_code, 2);

  r = run_qbank("unused " + q(in) + " -o " + q(dir / "u.qbs"));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            "[Remove UNUSED Multisamples] Are You Sure ? -> Yes\n"
            "[Report: Removed Multisamples Names]\nRemoved multisamples: 1\n\nMS0008  Gone\n");
  const std::unique_ptr<bank> out = read_script(dir / "u.qbs");
  EXPECT_TRUE(out->multisample_has_files(3));
  EXPECT_FALSE(out->multisample_has_files(8));
  r = run_qbank("unused " + q(dir / "u.qbs") + " -o " + q(dir / "u.qbs"));
  EXPECT_EQ(r.out,
            "[Remove UNUSED Multisamples] Are You Sure ? -> Yes\n"
            "[Remove UNUSED Multisamples...] No UNUSED multisamples found!\n");
}

TEST_F(bulk_cli, NamesMarkersAndFixes) {
  set_name(b.program(0).name, "Grand");
  b.set_file(6, 0, path_to_utf8(dir / "Lib" / "C3.wav"));
  set_name(b.multisample(6).name, "Piano");
  b.program(1).zones[0].multisample = 6;
  b.program(1).pg_transpose = 0;
  const fs::path in = save();
  run_result r = run_qbank("names " + q(in) + " " + q(dir / "names.txt"));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
  const std::vector<std::uint8_t> text = read_whole_file(dir / "names.txt");
  const std::string head =
      "Program Names:\r\n--------------------------------------\r\n000. Grand\r\n";
  EXPECT_EQ(std::string(text.begin(), text.begin() + head.size()), head);
  EXPECT_EQ(run_qbank("names " + q(in) + " " + q(dir / "no" / "names.txt")).exit_code, 3);

  // The multisample's folder does not exist yet: the command stops with the file error.
  r = run_qbank("msn " + q(in), true);
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_NE(r.out.find("Piano.msn"), std::string::npos) << r.out;
  fs::create_directories(dir / "Lib");
  r = run_qbank("msn " + q(in));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "[Report: Saved Multisamples Names]\nCreated files: 1\n\n" +
                       path_to_utf8(dir / "Lib" / "Piano.msn") + "\n");
  EXPECT_TRUE(fs::exists(dir / "Lib" / "Piano.msn"));

  r = run_qbank("fix " + q(in) + " octave-up -o " + q(dir / "f.qbs"));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "[Info] Transposed 1 programs\n");
  EXPECT_EQ(read_script(dir / "f.qbs")->program(1).pg_transpose, 12);
  r = run_qbank("fix " + q(in) + " program-transpose -o " + q(dir / "f.qbs"));
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(read_script(dir / "f.qbs")->program(1).pg_transpose, 24);
  EXPECT_EQ(run_qbank("fix " + q(in) + " lfo-speed -o " + q(dir / "f.qbs")).out,
            "[Info] Fixed LFO in 9999 programs\n");
  EXPECT_EQ(run_qbank("fix " + q(in) + " everything -o " + q(dir / "f.qbs")).exit_code, 2);
}

TEST_F(bulk_cli, SilenceCheckAndApply) {
  const fs::path wav = dir / "a.wav";
  const fs::path in = save_with_silent_tail(wav);
  run_result r = run_qbank("silence " + q(in) + " check");
  EXPECT_EQ(r.exit_code, 0);
  std::string expect =
      "[Report: Scan Report]\nREPORT: Delete empty samples from end of WAV files!\n" +
      std::string(59, '-') + "\n";
  for (int t = 0; t < 200; t += 10)
    expect += "Treshold value:  +/-" + std::to_string(t) +
              "     Removed: 808 bytes,      In Fades: 192 bytes.\n";
  EXPECT_EQ(r.out, expect);
  EXPECT_NE(
      run_qbank("silence " + q(in) + " check --no-fade")
          .out.find("Treshold value:  +/-0     Removed: 1 000 bytes,      In Fades: 0 bytes.\n"),
      std::string::npos);

  for (const char* bad : {" apply", " apply 15", " check 10", " trim 10"})
    EXPECT_EQ(run_qbank("silence " + q(in) + bad).exit_code, 2) << bad;

  r = run_qbank("silence " + q(in) + " apply 60 --no-fade");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            "[WARNING!!!] WARNING!!!\nThis function try to remove silence from end of EVERY ONE "
            "WAV file loaded in you multisample list!\nThis will make permanent change in you WAV "
            "files!\n\nAre You Sure to continue? -> Yes\n"
            "[WARNING!!!] WARNING!!!\nAre You REALLY Sure to continue? -> Yes\n"
            "[Sample Editor] Null samples: 500 samples = 1 000 bytes.\n"
            "Total samples in fades: 0 samples = 0 bytes.\n");
  EXPECT_EQ(fs::file_size(wav), 44u + 3000);
}

#ifndef _WIN32
// The trim writes each file anew and renames it over the old one. It keeps the old file's
// owner, group and mode, and a file its user may not write is left alone, as a write in place
// would leave it, though the folder would allow the rename.
TEST_F(bulk_cli, SilenceTrimKeepsOwnerAndModeAndRefusesAFileTheUserMayNotWrite) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving files to another user needs the superuser";
  constexpr unsigned other = 65534;  // "nobody" and "nogroup"
  const fs::path wav = dir / "a.wav";
  const fs::path in = save_with_silent_tail(wav);
  const std::string trim = "silence " + q(in) + " apply 60 --no-fade";
  const auto owner_group_mode = [&] {
    struct stat st {};
    EXPECT_EQ(::stat(wav.c_str(), &st), 0);
    return std::vector<unsigned>{st.st_uid, st.st_gid, st.st_mode & 07777u};
  };

  ASSERT_EQ(::chown(wav.c_str(), other, other), 0);
  ASSERT_EQ(::chmod(wav.c_str(), 0640), 0);
  EXPECT_EQ(run_qbank(trim).exit_code, 0);
  EXPECT_EQ(fs::file_size(wav), 44u + 3000);
  EXPECT_EQ(owner_group_mode(), (std::vector<unsigned>{other, other, 0640}));

  // That user, in a folder of its own, with its own file made read-only.
  save_with_silent_tail(wav);
  const std::vector<std::uint8_t> before = read_whole_file(wav);
  ASSERT_EQ(::chown(wav.c_str(), other, other), 0);
  ASSERT_EQ(::chmod(wav.c_str(), 0444), 0);
  ASSERT_EQ(::chown(dir.path().c_str(), other, other), 0);
  const fs::path setpriv = "/usr/bin/setpriv";
  if (!fs::exists(setpriv)) GTEST_SKIP() << "no setpriv to run qbank as another user";
  const run_result r = testing::run_program(
      setpriv,
      {"--reuid=65534", "--regid=65534", "--clear-groups", path_to_utf8(testing::qbank_program()),
       "silence", path_to_utf8(in), "apply", "60", "--no-fade"},
      true);
  if (r.out.starts_with("setpriv:")) GTEST_SKIP() << "this machine forbids it: " << r.out;
  EXPECT_NE(r.out.find("[Error] " + path_to_utf8(wav) + ": Permission denied\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Null samples: 0 samples"), std::string::npos) << r.out;
  EXPECT_EQ(read_whole_file(wav), before);
  EXPECT_EQ(owner_group_mode(), (std::vector<unsigned>{other, other, 0444}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator{}), 2);
}
#endif

TEST_F(bulk_cli, DuplicatesReportRemoveAndContent) {
  for (int m : {2, 7}) b.set_file(m, 5, path_to_utf8(dir / "x.wav"));
  b.program(0).zones[0].multisample = 7;
  testing::write_file(dir / "x.wav", testing::wav_bytes(1, std::vector<std::int16_t>(10, 3)));
  testing::write_file(dir / "y.wav", testing::wav_bytes(1, std::vector<std::int16_t>(10, 3)));
  b.set_file(9, 0, path_to_utf8(dir / "y.wav"));
  const fs::path in = save();
  const std::string x = path_to_utf8(dir / "x.wav");
  const std::string question =
      "WARNING!!!\nFunction with Long Time Execution!\n\nAre You Sure to continue? -> Yes\n";
  run_result r = run_qbank("duplicates " + q(in));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "[Checking for DUPLICATED samples!] " + question +
                       "[Report: Check for DUPLICATED samples!]\nDublicate Found! " +
                       std::string(43, '-') + "\nSample 005 from MS0002: " + x +
                       "\nand\nSample 005 from MS0007: " + x + "\n\n");

  r = run_qbank("duplicates " + q(in) + " --remove -o " + q(dir / "d.qbs"));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "[Remove DUPLICATED Multisamples!] " + question +
                       "[Report: Remove DUPLICATED samples!]\nDuplicated Multisample Found! " +
                       std::string(75, '-') + "\nMultisample  MS0007: " + blank_name +
                       "  is equal to previous multisample  MS0002: " + blank_name +
                       "\n   Program  PG0000: " + blank_name +
                       "  uses reasigned multisample:\n"
                       "      Zone VZ00: multisample is reassigned: MS0007 -> MS0002\n"
                       "      Multisample MS0007  is DELETED!\n\n");
  EXPECT_EQ(read_script(dir / "d.qbs")->program(0).zones[0].multisample, 2);
  EXPECT_EQ(run_qbank("duplicates " + q(in) + " --remove").exit_code, 2);
  EXPECT_EQ(run_qbank("duplicates " + q(in) + " -o " + q(dir / "e.qbs")).exit_code, 2);
  EXPECT_EQ(
      run_qbank("duplicates " + q(in) + " --by-content --remove -o " + q(dir / "e.qbs")).exit_code,
      2);
  EXPECT_FALSE(fs::exists(dir / "e.qbs"));

  r = run_qbank("duplicates " + q(in) + " --by-content");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "[Checking for DUPLICATED audio!] " + question +
                       "[Report: DUPLICATED audio content]\n"
                       "Groups of WAV files with identical audio: 1, files: 2\n"
                       "Merging them would save: 64 bytes.\n\n"
                       "Identical audio in 2 files (20 bytes of audio each):\n   " +
                       x + "\n   " + path_to_utf8(dir / "y.wav") +
                       "\n   Merging would save: 64 bytes.\n\n");
}

}  // namespace
}  // namespace qbank
