// `qbank conform`, run as the real binary: the report, the script written or left alone, the
// dry run and the exit codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "audio/conform.h"
#include "audio/conform_codec.h"
#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/script_file.h"
#include "platform/file_io.h"
#include "platform/file_stamp.h"
#include "platform/paths.h"
#include "support/audio_writer.h"
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
namespace fs = std::filesystem;

struct conform_cli : ::testing::Test {
  testing::temp_dir dir;
  fs::path lib = dir / "lib";
  fs::path out = dir / "out";
  bank b;
  recording_host h;

  // A script naming a 24-bit 44.1 kHz file (twice) and a text file; returns its path.
  fs::path script() {
    fs::create_directories(lib / "Strings");
    testing::write_audio_with_sndfile(lib / "Strings" / "A3.wav", testing::audio_container::wav,
                                      testing::audio_encoding::pcm_24, 2, 44100,
                                      testing::sine_wave(2, 44100, 0.2, 1000, 0.5));
    testing::write_file(lib / "readme.wav", testing::bytes{'h', 'i'});
    b.set_file(3, 57, stored_path(lib / "Strings" / "A3.wav"));
    b.set_file(4, 57, stored_path(lib / "Strings" / "A3.wav"));
    b.set_file(3, 58, stored_path(lib / "readme.wav"));
    save_script(b, dir / "in.qbs", h);
    return dir / "in.qbs";
  }
  std::string expected_report(bool dry_run) {
    std::string text =
        "[Report: Conform WAV Files]\nConverted: " + path_to_utf8(lib / "Strings" / "A3.wav") +
        " (WAV 24-bit 44100 Hz stereo) -> " + path_to_utf8(out / "Strings" / "A3.wav") +
        "\nRefused: " + path_to_utf8(lib / "readme.wav") +
        " (cannot be decoded: Format not recognised.)\n"
        "Totals: 1 converted, 0 converted earlier, 0 kept, 1 refused\n";
    if (dry_run) text += "Dry run: nothing was written.\n";
    return text;
  }
};

TEST_F(conform_cli, ScriptRewrittenInPlaceEvenWithRefusalsThenNothingLeftToDo) {
  QBANK_SKIP_WITHOUT_CONFORM();
  const fs::path in = script();
  run_result r = run_qbank("conform " + q(in) + " --into " + q(out));
  EXPECT_EQ(r.exit_code, 1);  // a file was refused, but the bank changed and is written
  EXPECT_EQ(r.out, expected_report(false));
  std::unique_ptr<bank> after = read_script(in);
  const std::string result = stored_path(out / "Strings" / "A3.wav");
  EXPECT_EQ(after->file(3, 57), result);
  EXPECT_EQ(after->file(4, 57), result);
  EXPECT_EQ(after->file(3, 58), stored_path(lib / "readme.wav"));

  // Nothing left to convert: the script and the folder stay as they are.
  const auto script_stamp = stamp_of(in);
  const auto result_stamp = stamp_of(out / "Strings" / "A3.wav");
  r = run_qbank("conform " + q(in) + " --into " + q(out));
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("Totals: 0 converted, 0 converted earlier, 1 kept, 1 refused\n"),
            std::string::npos);
  EXPECT_EQ(stamp_of(in), script_stamp);
  EXPECT_EQ(stamp_of(out / "Strings" / "A3.wav"), result_stamp);
}

TEST_F(conform_cli, DryRunPrintsTheReportAndWritesNothing) {
  QBANK_SKIP_WITHOUT_CONFORM();
  const fs::path in = script();
  const testing::bytes before = read_whole_file(in);
  const run_result r = run_qbank("conform " + q(in) + " --into " + q(out) + " -o " +
                                 q(dir / "o.qbs") + " --dry-run");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, expected_report(true));
  EXPECT_EQ(read_whole_file(in), before);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_FALSE(fs::exists(dir / "o.qbs"));
}

TEST_F(conform_cli, OutputNamedWithOLeavesTheInputAlone) {
  QBANK_SKIP_WITHOUT_CONFORM();
  const fs::path in = script();
  const testing::bytes before = read_whole_file(in);
  const run_result r =
      run_qbank("conform " + q(in) + " --into " + q(out) + " -o " + q(dir / "o.qbs"));
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(read_whole_file(in), before);
  EXPECT_EQ(read_script(dir / "o.qbs")->file(4, 57), stored_path(out / "Strings" / "A3.wav"));
  // Usage errors: DIR is required.
  EXPECT_EQ(run_qbank("conform " + q(in)).exit_code, 2);
}

// A bank file built when its files were fine, then a file replaced by one the instrument
// refuses: the bank file is read, left alone, and the script with the new path goes beside it.
TEST_F(conform_cli, BankFileInputGivesAScriptBesideIt) {
  QBANK_SKIP_WITHOUT_CONFORM();
  fs::create_directories(lib / "Strings");
  const fs::path a3 = lib / "Strings" / "A3.wav";
  testing::write_audio_with_sndfile(a3, testing::audio_container::wav,
                                    testing::audio_encoding::pcm_16, 1, conform_rate,
                                    testing::sine_wave(1, conform_rate, 0.1, 1000, 0.5));
  b.set_file(3, 57, stored_path(a3));
  ASSERT_TRUE(build_bank_file(b, dir / "BANK.qbb", h));
  const testing::bytes built = read_whole_file(dir / "BANK.qbb");
  testing::write_audio_with_sndfile(a3, testing::audio_container::wav,
                                    testing::audio_encoding::pcm_24, 2, 44100,
                                    testing::sine_wave(2, 44100, 0.2, 1000, 0.5));

  const run_result r = run_qbank("conform " + q(dir / "BANK.qbb") + " --into " + q(out));
  EXPECT_EQ(r.exit_code, 0);
  // The only file's own folder is the library's common folder: the result goes straight below
  // DIR.
  const fs::path result = out / "A3.wav";
  EXPECT_EQ(r.out,
            "[Info] Bank loading OK!\n[Report: Conform WAV Files]\nConverted: " + path_to_utf8(a3) +
                " (WAV 24-bit 44100 Hz stereo) -> " + path_to_utf8(result) +
                "\nTotals: 1 converted, 0 converted earlier, 0 kept, 0 refused\n");
  EXPECT_EQ(read_whole_file(dir / "BANK.qbb"), built);
  EXPECT_EQ(read_script(dir / "BANK.qbs")->file(3, 57), stored_path(result));
  EXPECT_EQ(check_stored_wav(stored_path(result)), wav_check::accepted);
}

TEST_F(conform_cli, WithoutTheDecoderTheCommandSaysItIsNotAvailable) {
  if (conform_available()) GTEST_SKIP() << "this build has conform";
  const run_result r =
      run_qbank("conform " + q(dir / "in.qbs") + " --into " + q(out), /*with_stderr=*/true);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "qbank: " + std::string(conform_unavailable_text) + "\n");
  EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace qbank
