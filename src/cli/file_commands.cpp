// The subcommands that read, write and build whole banks: new, demo, info, convert, validate,
// build, params.
#include <cstdio>
#include <filesystem>

#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/param_file.h"
#include "bank/script_file.h"
#include "cli/commands.h"
#include "demo/demo_library.h"
#include "platform/file_io.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace qbank::cli {
namespace {

// The options of these subcommands, bound by the parser; they live as long as the run.
struct file_options {
  fs::path new_out, demo_dir, conv_out, build_out, pex_out, pim_qsp, pim_out;
  bool info_json = false;
  bool no_split = false;
};

}  // namespace

void add_file_commands(command_context& ctx) {
  static file_options o;
  // new OUT
  auto* cmd_new = ctx.app().add_subcommand("new", "Write a freshly reset bank as a script");
  add_path_option(cmd_new, "OUT", o.new_out, "The script to write")->required();
  cmd_new->callback([&ctx] {
    ctx.set_run([&ctx] {
      bank b;
      save_script(b, o.new_out, ctx.host());
      return exit_done;
    });
  });

  // demo DIR
  auto* cmd_demo =
      ctx.app().add_subcommand("demo", "Write the demo library: WAV files and DIR/Demo.qbs");
  add_path_option(cmd_demo, "DIR", o.demo_dir, "The folder to write into")->required();
  cmd_demo->callback([&ctx] {
    ctx.set_run([&ctx] {
      demo_library lib = write_demo_library(fs::absolute(o.demo_dir), ctx.host());
      std::printf("%s: %u WAV files, %llu bytes\n", path_to_utf8(lib.script).c_str(), lib.wav_files,
                  static_cast<unsigned long long>(lib.wav_bytes));
      return exit_done;
    });
  });

  // info IN [--json]
  auto* cmd_info = ctx.app().add_subcommand("info", "Summarise a script or a bank file");
  input_arg* info_in = &ctx.add_input(cmd_info, "IN");
  cmd_info->add_flag("--json", o.info_json, "Print the summary as JSON");
  // Standard output holds the JSON alone; the load's messages go to standard error.
  cmd_info->parse_complete_callback([&ctx] {
    if (o.info_json) ctx.keep_output_for_data();
  });
  ctx.when_loaded(cmd_info, *info_in, [=](bank& b, terminal_host&) {
    const input_kind kind = detect_input(info_in->path, info_in->options);
    const input_summary s = summarise(b, info_in->path, kind, info_in->version_read);
    put_text(stdout, o.info_json ? summary_json(s, info_in->path) : summary_text(s));
    return exit_done;
  });

  // convert IN -o OUT
  auto* cmd_conv = ctx.app().add_subcommand(
      "convert", "Read a script of any version or a bank file, write a version-6 script");
  input_arg* conv_in = &ctx.add_input(cmd_conv, "IN");
  add_path_option(cmd_conv, "-o,--output", o.conv_out, "The version-6 script to write")->required();
  conv_in->output = [] { return o.conv_out; };
  ctx.when_loaded(cmd_conv, *conv_in, [=](bank& b, terminal_host& th) {
    save_script(b, o.conv_out, th);
    return exit_done;
  });

  // validate IN
  auto* cmd_val =
      ctx.app().add_subcommand("validate", "Pre-build validation and the estimated bank size");
  input_arg* val_in = &ctx.add_input(cmd_val, "IN");
  ctx.when_loaded(cmd_val, *val_in, [=](bank& b, terminal_host& th) {
    return calculate_bank_size(b, th).errors() == 0 ? exit_done : exit_refused;
  });

  // build IN [-o OUT] [--no-split]
  auto* cmd_build = ctx.app().add_subcommand("build", "Validate and build the bank file");
  input_arg* build_in = &ctx.add_input(cmd_build, "IN");
  add_path_option(cmd_build, "-o,--output", o.build_out,
                  "The bank file (default: IN with the extension .qbb)");
  cmd_build->add_flag("--no-split", o.no_split, "Write one file, however large");
  build_in->output = [=] {
    return o.build_out.empty() ? path_with_extension(build_in->path, ".qbb") : o.build_out;
  };
  build_in->output_kind = input_kind::bank;
  ctx.when_loaded(cmd_build, *build_in, [=](bank& b, terminal_host& th) {
    const fs::path out = build_in->output();
    build_options options;
    options.split = !o.no_split;
    return build_bank_file(b, out, th, options) ? exit_done : exit_refused;
  });

  // params export IN OUT.qsp | params import IN.qsp TARGET -o OUT
  auto* cmd_params = ctx.app().add_subcommand("params", "System parameter files (.qsp)");
  cmd_params->require_subcommand(1);
  auto* cmd_pex =
      cmd_params->add_subcommand("export", "Write the system settings of IN to OUT.qsp");
  input_arg* pex_in = &ctx.add_input(cmd_pex, "IN");
  add_path_option(cmd_pex, "OUT", o.pex_out, "The .qsp file to write")->required();
  ctx.when_loaded(cmd_pex, *pex_in, [=](bank& b, terminal_host& th) {
    save_system_parameters(b, o.pex_out, th);
    return exit_done;
  });
  auto* cmd_pim =
      cmd_params->add_subcommand("import", "Read IN.qsp into TARGET, write a version-6 script");
  add_path_option(cmd_pim, "IN", o.pim_qsp, "The .qsp file to read")->required();
  input_arg* pim_target = &ctx.add_input(cmd_pim, "TARGET");
  add_path_option(cmd_pim, "-o,--output", o.pim_out, "The version-6 script to write")->required();
  pim_target->output = [] { return o.pim_out; };
  ctx.when_loaded(cmd_pim, *pim_target, [=](bank& b, terminal_host& th) {
    read_system_parameters(b, o.pim_qsp, th);
    save_script(b, o.pim_out, th);
    return exit_done;
  });
}

}  // namespace qbank::cli
