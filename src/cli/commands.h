// What every `qbank` subcommand is built from: the parser, the host that speaks for the user,
// the inputs (IN with --from-version / --bank) and the exit codes. Each group of subcommands
// lives in its own file and adds itself through one `add_*_commands` function.
#pragma once

#include <CLI/CLI.hpp>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>

#include "cli/inputs.h"
#include "cli/terminal_host.h"

namespace qbank {
class bank;
}

namespace qbank::cli {

inline constexpr int exit_done = 0;
inline constexpr int exit_refused = 1;
inline constexpr int exit_usage = 2;
inline constexpr int exit_file = 3;

// One input of a subcommand: its path and how to read it.
struct input_arg {
  std::filesystem::path path;
  input_options options;
  int version_read = 0;  // after loading: the layout version of the input (see load_input)
  // The file the subcommand writes and its kind, where it may name the input: an output that
  // is the input, of the other kind, is refused before anything is read (see when_loaded).
  std::function<std::filesystem::path()> output;
  input_kind output_kind = input_kind::script;
};

class command_context {
 public:
  explicit command_context(CLI::App& app);

  CLI::App& app() { return app_; }

  // The host of this run: answers Yes, or asks on the terminal after -i.
  terminal_host& host();

  // Sends what the host shows (messages, reports, questions) to standard error, for a
  // subcommand whose standard output is data for another program.
  void keep_output_for_data() { output_for_data_ = true; }

  // Sets what the chosen subcommand runs once the command line is parsed.
  void set_run(std::function<int()> run) { run_ = std::move(run); }
  const std::function<int()>& run() const { return run_; }

  // Adds the positional input `name` with --from-version and --bank to `cmd`.
  input_arg& add_input(CLI::App* cmd, const char* name);

  // Makes `cmd` reset a bank, read `in` into it and, unless the reader reported an error, go on
  // with `then`, whose exit code becomes 1 if an error box was shown meanwhile.
  void when_loaded(CLI::App* cmd, input_arg& in, std::function<int(bank&, terminal_host&)> then);

 private:
  CLI::App& app_;
  bool interactive_ = false;
  bool output_for_data_ = false;
  terminal_host quiet_host_;
  std::unique_ptr<terminal_host> asking_host_;
  std::deque<input_arg> inputs_;  // stable addresses for CLI11's bindings
  std::function<int()> run_;
};

// Adds the option or positional `name` of `cmd` holding a path, read as UTF-8 text. Every path
// option goes through here: CLI11 would read a path from the ANSI code page on Windows.
CLI::Option* add_path_option(CLI::App* cmd, const std::string& name, std::filesystem::path& target,
                             const std::string& description);

// The groups of subcommands, in the order `--help` lists them.
void add_file_commands(command_context& ctx);  // new, demo, info, convert, validate, build, params
void add_edit_commands(command_context& ctx);  // common-path, replace-path, place, octave
void add_bulk_commands(command_context& ctx);  // remove-*, unused, where-used, names, msn, fix,
                                               // silence, duplicates
void add_manager_commands(command_context& ctx);            // transfer, s2, export
void add_audio_commands(command_context& ctx);              // waveform
void add_sdcard_commands(command_context& ctx);             // sd-write
void add_conform_commands(command_context& ctx);            // conform
void add_instrument_commands(command_context& ctx);         // import-instrument
void add_export_instrument_commands(command_context& ctx);  // export-instrument

}  // namespace qbank::cli
