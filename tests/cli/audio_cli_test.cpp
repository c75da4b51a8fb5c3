// `qbank waveform`: the player's columns as text and JSON, and the plot's messages.
#include <gtest/gtest.h>

#include <vector>

#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/script_file.h"
#include "support/recording_host.h"
#include "support/run_qbank.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

using testing::q;
using testing::run_qbank;
using testing::run_result;

class WaveformCli : public ::testing::Test {
 protected:
  testing::temp_dir dir;
  // Three columns of 2 frames each: peaks +1000/-0, +0/-20000, +32767/-32768.
  std::vector<std::int16_t> mono = {1000, 5, -20000, -1, 32767, -32768};
};

TEST_F(WaveformCli, WavFileAsJsonAndText) {
  testing::write_wav_with_sndfile(dir / "m.wav", 1, 48000, mono);
  run_result r = run_qbank("waveform " + q(dir / "m.wav") + " --width 3 --json");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            "{\"frames\": 6, \"stereo\": false, \"zoom\": \"x1\", \"duration\": \"00:00:000\", "
            "\"columns\": [[1, 0], [0, 26], [43, 43]]}\n");
  r = run_qbank("waveform " + q(dir / "m.wav") + " --width 3 --height 10 --zoom 20");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            "frames: 6\nstereo: no\nzoom: x20\nduration: 00:00:000\ncolumns: 3\n"
            "0: 3 0\n1: 0 4\n2: 4 4\n");  // 20000 x 5 / 32768 = 3.05
  // The window's size by default: 628 columns.
  r = run_qbank("waveform " + q(dir / "m.wav"));
  EXPECT_NE(r.out.find("columns: 628\n"), std::string::npos);
  EXPECT_NE(r.out.find("\n627: 0 43\n"), std::string::npos);
}

TEST_F(WaveformCli, StereoColumnsHoldBothChannels) {
  const std::vector<std::int16_t> stereo(96000 * 2, 0);
  std::vector<std::int16_t> s = stereo;
  s[0] = 16384;
  s[1] = -16384;
  testing::write_wav_with_sndfile(dir / "s.wav", 2, 48000, s);
  const run_result r = run_qbank("waveform " + q(dir / "s.wav") + " --width 2 --json");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            "{\"frames\": 96000, \"stereo\": true, \"zoom\": \"x1\", \"duration\": \"00:02:000\", "
            "\"columns\": [[11, 0, 0, 11], [0, 0, 0, 0]]}\n");
}

TEST_F(WaveformCli, SlotOfABankFileOrOfAScript) {
  testing::write_wav_with_sndfile(dir / "m.wav", 1, 48000, mono);
  testing::recording_host h;
  bank b;
  b.set_file(1, 60, (dir / "m.wav").string());
  save_script(b, dir / "B.qbs", h);
  ASSERT_TRUE(build_bank_file(b, dir / "B.qbb", h));

  // From the bank: one sector, mono, the padding shown as silence.
  run_result r =
      run_qbank("waveform " + q(dir / "B.qbb") + " --multisample 1 --slot 60 --width 2 --json");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            "{\"frames\": 256, \"stereo\": false, \"zoom\": \"x1\", \"duration\": \"00:00:005\", "
            "\"columns\": [[43, 43], [0, 0]]}\n");
  // From the script: the slot's WAV file.
  r = run_qbank("waveform " + q(dir / "B.qbs") + " --multisample 1 --slot 60 --width 3 --json");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("\"frames\": 6,"), std::string::npos) << r.out;

  r = run_qbank("waveform " + q(dir / "B.qbb") + " --multisample 1 --slot 61");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "[Plot] No Sample\n");
  r = run_qbank("waveform " + q(dir / "B.qbs") + " --multisample 2 --slot 0 --json");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "[Plot] File Not Exist\n");
}

TEST_F(WaveformCli, LoadProblemsAndBadCommandLines) {
  testing::write_file(dir / "bad.wav", {'R', 'I', 'F', 'F', 0, 0, 0, 0});
  run_result r = run_qbank("waveform " + q(dir / "bad.wav"));
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "[Plot] Invalid WAV File Format\n");
  r = run_qbank("waveform " + q(dir / "none.wav") + " --json");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "[Plot] File Not Exist\n");
  testing::write_wav_with_sndfile(dir / "m.wav", 1, 48000, mono);
  const std::string m = "waveform " + q(dir / "m.wav");
  EXPECT_EQ(run_qbank(m + " --zoom 21").exit_code, 2);
  EXPECT_EQ(run_qbank(m + " --zoom 0").exit_code, 2);
  EXPECT_EQ(run_qbank(m + " --width 0").exit_code, 2);
  EXPECT_EQ(run_qbank(m + " --slot 3").exit_code, 2);
  EXPECT_EQ(run_qbank(m + " --multisample 1 --slot 128").exit_code, 2);
}

}  // namespace
}  // namespace qbank
