// `qbank export-instrument` on the demo library, from its script and from its bank file.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bank/bank.h"
#include "bank/script_file.h"
#include "platform/paths.h"
#include "support/audio_writer.h"
#include "support/recording_host.h"
#include "support/run_qbank.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace qbank {
namespace {

using testing::file_text;
using testing::q;
using testing::read_script;
using testing::run_qbank;
using testing::run_result;
using testing::temp_dir;

TEST(ExportInstrumentCli, ScriptAndBankFileGiveTheSameInstrumentAndAudio) {
  temp_dir dir;
  ASSERT_EQ(run_qbank("demo " + q(dir / "lib")).exit_code, 0);
  const fs::path script = dir / "lib" / "Demo.qbs";
  ASSERT_EQ(run_qbank("build " + q(script) + " -o " + q(dir / "Demo.qbb")).exit_code, 0);

  run_result r = run_qbank("export-instrument " + q(script) +
                           " --program 3 --format sfz --copy-audio " + q(dir / "from-script"));
  ASSERT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(r.out.rfind("[Report: Exported Instruments]\nWritten: ", 0), 0u) << r.out;
  const fs::path kick = fs::path("3 Drum Kit") / "Drums 036 Kick.wav";
  EXPECT_EQ(file_text(dir / "from-script" / kick), file_text(dir / "lib" / "Drums 036 Kick.wav"));

  // From the bank file the audio comes out of the bank, as the WAV export writes it.
  r = run_qbank("export-instrument " + q(dir / "Demo.qbb") + " --all-used --format sfz " +
                q(dir / "from-bank"));
  ASSERT_EQ(r.exit_code, 0) << r.out;
  ASSERT_EQ(
      run_qbank("export " + q(dir / "Demo.qbb") + " --multisample 4 " + q(dir / "wav")).exit_code,
      0);
  EXPECT_EQ(file_text(dir / "from-bank" / kick), file_text(dir / "wav" / "Drums 036 Kick.wav"));
  EXPECT_EQ(file_text(dir / "from-bank" / "3 Drum Kit.sfz"),
            file_text(dir / "from-script" / "3 Drum Kit.sfz"));
  int instruments = 0;
  for (const auto& e : fs::directory_iterator(dir / "from-bank"))
    instruments += e.path().extension() == ".sfz";
  EXPECT_EQ(instruments, 7);
}

// A program with two velocity layers and a release zone, whose key windows are the spans of
// their slots, goes out as SFZ and comes back through import-instrument (fill nearest) with the
// same zones, windows, volumes, envelope and audio, slot for slot.
TEST(ExportInstrumentCli, AnExportedProgramImportsBackSlotForSlot) {
  QBANK_SKIP_WITHOUT_CONFORM();
  temp_dir dir;
  ASSERT_EQ(run_qbank("demo " + q(dir / "lib")).exit_code, 0);
  std::unique_ptr<bank> b = read_script(dir / "lib" / "Demo.qbs");
  blend& p = b->program(200);
  std::memcpy(p.name, "Round Trip      ", name_size);
  p.attack = 12;
  p.release = 640;
  p.zones[0] = {2, 100, 0, 63, 48, 72, 64};    // Demo Pad, slots 48..72
  p.zones[1] = {1, 127, 64, 127, 48, 84, 64};  // Demo Lead, slots 48..84
  p.release_zone = {4, 90, 64};                // Demo Drums
  testing::recording_host h;
  save_script(*b, dir / "rt.qbs", h);

  ASSERT_EQ(run_qbank("export-instrument " + q(dir / "rt.qbs") +
                      " --program 200 --format sfz --copy-audio " + q(dir / "out"))
                .exit_code,
            0);
  const run_result r = run_qbank("import-instrument " + q(dir / "rt.qbs") + " " +
                                 q(dir / "out" / "200 Round Trip.sfz") + " --program 300 --into " +
                                 q(dir / "imported") + " --fill nearest -o " + q(dir / "back.qbs"));
  ASSERT_EQ(r.exit_code, 0) << r.out;
  std::unique_ptr<bank> back = read_script(dir / "back.qbs");
  const blend& o = b->program(200);
  const blend& n = back->program(300);
  EXPECT_EQ(n.attack, o.attack);
  EXPECT_EQ(n.release, o.release);
  EXPECT_EQ(n.release_zone.volume, o.release_zone.volume);
  std::vector<std::pair<int, int>> multisamples = {
      {o.release_zone.multisample, n.release_zone.multisample}};
  for (int z = 0; z < 8; ++z) {
    const zone& a = o.zones[z];
    const zone& c = n.zones[z];
    EXPECT_EQ(std::vector<int>({c.velo_low, c.velo_high, c.key_low, c.key_high, c.volume,
                                c.transpose, c.multisample != 0}),
              std::vector<int>({a.velo_low, a.velo_high, a.key_low, a.key_high, a.volume,
                                a.transpose, a.multisample != 0}))
        << "zone " << z + 1;
    if (a.multisample) multisamples.emplace_back(a.multisample, c.multisample);
  }
  for (const auto& [was, is] : multisamples) {
    ASSERT_NE(is, 0);
    for (int j = 0; j < slots_per_multisample; ++j) {
      ASSERT_EQ(back->slot_is_empty(is, j), b->slot_is_empty(was, j)) << was << " slot " << j;
      if (!b->slot_is_empty(was, j))
        EXPECT_EQ(file_text(native_path(back->file(is, j))),
                  file_text(native_path(b->file(was, j))))
            << was << " slot " << j;
    }
  }
}

TEST(ExportInstrumentCli, RefusalsAndBadCommandLines) {
  temp_dir dir;
  ASSERT_EQ(run_qbank("new " + q(dir / "empty.qbs")).exit_code, 0);
  const std::string in = "export-instrument " + q(dir / "empty.qbs");
  const struct {
    std::string args;
    int exit_code;
    std::string out;
  } cases[] = {
      {" --program 5 --format sfz " + q(dir / "o"), 1,
       "[Error] Program 5 uses no multisample: nothing to export.\n"},
      {" --all-used --format dspreset " + q(dir / "o"), 1,
       "[Error] No program of the bank uses a multisample: nothing to export.\n"},
      {" --format sfz " + q(dir / "o"), 2, ""},
      {" --program 1 --format wav " + q(dir / "o"), 2, ""},
      {" --program 1 --all-used --format sfz " + q(dir / "o"), 2, ""},
  };
  for (const auto& c : cases) {
    const run_result r = run_qbank(in + c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.args;
    if (!c.out.empty()) EXPECT_EQ(r.out, c.out) << c.args;
  }
  EXPECT_FALSE(fs::exists(dir / "o"));
}

}  // namespace
}  // namespace qbank
