// Folders and files named in letters beyond ASCII, end to end through the real `qbank`: the
// arguments, the files it writes and opens, the paths stored in the bank in the code page, and
// the names it prints.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "bank/bank.h"
#include "bank/script_file.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "support/cli_runner.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;
using testing::run_qbank_argv;
using testing::run_result;

class NonAsciiPaths : public ::testing::Test {
 protected:
  void TearDown() override { set_active_codepage(0); }

  // demo, build and read back in `folder`, with QBANK_CODEPAGE set to `codepage`. Returns the
  // script the demo wrote, loaded in that code page.
  void demo_build_and_read_back(const fs::path& folder, int codepage, bank& script) {
    const testing::environment env{{"QBANK_CODEPAGE", std::to_string(codepage)}};
    const std::string lib = path_to_utf8(folder);
    const std::string qbs = path_to_utf8(folder / "Demo.qbs");
    const std::string qbb = path_to_utf8(folder / "Demo.qbb");

    const run_result demo = run_qbank_argv({"demo", lib}, true, env);
    ASSERT_EQ(demo.exit_code, 0) << demo.out;
    // The name is printed as UTF-8, whatever the console's code page.
    EXPECT_EQ(demo.out.rfind(qbs + ": ", 0), 0u) << demo.out;
    ASSERT_TRUE(fs::exists(folder / "Demo.qbs"));

    const run_result build = run_qbank_argv({"build", qbs}, true, env);
    ASSERT_EQ(build.exit_code, 0) << build.out;
    ASSERT_TRUE(fs::exists(folder / "Demo.qbb"));

    const run_result info = run_qbank_argv({"info", qbb, "--json"}, true, env);
    ASSERT_EQ(info.exit_code, 0) << info.out;
    EXPECT_NE(info.out.find("\"parts_found\": 1"), std::string::npos) << info.out;
    // Every WAV file was found: the build validated them, and the bank names them all.
    const run_result validate = run_qbank_argv({"validate", qbb}, true, env);
    EXPECT_EQ(validate.exit_code, 0) << validate.out;
    EXPECT_EQ(validate.out.find("Missing"), std::string::npos) << validate.out;

    // Output is LF-only and the back-converted script names the same files.
    EXPECT_EQ(info.out.find('\r'), std::string::npos);
    const std::string back = path_to_utf8(folder / "Zurück.qbs");
    ASSERT_EQ(run_qbank_argv({"convert", qbb, "-o", back}, true, env).exit_code, 0);
    set_active_codepage(codepage);
    testing::recording_host h;
    load_script(script, folder / "Demo.qbs", 6, h);
    bank round;
    load_script(round, path_from_utf8(back), 6, h);
    for (int n = 0; n < 20; ++n)
      for (int j = 0; j < 128; ++j) ASSERT_EQ(round.file(n, j), script.file(n, j));
  }

  testing::temp_dir dir;
};

TEST_F(NonAsciiPaths, LatinLettersInTheWesternCodePage) {
  const fs::path folder = dir / path_from_utf8("Klänge für Öl") / path_from_utf8("Ça");
  bank b;
  demo_build_and_read_back(folder, 1252, b);
  // Stored in Windows-1252: "ä" is one byte 0xE4, and the stored path opens the file.
  const std::string stored(b.file(1, 48));
  ASSERT_NE(stored, "- - -");
  EXPECT_NE(stored.find("Kl\xE4nge f\xFCr \xD6l"), std::string::npos) << stored;
  EXPECT_TRUE(fs::exists(native_path(stored))) << native_path_text(stored);
}

TEST_F(NonAsciiPaths, CyrillicLettersInTheCyrillicCodePage) {
  const fs::path folder = dir / path_from_utf8("Сэмплы");
  bank b;
  demo_build_and_read_back(folder, 1251, b);
  const std::string stored(b.file(1, 48));
  EXPECT_NE(stored.find("\xD1\xFD\xEC\xEF\xEB\xFB"), std::string::npos) << stored;
  EXPECT_TRUE(fs::exists(native_path(stored))) << native_path_text(stored);

  // In the Western code page the folder cannot be stored: refused, nothing written.
  const fs::path other = dir / path_from_utf8("Звуки");
  const run_result r =
      run_qbank_argv({"demo", path_to_utf8(other)}, true, {{"QBANK_CODEPAGE", "1252"}});
  EXPECT_EQ(r.exit_code, 1) << r.out;
  EXPECT_NE(r.out.find("\"З\""), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(other / "Demo.qbs"));
}

}  // namespace
}  // namespace qbank
