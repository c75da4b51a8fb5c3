// The subcommand that converts a library's audio files into the WAV files the instrument
// takes: conform.
#include <filesystem>

#include "audio/conform.h"
#include "audio/conform_codec.h"
#include "bank/bank.h"
#include "bank/script_file.h"
#include "cli/commands.h"
#include "platform/file_error.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace qbank::cli {
namespace {

// The options of this subcommand, bound by the parser; they live as long as the run.
struct conform_cli_options {
  fs::path into, out;
  bool dry_run = false;
};

}  // namespace

void add_conform_commands(command_context& ctx) {
  static conform_cli_options o;
  // conform IN --into DIR [-o OUT] [--dry-run]
  auto* cmd = ctx.app().add_subcommand(
      "conform",
      "Convert the audio files of IN that the instrument refuses into 16-bit 48 kHz WAV files "
      "below DIR and point the bank at them; the originals are never changed");
  input_arg* in = &ctx.add_input(cmd, "IN");
  add_path_option(cmd, "--into", o.into,
                  "The folder the converted files go below, in the folders they have below the "
                  "library's common folder")
      ->required();
  add_path_option(cmd, "-o,--output", o.out,
                  "The version-6 script to write (default: a script IN is rewritten in place, a "
                  "bank file IN gives IN with the extension .qbs; without -o nothing is written "
                  "when no path changed)");
  cmd->add_flag("--dry-run", o.dry_run, "Print the report only; write no file and no folder");
  cmd->callback([&ctx, in] {
    ctx.set_run([&ctx, in] {
      // Said before the input is read: nothing else can be done without the decoder.
      if (!conform_available()) throw command_error(std::string(conform_unavailable_text));
      terminal_host& th = ctx.host();
      bank b;
      in->version_read = load_input(b, in->path, in->options, th);
      if (th.saw_error()) return exit_refused;
      conform_options options;
      options.into = o.into;
      options.dry_run = o.dry_run;
      const conform_totals totals = conform_bank(b, options, th);
      if (!o.dry_run && (!o.out.empty() || totals.paths_changed)) {
        fs::path out = o.out;
        if (out.empty())
          out = detect_input(in->path, in->options) == input_kind::bank
                    ? path_with_extension(in->path, ".qbs")
                    : in->path;
        save_script(b, out, th);
      }
      return totals.refused == 0 && !th.saw_error() ? exit_done : exit_refused;
    });
  });
}

}  // namespace qbank::cli
