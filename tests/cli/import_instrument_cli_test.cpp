// `qbank import-instrument`, run as the real binary: the report, the script written or not, the
// messages and the exit codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "audio/conform_codec.h"
#include "bank/bank.h"
#include "platform/paths.h"
#include "support/audio_writer.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;
using testing::q;

TEST(ImportInstrumentCli, TextsExitCodesAndOutput) {
  QBANK_SKIP_WITHOUT_CONFORM();
  testing::temp_dir dir;
  testing::write_audio_with_sndfile(dir / "a.wav", testing::audio_container::wav,
                                    testing::audio_encoding::pcm_16, 1, 48000,
                                    testing::sine_wave(1, 48000, 0.05, 440, 0.5));
  const auto text_file = [&](const char* name, const std::string& text) {
    testing::write_file(dir / name, testing::bytes(text.begin(), text.end()));
    return q(dir / name);
  };
  const std::string good =
      text_file("Pad.sfz", "<region> sample=a.wav key=60 ampeg_attack=0.02 fil_type=lpf_2p\n");
  const std::string broken = text_file("Broken.sfz", "<region> sample=a.wav\n<regio key=61\n");
  const std::string missing = text_file("Missing.sfz", "<region> sample=none.wav key=60\n");
  ASSERT_EQ(testing::run_qbank("new " + q(dir / "main.qbs")).exit_code, 0);
  const std::string main = q(dir / "main.qbs");
  const std::string into = " --into " + q(dir / "out");
  struct row {
    std::string args;
    int exit_code;
    std::string text;  // a line of what is printed
    bool written;
  };
  const row rows[] = {
      {good + " --program 12" + into, 0, "[Report: Imported Instrument]", true},
      {good + " --program 12" + into + " --fill nearest", 0, "Not carried over: fil_type (once)",
       true},
      {broken + " --program 12" + into, 1, "Broken.sfz:2", false},
      {missing + " --program 12" + into, 1, "none.wav\" cannot be opened", false},
      {good + " --program 9999" + into, 2, "--program", false},
      {good + " --program 1" + into + " --fill pitched", 2, "--fill", false},
      {good + " --program 1", 2, "--into", false},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.args);
    fs::remove(dir / "out.qbs");
    const testing::run_result run = testing::run_qbank(
        "import-instrument " + main + " " + r.args + " -o " + q(dir / "out.qbs"), true);
    EXPECT_EQ(run.exit_code, r.exit_code) << run.out;
    EXPECT_NE(run.out.find(r.text), std::string::npos) << run.out;
    EXPECT_EQ(fs::exists(dir / "out.qbs"), r.written);
    if (!r.written) continue;
    const auto b = testing::read_script(dir / "out.qbs");
    EXPECT_EQ(b->program_name_text(12).substr(0, 3), "Pad");
    EXPECT_EQ(b->program(12).zones[0].multisample, 1);
    EXPECT_EQ(b->program(12).attack, 20);
    EXPECT_EQ(native_path(b->file(1, 60)), dir / "out" / "Pad" / "Layer 1" / "Pad 060.wav");
  }
}

}  // namespace
}  // namespace qbank
