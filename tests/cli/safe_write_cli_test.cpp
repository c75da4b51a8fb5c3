// `qbank build` interrupted by a termination request leaves no temporary file behind; two
// builds of one bank at once both end with the whole bank.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

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

namespace fs = std::filesystem;

#ifndef _WIN32
TEST(SafeWriteCli, ATerminatedBuildRemovesItsTemporaryFiles) {
  testing::temp_dir dir;
  // 40 slots of the longest audio a slot holds: 1.3 GB to write, time enough to interrupt.
  testing::write_sparse_wav(dir / "long.wav", 1, 65535u * 512u);
  bank b;
  for (int j = 0; j < 40; ++j) b.set_file(0, j, path_to_utf8(dir / "long.wav"));
  testing::recording_host h;
  save_script(b, dir / "big.qbs", h);

  // The shell starts the build, waits for its first temporary part, sends SIGTERM and prints
  // how the build ended (143 = ended by SIGTERM).
  const std::string d = path_to_utf8(dir.path());
  const std::string script = "'" + std::string(QBANK_CLI_PATH) + "' build '" + d +
                             "/big.qbs' >/dev/null 2>&1 & pid=$!; " + "n=0; until ls -a '" + d +
                             "' | grep -q qbank-tmp; do sleep 0.01; n=$((n+1)); " +
                             "[ $n -gt 3000 ] && break; done; kill -TERM $pid; wait $pid; echo $?";
  std::FILE* pipe = ::popen(script.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[64] = {};
  ASSERT_NE(std::fgets(line, sizeof line, pipe), nullptr);
  ::pclose(pipe);
  EXPECT_EQ(std::string(line), "143\n") << "the build was not interrupted";
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_EQ(path_to_utf8(e.path().filename()).find("qbank-tmp"), std::string::npos)
        << e.path().filename();
  EXPECT_FALSE(fs::exists(dir / "big.qbb"));
}
#endif

// The second waits for the first: neither takes the other's files for leftovers of a killed run.
TEST(SafeWriteCli, TwoBuildsOfOneNewBankAtOnceBothSucceed) {
  testing::temp_dir dir;
  ASSERT_EQ(testing::run_qbank("demo " + testing::q(dir / "lib")).exit_code, 0);
  const std::string build =
      "build " + testing::q(dir / "lib" / "Demo.qbs") + " -o " + testing::q(dir / "New.qbb");
  ASSERT_EQ(testing::run_qbank(build).exit_code, 0);
  const std::vector<std::uint8_t> whole = read_whole_file(dir / "New.qbb");
  for (int trial = 0; trial < 6; ++trial) {
    fs::remove(dir / "New.qbb");
    testing::run_result first, second;
    std::thread other([&] { second = testing::run_qbank(build, true); });
    first = testing::run_qbank(build, true);
    other.join();
    for (const testing::run_result* r : {&first, &second}) {
      EXPECT_EQ(r->exit_code, 0) << "trial " << trial << ": " << r->out;
      EXPECT_EQ(r->out.find("qbank:"), std::string::npos) << r->out;
    }
    EXPECT_TRUE(read_whole_file(dir / "New.qbb") == whole) << "trial " << trial;
    // Nothing else is left: no journal, no lock, no temporary file.
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path()))
      names.push_back(path_to_utf8(e.path().filename()));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"New.qbb", "lib"})) << "trial " << trial;
  }
}

}  // namespace
}  // namespace qbank
