// qbank: the bank manager's operations from the command line.
#include <CLI/CLI.hpp>
#include <cstdio>
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

// Options every subcommand that reads an input shares.
void add_input_options(CLI::App* cmd, input_options& in) {
  cmd->add_option("--from-version", in.from_version,
                  "Read the input as a script of this layout version")
      ->check(CLI::Range(1, 6));
  cmd->add_flag("--bank", in.bank, "Read the input as a bank file");
}

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

  // info IN [--json]
  fs::path info_in;
  input_options info_opts;
  bool info_json = false;
  auto* cmd_info = app.add_subcommand("info", "Summarise a script or a bank file");
  cmd_info->add_option("IN", info_in, "Script or bank file")->required();
  add_input_options(cmd_info, info_opts);
  cmd_info->add_flag("--json", info_json, "Print the summary as JSON");
  cmd_info->callback([&] {
    run = [&] {
      terminal_host& th = the_host();
      bank b;
      const input_kind kind = detect_input(info_in, info_opts);
      load_input(b, info_in, info_opts, th);
      const input_summary s =
          summarise(b, info_in, kind, bank_version_of(info_in, kind, info_opts));
      std::fputs((info_json ? summary_json(s, info_in) : summary_text(s)).c_str(), stdout);
      return th.saw_error() ? exit_refused : exit_done;
    };
  });

  // convert IN -o OUT
  fs::path conv_in, conv_out;
  input_options conv_opts;
  auto* cmd_conv = app.add_subcommand(
      "convert", "Read a script of any version or a bank file, write a version-6 script");
  cmd_conv->add_option("IN", conv_in, "Script or bank file")->required();
  cmd_conv->add_option("-o,--output", conv_out, "The version-6 script to write")->required();
  add_input_options(cmd_conv, conv_opts);
  cmd_conv->callback([&] {
    run = [&] {
      terminal_host& th = the_host();
      bank b;
      load_input(b, conv_in, conv_opts, th);
      if (th.saw_error()) return exit_refused;
      save_script(b, conv_out, th);
      return exit_done;
    };
  });

  // validate IN
  fs::path val_in;
  input_options val_opts;
  auto* cmd_val =
      app.add_subcommand("validate", "Pre-build validation and the estimated bank size");
  cmd_val->add_option("IN", val_in, "Script or bank file")->required();
  add_input_options(cmd_val, val_opts);
  cmd_val->callback([&] {
    run = [&] {
      terminal_host& th = the_host();
      bank b;
      load_input(b, val_in, val_opts, th);
      if (th.saw_error()) return exit_refused;
      return calculate_bank_size(b, th).errors() == 0 ? exit_done : exit_refused;
    };
  });

  // build IN [-o OUT] [--no-split]
  fs::path build_in, build_out;
  input_options build_opts;
  bool no_split = false;
  auto* cmd_build = app.add_subcommand("build", "Validate and build the bank file");
  cmd_build->add_option("IN", build_in, "Script or bank file")->required();
  cmd_build->add_option("-o,--output", build_out,
                        "The bank file (default: IN with the extension .qbb)");
  cmd_build->add_flag("--no-split", no_split, "Write one file, however large");
  add_input_options(cmd_build, build_opts);
  cmd_build->callback([&] {
    run = [&] {
      terminal_host& th = the_host();
      bank b;
      load_input(b, build_in, build_opts, th);
      if (th.saw_error()) return exit_refused;
      const fs::path out =
          build_out.empty() ? fs::path(replace_extension(build_in.string(), ".qbb")) : build_out;
      build_options options;
      options.split = !no_split;
      return build_bank_file(b, out, th, options) ? exit_done : exit_refused;
    };
  });

  // params export IN OUT.qsp | params import IN.qsp TARGET -o OUT
  auto* cmd_params = app.add_subcommand("params", "System parameter files (.qsp)");
  cmd_params->require_subcommand(1);
  fs::path pex_in, pex_out;
  input_options pex_opts;
  auto* cmd_pex =
      cmd_params->add_subcommand("export", "Write the system settings of IN to OUT.qsp");
  cmd_pex->add_option("IN", pex_in, "Script or bank file")->required();
  cmd_pex->add_option("OUT", pex_out, "The .qsp file to write")->required();
  add_input_options(cmd_pex, pex_opts);
  cmd_pex->callback([&] {
    run = [&] {
      terminal_host& th = the_host();
      bank b;
      load_input(b, pex_in, pex_opts, th);
      if (th.saw_error()) return exit_refused;
      save_system_parameters(b, pex_out, th);
      return exit_done;
    };
  });
  fs::path pim_in, pim_target, pim_out;
  input_options pim_opts;
  auto* cmd_pim =
      cmd_params->add_subcommand("import", "Read IN.qsp into TARGET, write a version-6 script");
  cmd_pim->add_option("IN", pim_in, "The .qsp file to read")->required();
  cmd_pim->add_option("TARGET", pim_target, "Script or bank file")->required();
  cmd_pim->add_option("-o,--output", pim_out, "The version-6 script to write")->required();
  add_input_options(cmd_pim, pim_opts);
  cmd_pim->callback([&] {
    run = [&] {
      terminal_host& th = the_host();
      bank b;
      load_input(b, pim_target, pim_opts, th);
      if (th.saw_error()) return exit_refused;
      read_system_parameters(b, pim_in, th);
      save_script(b, pim_out, th);
      return exit_done;
    };
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
