// `qbank` on a small real file system that fills up: the script save and the bank build stop
// with exit code 3 and the system's reason, the file that was there stays byte for byte, and no
// temporary file is left. Needs a private tmpfs mount (root, or user namespaces); skipped with
// the reason where the machine does not allow one.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "bank/bank.h"
#include "bank/script_file.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/cli_runner.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32
std::string text_of(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs `steps` (shell) in a private mount namespace with a tmpfs of `size` at $M; $Q is qbank,
// $W the test's folder (outside the mount, where the steps leave what the test checks). False
// when no tmpfs could be mounted.
bool on_small_file_system(const fs::path& work, const std::string& size, const std::string& steps,
                          std::string& why) {
  const std::string script =
      "Q=\"$1\"; W=\"$2\"; M=\"$W/mnt\"; mkdir -p \"$M\"; "
      "mount -t tmpfs -o size=" +
      size + " tmpfs \"$M\" 2>\"$W/mount.err\" || exit 97; " + steps;
  const testing::run_result r =
      testing::run_program("/usr/bin/unshare",
                           {"-rm", "/bin/sh", "-c", script, "sh",
                            path_to_utf8(testing::qbank_program()), path_to_utf8(work)},
                           true);
  if (r.exit_code == 0) return true;
  why = "no private tmpfs mount here (exit " + std::to_string(r.exit_code) + "): " + r.out +
        text_of(work / "mount.err");
  return false;
}

// Fills the mount, then frees `free_kib` KiB of it again.
std::string fill_leaving(int free_kib) {
  return "cat /dev/zero > \"$M/fill\" 2>/dev/null; truncate -s -" + std::to_string(free_kib) +
         "K \"$M/fill\"; ";
}

// What a step left: the command's exit code and standard error, the file's checksum before and
// after, and the mount's listing.
std::string run_and_record(const std::string& tag, const std::string& command,
                           const std::string& target) {
  return "cksum < \"" + target + "\" > \"$W/" + tag + ".before\"; " + command + " >\"$W/" + tag +
         ".out\" 2>\"$W/" + tag + ".err\"; echo $? > \"$W/" + tag + ".rc\"; cksum < \"" + target +
         "\" > \"$W/" + tag + ".after\"; ls -a \"$M\" > \"$W/" + tag + ".list\"; ";
}

void expect_refused_and_intact(const fs::path& w, const std::string& tag) {
  SCOPED_TRACE(tag);
  EXPECT_EQ(text_of(w / (tag + ".rc")), "3\n") << text_of(w / (tag + ".out"));
  EXPECT_NE(text_of(w / (tag + ".err")).find("No space left on device"), std::string::npos)
      << text_of(w / (tag + ".err"));
  EXPECT_EQ(text_of(w / (tag + ".out")).find("COMPLETE"), std::string::npos);
  EXPECT_EQ(text_of(w / (tag + ".before")), text_of(w / (tag + ".after")));
  const std::string listing = text_of(w / (tag + ".list"));
  EXPECT_EQ(listing.find("qbank-"), std::string::npos) << listing;
}

TEST(FullDiskCli, TheScriptSaveAndTheBankBuildStopAndKeepTheOldFiles) {
  testing::temp_dir dir;
  const fs::path w = dir.path();
  // A script of some 1.4 MB (long paths in many slots) to save over a small one.
  bank big;
  for (int m = 1; m <= 100; ++m)
    for (int j = 0; j < 128; ++j)
      big.set_file(m, j,
                   "D:\\Library\\Some long folder name\\multisample " + std::to_string(m) +
                       "\\sample " + std::to_string(j) + ".wav");
  testing::recording_host h;
  save_script(big, w / "big.qbs", h);
  save_script(bank(), w / "empty.qbs", h);
  bank named;
  std::memcpy(named.program(0).name, "NEW", 3);
  save_script(named, w / "new.qbs", h);
  const auto big_kib = static_cast<int>(fs::file_size(w / "big.qbs") / 1024);

  std::string why;
  const std::string steps =
      // The script save: the old script stays while the new one does not fit.
      "\"$Q\" new \"$M/Bank.qbs\" >/dev/null || exit 98; " + fill_leaving(big_kib / 2) +
      run_and_record("script", "\"$Q\" convert \"$W/big.qbs\" -o \"$M/Bank.qbs\"", "$M/Bank.qbs") +
      "rm -f \"$M/fill\" \"$M/Bank.qbs\"; " +
      // The bank build: one bank fits, a second one beside it while it is replaced does not.
      "\"$Q\" build \"$W/empty.qbs\" -o \"$M/Bank.qbb\" >/dev/null || exit 99; " +
      run_and_record("build", "\"$Q\" build \"$W/new.qbs\" -o \"$M/Bank.qbb\"", "$M/Bank.qbb");
  if (!on_small_file_system(w, "24m", steps, why)) GTEST_SKIP() << why;
  expect_refused_and_intact(w, "script");
  expect_refused_and_intact(w, "build");
}
#endif

}  // namespace
}  // namespace qbank
