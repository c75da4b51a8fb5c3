// `qbank transfer`, `qbank s2 info|import` and `qbank export` as a script would run them.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "bank/bank.h"
#include "bank/script_file.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/run_qbank.h"
#include "support/s2_file_builder.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace fs = std::filesystem;

namespace qbank {
namespace {

using testing::q;
using testing::read_script;
using testing::recording_host;
using testing::run_qbank;
using testing::run_result;
using testing::s2_file_builder;
using testing::temp_dir;

// The demo library and its bank file, built by `qbank` itself.
struct demo_bank {
  temp_dir dir;
  fs::path script, bank_file;
  demo_bank() {
    EXPECT_EQ(run_qbank("demo " + q(dir / "lib")).exit_code, 0);
    script = dir / "lib" / "Demo.qbs";
    bank_file = dir / "Demo.qbb";
    EXPECT_EQ(run_qbank("build " + q(script) + " -o " + q(bank_file)).exit_code, 0);
    EXPECT_EQ(run_qbank("new " + q(dir / "empty.qbs")).exit_code, 0);
  }
};

TEST(ManagerCli, TransferFromABankFileBringsTheMultisamples) {
  demo_bank d;
  const auto demo_ptr = read_script(d.script);
  const bank& demo = *demo_ptr;
  run_result r = run_qbank("transfer " + q(d.dir / "empty.qbs") + " " + q(d.bank_file) +
                           " --from 0 --count 3 --to 100 -o " + q(d.dir / "t.qbs"));
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(r.out, "");
  const auto tp = read_script(d.dir / "t.qbs");
  const bank& t = *tp;
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(t.program_name_text(100 + k), demo.program_name_text(k));
    const int n = t.program(100 + k).zones[0].multisample;
    const int source_n = demo.program(k).zones[0].multisample;
    ASSERT_NE(n, 0);
    EXPECT_EQ(t.multisample_name_text(n), demo.multisample_name_text(source_n));
    EXPECT_EQ(t.file(n, 60), demo.file(source_n, 60));
  }
  EXPECT_EQ(t.program_name_text(0), "- - -           ");

  // --to defaults to --from; the output may be the input; transferring again reuses the copies.
  r = run_qbank("transfer " + q(d.dir / "t.qbs") + " " + q(d.script) + " --from 0 -o " +
                q(d.dir / "t.qbs"));
  EXPECT_EQ(r.exit_code, 0) << r.out;
  const auto t2p = read_script(d.dir / "t.qbs");
  const bank& t2 = *t2p;
  EXPECT_EQ(t2.program(0).zones[0].multisample, t2.program(100).zones[0].multisample);
}

TEST(ManagerCli, TransferRefusalsAndBadCommandLines) {
  demo_bank d;
  run_result r = run_qbank("transfer " + q(d.dir / "empty.qbs") + " " + q(d.script) +
                           " --from 0 --count 3 --to 9997 -o " + q(d.dir / "t.qbs"));
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out,
            "[Bank Manager] Not possible!\nGo outside last program position in destination "
            "bank!\n");
  EXPECT_FALSE(file_exists(d.dir / "t.qbs"));
  EXPECT_EQ(run_qbank("transfer " + q(d.dir / "empty.qbs") + " " + q(d.script) +
                      " --from 9999 -o " + q(d.dir / "t.qbs"))
                .exit_code,
            2);
  EXPECT_EQ(run_qbank("transfer " + q(d.dir / "empty.qbs") + " " + q(d.dir / "none.qbs") +
                      " --from 0 -o " + q(d.dir / "t.qbs"))
                .exit_code,
            3);
}

// A source that does not load completely gives nothing: exit 1 and no output.
TEST(ManagerCli, TransferRefusesASourceThatDidNotLoad) {
  demo_bank d;
  const std::vector<std::uint8_t> whole = read_whole_file(d.bank_file);
  const struct {
    const char* name;
    std::size_t size;
  } sources[] = {
      {"empty.qbb", 0},
      {"cut-in-records.qbb", 300000},
      {"cut-in-paths.qbb", whole.size() - 500},
  };
  for (const auto& c : sources) {
    SCOPED_TRACE(c.name);
    write_whole_file(d.dir / c.name, whole.data(), c.size);
    const run_result r = run_qbank("transfer " + q(d.dir / "empty.qbs") + " " + q(d.dir / c.name) +
                                       " --from 1 --count 3 -o " + q(d.dir / "t.qbs"),
                                   true);
    EXPECT_EQ(r.exit_code, 1) << r.out;
    EXPECT_FALSE(r.out.empty()) << "the refusal says why";
    EXPECT_FALSE(file_exists(d.dir / "t.qbs"));
  }
}

s2_file_builder piano_s2() {
  s2_file_builder f(4);
  std::memcpy(f.image().sounds[7].name, "Grand Piano     ", 16);
  f.image().sounds[7].zones[0] = {5, 100, 0, 127, 0, 127, 64};
  std::memcpy(f.image().multisamples[5].name, "Piano MS        ", 16);
  f.set_audio(5, 60, static_cast<std::uint32_t>(s2_header_size_v3 / 512), 3);
  f.set_name(5, 60, "D:\\Lib\\Piano\\C3.wav");
  return f;
}

TEST(ManagerCli, S2InfoAndImport) {
  temp_dir dir;
  piano_s2().write(dir / "s2.qbb");
  run_result r = run_qbank("s2 info " + q(dir / "s2.qbb"));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            "[Info] Bank loading OK!\nversion: 4\nbank size: " +
                std::to_string(fs::file_size(dir / "s2.qbb")) +
                "\nsounds playing multisamples: 1\nmultisamples holding files: 1\nused slots: "
                "1\naudio sectors: 3\n");

  ASSERT_EQ(run_qbank("new " + q(dir / "main.qbs")).exit_code, 0);
  r = run_qbank("s2 import " + q(dir / "main.qbs") + " " + q(dir / "s2.qbb") + " --sounds 5-7 -o " +
                q(dir / "out.qbs"));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "[Info] Bank loading OK!\n");
  const auto bp = read_script(dir / "out.qbs");
  const bank& b = *bp;
  EXPECT_EQ(b.program_name_text(7), "Grand Piano     ");
  EXPECT_EQ(b.program(7).zones[0].multisample, 5);
  EXPECT_EQ(b.multisample_name_text(5), "Piano MS        ");
  EXPECT_EQ(b.file(5, 60), "D:\\Lib\\Piano\\C3.wav");
  EXPECT_EQ(b.program_name_text(5), "- - -           ");

  EXPECT_EQ(run_qbank("s2 import " + q(dir / "main.qbs") + " " + q(dir / "s2.qbb") +
                      " --sounds 7-5 -o " + q(dir / "x.qbs"))
                .exit_code,
            2);
  // The window refuses a range whose first sound is on the last two positions.
  for (const char* sounds : {"9997", "9998", "9997-9998"}) {
    r = run_qbank("s2 import " + q(dir / "main.qbs") + " " + q(dir / "s2.qbb") + " --sounds " +
                  sounds + " -o " + q(dir / "x.qbs"));
    EXPECT_EQ(r.exit_code, 1) << sounds;
    EXPECT_EQ(r.out,
              "[Info] Bank loading OK!\n[Bank Manager] Not possible!\nThis is last program "
              "position!\n")
        << sounds;
    EXPECT_FALSE(fs::exists(dir / "x.qbs")) << sounds;
  }
  EXPECT_EQ(run_qbank("s2 import " + q(dir / "main.qbs") + " " + q(dir / "s2.qbb") +
                      " --sounds 9996-9998 -o " + q(dir / "x.qbs"))
                .exit_code,
            0);
  EXPECT_EQ(run_qbank("s2 info " + q(dir / "none.qbb")).exit_code, 3);
}

TEST(ManagerCli, S2DamagedBankExitsOne) {
  temp_dir dir;
  piano_s2().write(dir / "s2.qbb");
  fs::resize_file(dir / "s2.qbb", fs::file_size(dir / "s2.qbb") + 1);
  run_result r = run_qbank("s2 info " + q(dir / "s2.qbb"));
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out,
            "[Error] Bank is from only one file, but real bank file size is not equal to size "
            "recorded inside in bank file!\n[Info] Bank loading is aborted!\n");
  ASSERT_EQ(run_qbank("new " + q(dir / "main.qbs")).exit_code, 0);
  r = run_qbank("s2 import " + q(dir / "main.qbs") + " " + q(dir / "s2.qbb") + " --sounds 7 -o " +
                q(dir / "out.qbs"));
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_FALSE(file_exists(dir / "out.qbs"));
}

TEST(ManagerCli, ExportOneMultisampleAndTheLibrary) {
  demo_bank d;
  run_result r = run_qbank("export " + q(d.bank_file) + " --multisample 1 " + q(d.dir / "one"));
  EXPECT_EQ(r.exit_code, 0) << r.out;
  const auto demo_ptr = read_script(d.script);
  const bank& demo = *demo_ptr;
  unsigned files = 0;
  for (int j = 0; j < slots_per_multisample; ++j) files += !demo.slot_is_empty(1, j);
  EXPECT_EQ(r.out.rfind("[Info] Bank loading OK!\n[Report: Exported sample names]\nExport OK!\n"
                        "Exported files count: " +
                            std::to_string(files) + "\n\n",
                        0),
            0u)
      << r.out;
  EXPECT_NE(r.out.find("\nExported MULTISAMPLE NAME: " + demo.multisample_name_text(1) + ".msn\n"),
            std::string::npos);

  r = run_qbank("export " + q(d.bank_file) + " --all " + q(d.dir / "all"));
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(r.out,
            "[Info] Bank loading OK!\n[WARNING!!!] This is massive and long time consumption "
            "operation!\nYou need large free disk size for this operation!\n\nAre You Sure to "
            "contonue? -> Yes\n" +
                std::to_string(demo.count_used_slots()) + " WAV files exported\n");

  r = run_qbank("export " + q(d.script) + " --all " + q(d.dir / "x"));
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "[Error!] Not loaded VALID BANK FILE!\n");
  EXPECT_EQ(run_qbank("export " + q(d.bank_file) + " " + q(d.dir / "x")).exit_code, 2);
  EXPECT_EQ(
      run_qbank("export " + q(d.bank_file) + " --all --multisample 1 " + q(d.dir / "x")).exit_code,
      2);
}

// An export never replaces a file the bank names: multisample 1 holds lib/C3.wav, multisample 2
// lib/sub/C3.wav, and both are exported into lib/sub. What was left out makes the exit 1.
TEST(ManagerCli, ExportLeavesTheBanksOwnFilesAlone) {
  temp_dir dir;
  fs::create_directories(dir / "lib" / "sub");
  const std::int16_t one[] = {1, 2, 3}, two[] = {7, 8, 9};
  testing::write_file(dir / "lib" / "C3.wav", testing::wav_bytes(1, one));
  testing::write_file(dir / "lib" / "sub" / "C3.wav", testing::wav_bytes(1, two));
  const std::vector<std::uint8_t> kept = read_whole_file(dir / "lib" / "sub" / "C3.wav");
  {
    bank b;
    b.set_file(1, 60, stored_path(dir / "lib" / "C3.wav"));
    b.set_file(2, 60, stored_path(dir / "lib" / "sub" / "C3.wav"));
    b.program(0).zones[0].multisample = 1;
    b.program(1).zones[0].multisample = 2;
    recording_host h;
    save_script(b, dir / "B.qbs", h);
  }
  ASSERT_EQ(run_qbank("build " + q(dir / "B.qbs")).exit_code, 0);
  for (const char* how : {"--multisample 1", "--all"}) {
    SCOPED_TRACE(how);
    const run_result r =
        run_qbank("export " + q(dir / "B.qbb") + " " + how + " " + q(dir / "lib" / "sub"));
    EXPECT_EQ(r.exit_code, 1) << r.out;
    EXPECT_NE(r.out.find("Not exported, the output is a file the bank names: " +
                         path_to_utf8(dir / "lib" / "C3.wav")),
              std::string::npos)
        << r.out;
    EXPECT_EQ(read_whole_file(dir / "lib" / "sub" / "C3.wav"), kept);
  }
}

}  // namespace
}  // namespace qbank
