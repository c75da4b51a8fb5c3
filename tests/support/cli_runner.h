// Runs programs without a shell, on POSIX and Windows alike, and the real `qbank` binary above all.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qbank {
class bank;
}

namespace qbank::testing {

struct run_result {
  int exit_code = -1;
  std::string out;  // standard output; standard error is folded in when `with_stderr`
};

using environment = std::vector<std::pair<std::string, std::string>>;

// Runs `program` with `args` (UTF-8) and waits for it. Standard input is empty; standard error
// goes into `out` when `with_stderr`, and nowhere otherwise. `env` sets variables for it.
run_result run_program(const std::filesystem::path& program, const std::vector<std::string>& args,
                       bool with_stderr = false, const environment& env = {});

// The `qbank` binary built with the tests.
std::filesystem::path qbank_program();

run_result run_qbank_argv(const std::vector<std::string>& args, bool with_stderr = false,
                          const environment& env = {});

// `command_line` is split into words as a POSIX shell splits them: blanks separate, '...'
// quotes literally, "..." quotes with \" and \\ escapes. Quote paths with q().
// `env` sets variables, written as a shell prefix: "A=1 B='x y' ".
run_result run_qbank(const std::string& command_line, bool with_stderr = false,
                     const std::string& env = {});

// A path quoted for run_qbank.
std::string q(const std::filesystem::path& p);

// The script a command wrote, loaded as version 6 into a bank of its own.
std::unique_ptr<bank> read_script(const std::filesystem::path& path);

}  // namespace qbank::testing
