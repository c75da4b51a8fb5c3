// The subcommands that edit the paths of a bank: place, octave, common-path, replace-path.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bank/bank.h"
#include "bank/script_file.h"
#include "cli/commands.h"
#include "edit/auto_position.h"
#include "edit/multisample_edit.h"
#include "edit/path_tools.h"
#include "platform/codepage.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace qbank::cli {
namespace {

// The options of these subcommands, bound by the parser; they live as long as the run.
struct edit_options {
  fs::path place_out, octave_out, replace_out;
  int place_multisample = 1;
  std::string criterion = "number";
  int transpose = 0;
  std::vector<fs::path> wavs;
  int octave_multisample = 1;
  std::string direction;
  std::string old_text, new_text;
};

position_criterion criterion_of(const std::string& name) {
  if (name == "a") return position_criterion::table_a;
  if (name == "b") return position_criterion::table_b;
  if (name == "c") return position_criterion::table_c;
  return position_criterion::number;
}

CLI::Option* add_multisample_option(CLI::App* cmd, int& n) {
  return cmd->add_option("--multisample", n, "The multisample (1..9999)")
      ->required()
      ->check(CLI::Range(1, multisample_count - 1));
}

}  // namespace

void add_edit_commands(command_context& ctx) {
  static edit_options o;

  // common-path IN
  auto* cmd_common =
      ctx.app().add_subcommand("common-path", "Print the library common path of a bank");
  input_arg* common_in = &ctx.add_input(cmd_common, "IN");
  ctx.when_loaded(cmd_common, *common_in, [](bank& b, terminal_host&) {
    put_text(stdout, to_utf8(library_common_path(b)) + "\n");
    return exit_done;
  });

  // replace-path IN OLD NEW -o OUT
  auto* cmd_replace = ctx.app().add_subcommand("replace-path", "Replace text in every stored path");
  input_arg* replace_in = &ctx.add_input(cmd_replace, "IN");
  cmd_replace->add_option("OLD", o.old_text, "The text to replace")->required();
  cmd_replace->add_option("NEW", o.new_text, "The text to put in its place")->required();
  cmd_replace->add_option("-o,--output", o.replace_out, "The version-6 script to write")
      ->required();
  replace_in->output = [] { return fs::path(o.replace_out); };
  ctx.when_loaded(cmd_replace, *replace_in, [](bank& b, terminal_host& th) {
    replace_text_in_paths(b, o.old_text, o.new_text, th);
    if (th.saw_error()) return exit_refused;  // a text the code page cannot hold
    save_script(b, o.replace_out, th);
    return exit_done;
  });

  // place IN --multisample N --criterion number|a|b|c [--transpose T] WAV... -o OUT
  auto* cmd_place = ctx.app().add_subcommand(
      "place", "Place WAV files into a multisample by the note number or name in their paths");
  input_arg* place_in = &ctx.add_input(cmd_place, "IN");
  add_multisample_option(cmd_place, o.place_multisample);
  cmd_place
      ->add_option("--criterion", o.criterion,
                   "number: \" 060\"; a: \"C 5\", \"C#5\"; b: \"C5\", \"C#5\"; c: \"c5\", \"c#5\"")
      ->required()
      ->check(CLI::IsMember({"number", "a", "b", "c"}));
  std::vector<int> transposes(import_transposes.begin(), import_transposes.end());
  cmd_place->add_option("--transpose", o.transpose, "Import transpose in semitones (default 0)")
      ->check(CLI::IsMember(transposes));
  cmd_place->add_option("WAV", o.wavs, "The WAV files, in the order of precedence")->required();
  cmd_place->add_option("-o,--output", o.place_out, "The version-6 script to write")->required();
  place_in->output = [] { return fs::path(o.place_out); };
  ctx.when_loaded(cmd_place, *place_in, [](bank& b, terminal_host& th) {
    // The bank refers to its files by full paths, as a file dialog gives them.
    std::vector<std::string> paths;
    paths.reserve(o.wavs.size());
    for (const fs::path& wav : o.wavs)
      paths.push_back(stored_path(fs::absolute(wav).lexically_normal()));
    const placement_counts counts =
        add_multiple_by_name(b, o.place_multisample, paths, criterion_of(o.criterion),
                             transpose_byte(o.transpose), th, {});
    // What the window lists in a report goes to standard error here, after the answer the
    // command has always printed.
    for (const std::string& line : placement_problems(paths, counts))
      put_text(stderr, "qbank: " + line + "\n");
    save_script(b, o.place_out, th);
    return exit_done;
  });

  // octave IN --multisample N up|down -o OUT
  auto* cmd_octave =
      ctx.app().add_subcommand("octave", "Move the files of a multisample one octave up or down");
  input_arg* octave_in = &ctx.add_input(cmd_octave, "IN");
  add_multisample_option(cmd_octave, o.octave_multisample);
  cmd_octave->add_option("DIRECTION", o.direction, "up or down")
      ->required()
      ->check(CLI::IsMember({"up", "down"}));
  cmd_octave->add_option("-o,--output", o.octave_out, "The version-6 script to write")->required();
  octave_in->output = [] { return fs::path(o.octave_out); };
  ctx.when_loaded(cmd_octave, *octave_in, [](bank& b, terminal_host& th) {
    // Answered No (with -i): nothing changes and nothing is written.
    if (!move_octave(b, o.octave_multisample, o.direction == "up", th)) return exit_done;
    save_script(b, o.octave_out, th);
    return exit_done;
  });
}

}  // namespace qbank::cli
