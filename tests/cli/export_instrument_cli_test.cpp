// `qbank export-instrument` on the demo library, from its script and from its bank file.
#include <gtest/gtest.h>

#include <string>

#include "support/run_qbank.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace qbank {
namespace {

using testing::file_text;
using testing::q;
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
