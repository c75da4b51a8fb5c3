// Runs the real `qbank` binary (QBANK_CLI_PATH, defined by the test target) and captures what a
// person would see: standard output (and standard error on request) and the exit code.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

namespace qbank::testing {

struct run_result {
  int exit_code = -1;
  std::string out;  // standard output; standard error is folded in when `with_stderr`
};

// `args` is a shell command line after the program name; `env` (for example "A=1 ") prefixes it.
inline run_result run_qbank(const std::string& args, bool with_stderr = false,
                            const std::string& env = {}) {
  const std::string command = env + std::string("'") + QBANK_CLI_PATH + "' " + args +
                              (with_stderr ? " 2>&1" : " 2>/dev/null");
  run_result r;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return r;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    r.out.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// A path quoted for the shell.
inline std::string q(const std::filesystem::path& p) {
  return "'" + p.string() + "'";
}

}  // namespace qbank::testing
