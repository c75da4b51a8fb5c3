// The subcommand that brings a software sampler's instrument into a program: import-instrument.
#include <filesystem>
#include <map>
#include <string>

#include "audio/conform_codec.h"
#include "bank/bank.h"
#include "bank/script_file.h"
#include "cli/commands.h"
#include "instrument/instrument_file.h"
#include "instrument/instrument_import.h"
#include "platform/file_error.h"

namespace fs = std::filesystem;

namespace qbank::cli {
namespace {

// The options of this subcommand, bound by the parser; they live as long as the run.
struct import_cli_options {
  fs::path file, into, out;
  int program = 0;
  fill_mode fill = fill_mode::render;
  std::string preset;
};

}  // namespace

void add_instrument_commands(command_context& ctx) {
  static import_cli_options o;
  // import-instrument MAIN FILE --program P --into DIR [--fill render|nearest|root]
  //                   [--preset N|NAME] -o OUT
  auto* cmd = ctx.app().add_subcommand(
      "import-instrument",
      "Import the instrument in FILE (.sfz, .sf2, .dspreset, .dslibrary, .multisample, or a "
      "folder of audio files) into program P of MAIN, its audio conformed below DIR");
  input_arg& in = ctx.add_input(cmd, "MAIN");
  add_path_option(cmd, "FILE", o.file, "The instrument file or folder")->required();
  cmd->add_option("--program", o.program, "The program to import into (0..9998)")
      ->required()
      ->check(CLI::Range(0, last_program));
  add_path_option(cmd, "--into", o.into, "The folder the instrument's audio goes below")
      ->required();
  const std::map<std::string, fill_mode> fills = {
      {"render", fill_mode::render}, {"nearest", fill_mode::nearest}, {"root", fill_mode::root}};
  cmd->add_option("--fill", o.fill,
                  "The keys other than the root keys: render (pitched renderings, the default), "
                  "nearest (the root sample unchanged), root (left empty)")
      ->transform(CLI::CheckedTransformer(fills));
  cmd->add_option("--preset", o.preset,
                  "The SoundFont preset, by number, bank:program or name (default: the first)");
  add_path_option(cmd, "-o,--output", o.out, "The version-6 script to write")->required();
  in.output = [] { return o.out; };
  ctx.when_loaded(cmd, in, [](bank& b, terminal_host& th) {
    if (!conform_available()) throw command_error(std::string(import_unavailable_text));
    const instrument inst = read_instrument_file(o.file, o.preset);
    import_options options;
    options.program = o.program;
    options.into = o.into;
    options.fill = o.fill;
    options.file = o.file;
    import_instrument(b, inst, options, th);
    save_script(b, o.out, th);
    return exit_done;
  });
}

}  // namespace qbank::cli
