// Runs the real `qbank` binary and checks what a person would see: output, order, exit codes.
#include <gtest/gtest.h>

#include <string>

#include "bank/bank.h"
#include "bank/script_file.h"
#include "bank/start_sector.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/cli_runner.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace qbank {
namespace {

using testing::q;
using testing::recording_host;
using testing::run_qbank;
using testing::run_result;
using testing::temp_dir;

TEST(Cli, VersionHelpAndBadCommandLines) {
  run_result v = run_qbank("--version");
  EXPECT_EQ(v.exit_code, 0);
  EXPECT_EQ(v.out, "qbank 3.54\n");
  EXPECT_EQ(run_qbank("--help").exit_code, 0);
  EXPECT_EQ(run_qbank("build --help").exit_code, 0);
  EXPECT_EQ(run_qbank("").exit_code, 2);
  EXPECT_EQ(run_qbank("no-such-command").exit_code, 2);
  EXPECT_EQ(run_qbank("convert only-input").exit_code, 2);
  EXPECT_EQ(run_qbank("info x --from-version 9").exit_code, 2);
}

// Refused before anything is read or written: an output that is the input of the other kind (a
// bank file over a script, a script over a bank and its audio), and a code page that is unknown.
TEST(Cli, OutputOverAnInputOfAnotherKindAndAnUnknownCodePageAreRefused) {
  temp_dir dir;
  ASSERT_EQ(run_qbank("new " + q(dir / "S.qbs")).exit_code, 0);
  ASSERT_EQ(run_qbank("build " + q(dir / "S.qbs") + " -o " + q(dir / "B.qbb")).exit_code, 0);
  const std::string script = testing::file_text(dir / "S.qbs");
  const std::string bank_file = testing::file_text(dir / "B.qbb");
  const std::string known = "known: 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258\n";
  const struct {
    std::string env, command, says;
    int exit_code = 1;  // a refused output; a code page no table holds is a bad setting (2)
  } cases[] = {
      {"", "build " + q(dir / "S.qbs") + " -o " + q(dir / "S.qbs"),
       path_to_utf8(dir / "S.qbs") + " is the input, a script: writing a bank file there"},
      {"", "convert " + q(dir / "B.qbb") + " -o " + q(dir / "." / "B.qbb"),
       path_to_utf8(dir / "." / "B.qbb") + " is the input, a bank file: writing a script there"},
      {"", "fix " + q(dir / "B.qbb") + " octave-up -o " + q(dir / "B.qbb"),
       path_to_utf8(dir / "B.qbb") + " is the input, a bank file: writing a script there"},
      {"", "remove-programs " + q(dir / "B.qbb") + " 1 2 -o " + q(dir / "B.qbb"),
       path_to_utf8(dir / "B.qbb") + " is the input, a bank file: writing a script there"},
      {"QBANK_CODEPAGE=437 ", "convert " + q(dir / "S.qbs") + " -o " + q(dir / "S.qbs"),
       "QBANK_CODEPAGE=437 names no known code page; " + known, 2},
      {"QBANK_CODEPAGE=1251x ", "build " + q(dir / "S.qbs") + " -o " + q(dir / "B.qbb"),
       "QBANK_CODEPAGE=1251x names no known code page; " + known, 2},
  };
  for (const auto& c : cases) {
    const run_result r = run_qbank(c.command, true, c.env);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.command;
    EXPECT_EQ(r.out.rfind("qbank: " + c.says, 0), 0u) << r.out;
    // Compared whole, not printed: a bank file is megabytes.
    EXPECT_TRUE(testing::file_text(dir / "S.qbs") == script) << c.command;
    EXPECT_TRUE(testing::file_text(dir / "B.qbb") == bank_file) << c.command;
  }
  EXPECT_EQ(run_qbank("convert " + q(dir / "S.qbs") + " -o " + q(dir / "S.qbs"), false,
                      "QBANK_CODEPAGE=1251 ")
                .exit_code,
            0);
}

TEST(Cli, NewConvertAndInfoOfScripts) {
  temp_dir dir;
  ASSERT_EQ(run_qbank("new " + q(dir / "n.qbs")).exit_code, 0);
  EXPECT_EQ(read_whole_file(dir / "n.qbs").size(), 7'681'536u + 8'960'000u);

  bank b;
  b.program(3).zones[0].multisample = 7;
  b.set_file(7, 60, "C:\\Lib\\a.wav");
  b.set_file(7, 61, "C:\\Lib\\a.wav");
  b.set_file(8, 0, "C:\\Lib\\b.wav");
  recording_host h;
  save_script(b, dir / "s.qbs", h);
  run_result info = run_qbank("info " + q(dir / "s.qbs"));
  EXPECT_EQ(info.exit_code, 0);
  EXPECT_EQ(info.out,
            "kind: script\nversion: 6\nused programs: 1\nmultisamples holding files: 2\n"
            "used slots: 3\ndistinct paths: 2\n");
  run_result json = run_qbank("info --json " + q(dir / "s.qbs"));
  EXPECT_NE(json.out.find("\"used_slots\": 3"), std::string::npos) << json.out;

  // A version-6 file read as version 2 takes binary records for its first path line, 7.6 MB
  // without a line end: the load is refused with the line's number and nothing is written.
  run_result conv =
      run_qbank("convert --from-version 2 " + q(dir / "s.qbs") + " -o " + q(dir / "c.qbs"), true);
  EXPECT_NE(conv.out.find("The script file: text line 1 of its file lists is longer than 32767 "
                          "bytes"),
            std::string::npos)
      << conv.out;
  EXPECT_EQ(conv.exit_code, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "c.qbs"));
  // Output may equal input.
  EXPECT_EQ(run_qbank("convert " + q(dir / "s.qbs") + " -o " + q(dir / "s.qbs")).exit_code, 0);
  bank c;
  load_script(c, dir / "s.qbs", 6, h);
  EXPECT_EQ(c.file(7, 61), "C:\\Lib\\a.wav");
}

TEST(Cli, FileErrorsExitWithThreeAndName) {
  temp_dir dir;
  run_result r = run_qbank("info " + q(dir / "missing.qbs"), true);
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_NE(r.out.find("missing.qbs"), std::string::npos) << r.out;
  EXPECT_EQ(run_qbank("new " + q(dir / "no" / "such" / "x.qbs")).exit_code, 3);
  EXPECT_EQ(run_qbank("info " + q(dir / "missing.qbb")).exit_code, 3);
  EXPECT_EQ(run_qbank("info " + q(dir.path())).exit_code, 3);
}

TEST(Cli, RefusedBankFilesExitWithOneAndNoSummary) {
  temp_dir dir;
  write_whole_file(dir / "empty.qbb", "", 0);
  run_result empty = run_qbank("info " + q(dir / "empty.qbb"));
  EXPECT_EQ(empty.exit_code, 1);
  EXPECT_EQ(empty.out, "[Error] Problem with opening bank file!\n");
  const std::string junk(4096, 'j');
  write_whole_file(dir / "junk.qbb", junk.data(), junk.size());
  run_result foreign = run_qbank("convert " + q(dir / "junk.qbb") + " -o " + q(dir / "x.qbs"));
  EXPECT_EQ(foreign.exit_code, 1);
  EXPECT_EQ(foreign.out.rfind("[Error] Invalid Ample LEAD Sampler Bank!", 0), 0u) << foreign.out;
  EXPECT_FALSE(std::filesystem::exists(dir / "x.qbs"));
}

TEST(Cli, InfoTellsVersionOneFromVersionTwo) {
  // Versions 1 and 2 share their start sector; a version-1 file has no path-name area.
  temp_dir dir;
  bank b;
  std::string file(reinterpret_cast<const char*>(start_sector_template(2).data()), 512);
  file.append(reinterpret_cast<const char*>(&b.image().global), sizeof(global_parameter));
  file.append(reinterpret_cast<const char*>(b.image().blends), 128 * sizeof(blend));
  file.append(reinterpret_cast<const char*>(b.image().multisamples), 2048 * sizeof(multisample));
  write_whole_file(dir / "v1.qbb", file.data(), file.size());
  run_result v1 = run_qbank("info " + q(dir / "v1.qbb"));
  EXPECT_EQ(v1.exit_code, 0);
  EXPECT_NE(v1.out.find("kind: bank file\nversion: 1\n"), std::string::npos) << v1.out;
  for (int k = 0; k < 2048 * 128; ++k) file += "- - -\r\n";
  write_whole_file(dir / "v2.qbb", file.data(), file.size());
  run_result v2 = run_qbank("info --json " + q(dir / "v2.qbb"));
  EXPECT_EQ(v2.exit_code, 0);
  EXPECT_NE(v2.out.find("\"version\": 2,"), std::string::npos) << v2.out;
}

TEST(Cli, ValidateAndBuildRefuseMissingFiles) {
  temp_dir dir;
  bank b;
  b.set_file(0, 5, path_to_utf8(dir / "gone.wav"));
  recording_host h;
  save_script(b, dir / "m.qbs", h);
  run_result v = run_qbank("validate " + q(dir / "m.qbs"));
  EXPECT_EQ(v.exit_code, 1);
  const std::string path = path_to_utf8(dir / "gone.wav");
  EXPECT_NE(v.out.find("[Info] Missing 1 WAV files!!!\n\nShow missing files ? -> Yes\n"
                       "[Report: Missing Files]\nMissing 1 WAV files!!!\n"),
            std::string::npos)
      << v.out;
  EXPECT_NE(v.out.find("1. Missing file: " + path + "\n"), std::string::npos) << v.out;
  EXPECT_NE(v.out.find("[Sample Editor] Estimated Bank Size in Version 5 is: "), std::string::npos);

  run_result bld = run_qbank("build " + q(dir / "m.qbs"));
  EXPECT_EQ(bld.exit_code, 1);
  EXPECT_NE(
      bld.out.find("[Bank creation...] ERRORR...\nCreation of bank is IMPOSSIBLE!\nFound 1 erros!"),
      std::string::npos)
      << bld.out;
  EXPECT_FALSE(std::filesystem::exists(dir / "m.qbb"));
}

TEST(Cli, DemoBuildsAndReadsBack) {
  temp_dir dir;
  run_result demo = run_qbank("demo " + q(dir / "lib"));
  ASSERT_EQ(demo.exit_code, 0) << demo.out;
  ASSERT_TRUE(std::filesystem::exists(dir / "lib" / "Demo.qbs"));
  run_result bld = run_qbank("build " + q(dir / "lib" / "Demo.qbs"));
  ASSERT_EQ(bld.exit_code, 0) << bld.out;
  ASSERT_TRUE(std::filesystem::exists(dir / "lib" / "Demo.qbb"));
  run_result info = run_qbank("info " + q(dir / "lib" / "Demo.qbb"));
  EXPECT_EQ(info.exit_code, 0) << info.out;
  EXPECT_NE(info.out.find("[Info] Bank loading OK!\nkind: bank file\nversion: 6\n"),
            std::string::npos)
      << info.out;
  EXPECT_NE(info.out.find("parts found: 1\n"), std::string::npos);
  // With --json standard output is the JSON alone: the load's message goes to standard error.
  info = run_qbank("info --json " + q(dir / "lib" / "Demo.qbb"));
  EXPECT_EQ(info.out.rfind("{\"path\": ", 0), 0u) << info.out;
  info = run_qbank("info --json " + q(dir / "lib" / "Demo.qbb"), true);
  EXPECT_EQ(info.out.rfind("[Info] Bank loading OK!\n{", 0), 0u) << info.out;

  // The bank converts back to a script naming the same files.
  ASSERT_EQ(
      run_qbank("convert " + q(dir / "lib" / "Demo.qbb") + " -o " + q(dir / "back.qbs")).exit_code,
      0);
  bank a, c;
  recording_host h;
  load_script(a, dir / "lib" / "Demo.qbs", 6, h);
  load_script(c, dir / "back.qbs", 6, h);
  for (int n = 0; n < 20; ++n)
    for (int j = 0; j < 128; ++j) ASSERT_EQ(a.file(n, j), c.file(n, j));

  // System settings travel through a .qsp file.
  ASSERT_EQ(
      run_qbank("params export " + q(dir / "lib" / "Demo.qbs") + " " + q(dir / "g.qsp")).exit_code,
      0);
  EXPECT_EQ(read_whole_file(dir / "g.qsp").size(), 2048u);
  ASSERT_EQ(run_qbank("params import " + q(dir / "g.qsp") + " " + q(dir / "back.qbs") + " -o " +
                      q(dir / "p.qbs"))
                .exit_code,
            0);
}

}  // namespace
}  // namespace qbank
