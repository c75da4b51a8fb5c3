// Shared helpers of the benchmark programs: a scratch folder, a
// stopwatch, memory figures from /proc, measurements in a fresh child process, and the ratio
// lines every program prints. Header only: each *_bench.cpp is its own program.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/null_host.h"

namespace qbank::bench {

// A fresh folder removed with its contents at the end. Under $QBANK_BENCH_DIR when set, else
// under `fallback` (for example /dev/shm, so that disk noise stays out of CPU-bound ratios).
class scratch_dir {
 public:
  explicit scratch_dir(const char* fallback = "/tmp") {
    const char* base = std::getenv("QBANK_BENCH_DIR");
    std::string pattern = std::string(base && *base ? base : fallback) + "/qbank-bench-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
      std::perror(pattern.c_str());
      std::exit(2);
    }
    path_ = pattern;
  }
  ~scratch_dir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  scratch_dir(const scratch_dir&) = delete;
  scratch_dir& operator=(const scratch_dir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// The number of runs the first argument asks for (at least `least`), else `fallback`.
inline int runs_argument(int argc, char** argv, int fallback, int least = 1) {
  return argc > 1 ? std::max(least, std::atoi(argv[1])) : fallback;
}

inline double seconds_of(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The fastest of `runs` runs, in seconds; `before` (untimed) runs ahead of each.
inline double best_of(int runs, const std::function<void()>& work,
                      const std::function<void()>& before = {}) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    if (before) before();
    best = std::min(best, seconds_of(work));
  }
  return best;
}

// A "VmRSS:"-style line of /proc/self/status, in bytes; 0 when absent.
inline std::uint64_t proc_status_bytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::size_t n = std::strlen(field);
  while (std::getline(status, line))
    if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':')
      return std::strtoull(line.c_str() + n + 1, nullptr, 10) * 1024;
  return 0;
}

// Runs this program again as a fresh process with `args` and returns the number it prints on
// standard output: memory figures (VmRSS, the high-water mark VmHWM) then start from a clean
// process and not from this one's heap. Exits the program when the child fails.
inline std::uint64_t run_self(const std::vector<std::string>& args) {
  int fds[2];
  if (::pipe(fds) != 0) std::exit(2);
  std::vector<char*> argv;
  std::string self = "/proc/self/exe";
  argv.push_back(self.data());
  std::vector<std::string> copies(args);
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  pid_t pid = 0;
  std::fflush(nullptr);
  if (posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ) != 0)
    std::exit(2);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  std::string out;
  char buffer[256];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || out.empty()) {
    std::fprintf(stderr, "the measuring child process failed\n");
    std::exit(2);
  }
  return std::strtoull(out.c_str(), nullptr, 10);
}

// Writes `size` bytes in one write call (looping only on a short write), then fsync: the
// baseline of every writer, which also syncs before it renames.
inline void write_in_one_call(const std::filesystem::path& path, const void* data,
                              std::size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) std::exit(2);
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n <= 0) std::exit(2);
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  ::fsync(fd);
  ::close(fd);
}

// Runs `command` through /bin/sh and waits; exits the program when it fails.
inline void shell(const std::string& command) {
  std::fflush(nullptr);
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(2);
  }
}

// Writes a file without syncing it: for generating inputs, where durability does not matter.
inline void write_plain_file(const std::filesystem::path& path, const void* data,
                             std::size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size)) {
    std::perror(path.c_str());
    std::exit(2);
  }
  ::close(fd);
}

// The stored path of slot j of multisample n in a full bank's worth of distinct paths: 60 bytes.
inline std::string full_bank_path(int n, int j) {
  char text[96];
  std::snprintf(text, sizeof text,
                "D:\\Samples\\Lib %02d\\Instrument %05d\\Layer %d\\Note %03d %s.wav", n % 37, n,
                j % 3, j, j % 2 ? "soft" : "hard");
  return text;
}

// One result line: "name  measured  baseline  ratio  goal  ok|MISSED". When $QBANK_BENCH_TSV
// names a file, every row is also appended to it as one tab-separated line (program, measure,
// unit, measured, baseline, ratio, goal, ok|MISSED|-), so that a suite can gather the rows of
// every program into one table.
struct ratio_table {
  int missed = 0;
  std::string unit;

  void header(const char* unit_name) {
    unit = unit_name;
    std::printf("%-44s %12s %12s %8s %8s\n", "measure", unit_name, "baseline", "ratio", "goal");
  }
  void tsv(const char* name, double measured, double baseline, const std::string& goal,
           const char* verdict) const {
    const char* file = std::getenv("QBANK_BENCH_TSV");
    if (!file || !*file) return;
    if (FILE* out = std::fopen(file, "a")) {
      const char* program = std::getenv("QBANK_BENCH_PROGRAM");
      std::string trimmed(name);
      trimmed.erase(0, trimmed.find_first_not_of(' '));
      std::fprintf(out, "%s\t%s\t%s\t%.6g\t%.6g\t%.4g\t%s\t%s\n", program ? program : "",
                   trimmed.c_str(), unit.c_str(), measured, baseline, measured / baseline,
                   goal.c_str(), verdict);
      std::fclose(out);
    }
  }
  // Lower ratios are better; the goal is met when measured / baseline <= goal.
  void row(const char* name, double measured, double baseline, double goal) {
    const double ratio = measured / baseline;
    const bool ok = ratio <= goal;
    if (!ok) ++missed;
    const std::string text = "<= " + std::to_string(goal).substr(0, 4);
    std::printf("%-44s %12.4f %12.4f %8.2f %8s %s\n", name, measured, baseline, ratio, text.c_str(),
                ok ? "ok" : "MISSED");
    tsv(name, measured, baseline, text, ok ? "ok" : "MISSED");
  }
  // Higher ratios are better (throughput): met when measured / baseline >= goal.
  void row_at_least(const char* name, double measured, double baseline, double goal) {
    const double ratio = measured / baseline;
    const bool ok = ratio >= goal;
    if (!ok) ++missed;
    const std::string text = ">= " + std::to_string(goal).substr(0, 4);
    std::printf("%-44s %12.4f %12.4f %8.2f %8s %s\n", name, measured, baseline, ratio, text.c_str(),
                ok ? "ok" : "MISSED");
    tsv(name, measured, baseline, text, ok ? "ok" : "MISSED");
  }
  // A figure without a goal, printed for comparison.
  void row_info(const char* name, double measured, double baseline) {
    std::printf("%-44s %12.4f %12.4f %8.2f %8s\n", name, measured, baseline, measured / baseline,
                "-");
    tsv(name, measured, baseline, "-", "-");
  }
  // The program's exit status: 0 when every goal was met, 1 otherwise.
  int done() const {
    std::printf("%s\n", missed == 0 ? "all goals met" : "some goals MISSED");
    return missed == 0 ? 0 : 1;
  }
};

// A 44.1 kHz 24-bit stereo file of `seconds` made by sox: two tones and some noise, so that no
// stage of a conversion can take a short cut over silence.
inline void make_stereo_source(const std::filesystem::path& path, double seconds) {
  shell("sox -n -r 44100 -b 24 -c 2 '" + path.string() + "' synth " + std::to_string(seconds) +
        " sine 440 sine 1234 synth pinknoise mix vol 0.4 2>/dev/null");
}

// The body of a memory row's child process: runs `work`, prints its peak resident size.
inline int print_peak_after(const std::function<void()>& work) {
  work();
  std::printf("%llu\n", static_cast<unsigned long long>(proc_status_bytes("VmHWM")));
  return 0;
}

}  // namespace qbank::bench
