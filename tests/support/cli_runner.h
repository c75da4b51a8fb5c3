// Runs the real `qbank` binary for the command-line tests (QBANK_CLI_PATH names it).
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

inline run_result run_qbank(const std::string& args, bool with_stderr = false) {
  const std::string command =
      std::string("'") + QBANK_CLI_PATH + "' " + args + (with_stderr ? " 2>&1" : " 2>/dev/null");
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

inline std::string q(const std::filesystem::path& p) {
  return "'" + p.string() + "'";
}

}  // namespace qbank::testing
