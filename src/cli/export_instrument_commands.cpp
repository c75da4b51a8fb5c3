// The subcommand that takes programs out to the software samplers: export-instrument.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bank/bank.h"
#include "cli/commands.h"
#include "instrument/instrument_export.h"
#include "platform/file_error.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace qbank::cli {
namespace {

struct export_instrument_options {
  int program = -1;
  bool all_used = false;
  std::string format;
  fs::path dir;
  bool copy_audio = false;
};

}  // namespace

void add_export_instrument_commands(command_context& ctx) {
  static export_instrument_options o;
  // export-instrument IN --program P | --all-used --format sfz|dspreset DIR [--copy-audio]
  auto* cmd = ctx.app().add_subcommand(
      "export-instrument",
      "Write programs as SFZ or DecentSampler instruments for software samplers");
  input_arg* in = &ctx.add_input(cmd, "IN");
  add_path_option(cmd, "DIR", o.dir, "The folder to write into")->required();
  auto* one =
      cmd->add_option("--program", o.program, "Program number")->check(CLI::Range(0, last_program));
  auto* all = cmd->add_flag("--all-used", o.all_used, "Every used program");
  one->excludes(all);
  cmd->add_option("--format", o.format, "Instrument format")
      ->required()
      ->check(CLI::IsMember({"sfz", "dspreset"}));
  cmd->add_flag("--copy-audio", o.copy_audio,
                "Copy the WAV files beside the instruments (a bank file's audio always is)");
  ctx.when_loaded(cmd, *in, [in](bank& b, terminal_host& th) {
    if (!o.all_used && o.program < 0) {
      std::fprintf(stderr, "qbank: export-instrument needs --program P or --all-used\n");
      return exit_usage;
    }
    std::vector<int> programs;
    if (o.all_used) {
      for (int p = 0; p < program_count; ++p)
        if (b.program_is_used(p)) programs.push_back(p);
    } else if (b.program_is_used(o.program)) {
      programs.push_back(o.program);
    }
    if (programs.empty()) {
      th.message(o.all_used ? "No program of the bank uses a multisample: nothing to export."
                            : "Program " + std::to_string(o.program) +
                                  " uses no multisample: nothing to export.",
                 "Error");
      return exit_refused;
    }
    instrument_export_options options;
    options.format = o.format == "sfz" ? instrument_format::sfz : instrument_format::dspreset;
    options.copy_audio = o.copy_audio;
    options.audio_from_bank = detect_input(in->path, in->options) == input_kind::bank;
    const instrument_export_report r = export_instruments(b, programs, o.dir, options, th);
    th.report_show("Report: Exported Instruments", instrument_export_lines(r));
    return exit_done;
  });
}

}  // namespace qbank::cli
