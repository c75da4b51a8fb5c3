// qbank: the bank manager's operations from the command line.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <iostream>

#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/param_file.h"
#include "bank/script_file.h"
#include "bank/start_sector.h"
#include "cli/inputs.h"
#include "cli/terminal_host.h"
#include "demo/demo_library.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"

namespace fs = std::filesystem;
using namespace qbank;
using namespace qbank::cli;

namespace {

constexpr int exit_done = 0;
constexpr int exit_refused = 1;
constexpr int exit_usage = 2;
constexpr int exit_file = 3;

int bank_version_of(const fs::path& path, input_kind kind, const input_options& in) {
  if (kind == input_kind::script) return in.from_version == 0 ? 6 : in.from_version;
  std::uint8_t sector[512] = {};
  try {
    input_file f(path);
    if (f.read(sector, 512) == 512)
      if (auto v = bank_file_version(sector)) return *v;
  } catch (const std::exception&) {
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"qbank: the Quorvatek Samplers bank manager for the command line"};
  app.set_version_flag("--version", "qbank 3.54");
  app.require_subcommand(1);
  bool interactive = false;
  app.add_flag("-i,--interactive", interactive, "Ask every question on the terminal")
      ->trigger_on_parse();

  terminal_host h(false);
  std::unique_ptr<terminal_host> asking;
  auto the_host = [&]() -> terminal_host& {
    if (interactive && !asking) asking = std::make_unique<terminal_host>(true);
    return interactive ? *asking : h;
  };
  std::function<int()> run;

  // new OUT
  fs::path new_out;
  auto* cmd_new = app.add_subcommand("new", "Write a freshly reset bank as a script");
  cmd_new->add_option("OUT", new_out, "The script to write")->required();
  cmd_new->callback([&] {
    run = [&] {
      bank b;
      save_script(b, new_out, the_host());
      return exit_done;
    };
  });

  // demo DIR
  fs::path demo_dir;
  auto* cmd_demo = app.add_subcommand("demo", "Write the demo library: WAV files and DIR/Demo.qbs");
  cmd_demo->add_option("DIR", demo_dir, "The folder to write into")->required();
  cmd_demo->callback([&] {
    run = [&] {
      demo_library lib = write_demo_library(fs::absolute(demo_dir), the_host());
      std::printf("%s: %u WAV files, %llu bytes\n", lib.script.string().c_str(), lib.wav_files,
                  static_cast<unsigned long long>(lib.wav_bytes));
      return exit_done;
    };
  });

  // Subcommands that read one input: IN (or TARGET) with --from-version / --bank. `when_loaded`
  // makes the command: reset a bank, read the input into it, and unless the reader reported an
  // error go on with `then`.
  struct input_arg {
    fs::path path;
    input_options options;
  };
  std::deque<input_arg> inputs;  // stable addresses for CLI11's bindings
  auto add_input = [&](CLI::App* cmd, const char* name) -> input_arg& {
    input_arg& in = inputs.emplace_back();
    cmd->add_option(name, in.path, "Script or bank file")->required();
    cmd->add_option("--from-version", in.options.from_version,
                    "Read the input as a script of this layout version")
        ->check(CLI::Range(1, 6));
    cmd->add_flag("--bank", in.options.bank, "Read the input as a bank file");
    return in;
  };
  auto when_loaded = [&](CLI::App* cmd, input_arg& in, auto then) {
    cmd->callback([&, then, input = &in] {
      run = [&, then, input] {
        terminal_host& th = the_host();
        bank b;
        load_input(b, input->path, input->options, th);
        if (th.saw_error()) return exit_refused;
        const int code = then(b, th);
        return code == exit_done && th.saw_error() ? exit_refused : code;
      };
    });
  };

  // info IN [--json]
  bool info_json = false;
  auto* cmd_info = app.add_subcommand("info", "Summarise a script or a bank file");
  input_arg& info_in = add_input(cmd_info, "IN");
  cmd_info->add_flag("--json", info_json, "Print the summary as JSON");
  when_loaded(cmd_info, info_in, [&](bank& b, terminal_host&) {
    const input_kind kind = detect_input(info_in.path, info_in.options);
    const input_summary s =
        summarise(b, info_in.path, kind, bank_version_of(info_in.path, kind, info_in.options));
    std::fputs((info_json ? summary_json(s, info_in.path) : summary_text(s)).c_str(), stdout);
    return exit_done;
  });

  // convert IN -o OUT
  fs::path conv_out;
  auto* cmd_conv = app.add_subcommand(
      "convert", "Read a script of any version or a bank file, write a version-6 script");
  input_arg& conv_in = add_input(cmd_conv, "IN");
  cmd_conv->add_option("-o,--output", conv_out, "The version-6 script to write")->required();
  when_loaded(cmd_conv, conv_in, [&](bank& b, terminal_host& th) {
    save_script(b, conv_out, th);
    return exit_done;
  });

  // validate IN
  auto* cmd_val =
      app.add_subcommand("validate", "Pre-build validation and the estimated bank size");
  input_arg& val_in = add_input(cmd_val, "IN");
  when_loaded(cmd_val, val_in, [&](bank& b, terminal_host& th) {
    return calculate_bank_size(b, th).errors() == 0 ? exit_done : exit_refused;
  });

  // build IN [-o OUT] [--no-split]
  fs::path build_out;
  bool no_split = false;
  auto* cmd_build = app.add_subcommand("build", "Validate and build the bank file");
  input_arg& build_in = add_input(cmd_build, "IN");
  cmd_build->add_option("-o,--output", build_out,
                        "The bank file (default: IN with the extension .qbb)");
  cmd_build->add_flag("--no-split", no_split, "Write one file, however large");
  when_loaded(cmd_build, build_in, [&](bank& b, terminal_host& th) {
    const fs::path out =
        build_out.empty() ? fs::path(replace_extension(build_in.path.string(), ".qbb")) : build_out;
    build_options options;
    options.split = !no_split;
    return build_bank_file(b, out, th, options) ? exit_done : exit_refused;
  });

  // params export IN OUT.qsp | params import IN.qsp TARGET -o OUT
  auto* cmd_params = app.add_subcommand("params", "System parameter files (.qsp)");
  cmd_params->require_subcommand(1);
  fs::path pex_out;
  auto* cmd_pex =
      cmd_params->add_subcommand("export", "Write the system settings of IN to OUT.qsp");
  input_arg& pex_in = add_input(cmd_pex, "IN");
  cmd_pex->add_option("OUT", pex_out, "The .qsp file to write")->required();
  when_loaded(cmd_pex, pex_in, [&](bank& b, terminal_host& th) {
    save_system_parameters(b, pex_out, th);
    return exit_done;
  });
  fs::path pim_qsp, pim_out;
  auto* cmd_pim =
      cmd_params->add_subcommand("import", "Read IN.qsp into TARGET, write a version-6 script");
  cmd_pim->add_option("IN", pim_qsp, "The .qsp file to read")->required();
  input_arg& pim_target = add_input(cmd_pim, "TARGET");
  cmd_pim->add_option("-o,--output", pim_out, "The version-6 script to write")->required();
  when_loaded(cmd_pim, pim_target, [&](bank& b, terminal_host& th) {
    read_system_parameters(b, pim_qsp, th);
    save_script(b, pim_out, th);
    return exit_done;
  });

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? exit_done : exit_usage;
  }
  if (!run) return exit_usage;
  try {
    return run();
  } catch (const file_error& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "qbank: %s: %s\n", e.path().string().c_str(), e.reason().c_str());
    return exit_file;
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "qbank: %s\n", e.what());
    return exit_refused;
  }
}
