// Start-up of the command-line tool against trivial processes, all started the same way in the
// same run: `qbank --version` (the dynamic loader, the C++ runtime, the command table) against
// this program started only to exit (a C++ program with the same runtime) and against
// /bin/true. The window's start-up is measured by gui_refresh_bench.
// Usage: startup_bench [RUNS] [QBANK]   (QBANK defaults to the qbank built beside this program)
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"

namespace qbank::bench {
namespace {

// Starts `program` with `args`, its output thrown away, and waits for it; exits when it fails.
void start_and_wait(const std::string& program, std::vector<std::string> args) {
  std::vector<char*> argv;
  std::string name = program;
  argv.push_back(name.data());
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", program.c_str());
    std::exit(2);
  }
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", program.c_str());
    std::exit(2);
  }
}

int run(int runs, const std::string& qbank) {
  std::printf("%s; best of %d starts\n\n", qbank.c_str(), runs);
  const double trivial = best_of(runs, [] { start_and_wait("/bin/true", {}); });
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const double runtime = best_of(runs, [&] { start_and_wait(self, {"--exit"}); });
  const double tool = best_of(runs, [&] { start_and_wait(qbank, {"--version"}); });
  ratio_table table;
  table.header("ms");
  table.row("qbank start-up / C++ program that exits", tool * 1e3, runtime * 1e3, 1.5);
  table.row_info("qbank start-up / /bin/true", tool * 1e3, trivial * 1e3);
  std::printf("\n");
  return table.done();
}

}  // namespace
}  // namespace qbank::bench

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--exit") return 0;
  const int runs = qbank::bench::runs_argument(argc, argv, 50);
  std::string qbank = argc > 2 ? argv[2] : "";
  if (qbank.empty()) {
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    qbank = (self.parent_path().parent_path() / "src" / "cli" / "qbank").string();
  }
  return qbank::bench::run(runs, qbank);
}
