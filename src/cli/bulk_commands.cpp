// The subcommands that act on many programs or multisamples at once, on the WAV files' silent
// tails, and on repetition in the bank: remove-programs, remove-multisamples, unused,
// where-used, names, msn, fix, silence, duplicates.
#include <algorithm>
#include <filesystem>
#include <string>

#include "audio/duplicates.h"
#include "audio/silence.h"
#include "bank/bank.h"
#include "bank/script_file.h"
#include "cli/commands.h"
#include "edit/bulk_operations.h"

namespace fs = std::filesystem;

namespace qbank::cli {
namespace {

// The options of these subcommands, bound by the parser; they live as long as the run.
struct bulk_options {
  int rp_from = 0, rp_to = 0, rm_from = 1, rm_to = 1, where_n = 1;
  fs::path rp_out, rm_out, unused_out, names_out, fix_out, dup_out;
  std::string fix_what, silence_mode;
  int silence_t = -1;
  bool no_fade = false, dup_remove = false, dup_content = false;
};

// FROM and TO of a range subcommand, checked once both are known.
void check_order(int from, int to) {
  if (from > to) throw CLI::ValidationError("FROM", "must not be above TO");
}

// Writes OUT when the operation went ahead (a No leaves everything as it was).
int save_if(bool changed, const bank& b, const fs::path& out, terminal_host& th) {
  if (changed) save_script(b, out, th);
  return exit_done;
}

// A range removal: IN FROM TO -o OUT, both ends in low..high and FROM not above TO.
void add_range_command(command_context& ctx, const char* name, const char* help, int low, int high,
                       int& from, int& to, fs::path& out, bool (*remove)(bank&, host&, int, int)) {
  auto* cmd = ctx.app().add_subcommand(name, help);
  input_arg* in = &ctx.add_input(cmd, "IN");
  cmd->add_option("FROM", from, "First of the range")->required()->check(CLI::Range(low, high));
  cmd->add_option("TO", to, "Last of the range")->required()->check(CLI::Range(low, high));
  add_path_option(cmd, "-o,--output", out, "The version-6 script to write")->required();
  in->output = [&out] { return out; };
  cmd->parse_complete_callback([&from, &to] { check_order(from, to); });
  ctx.when_loaded(cmd, *in, [&from, &to, &out, remove](bank& b, terminal_host& th) {
    return save_if(remove(b, th, from, to), b, out, th);
  });
}

}  // namespace

void add_bulk_commands(command_context& ctx) {
  static bulk_options o;

  // remove-programs IN FROM TO -o OUT, remove-multisamples IN FROM TO -o OUT
  add_range_command(ctx, "remove-programs", "Reset programs FROM..TO (0..9998)", 0, last_program,
                    o.rp_from, o.rp_to, o.rp_out, remove_program_range);
  // The command line reaches what the window's dialog reaches.
  add_range_command(ctx, "remove-multisamples", "Reset multisamples FROM..TO (1..2047)", 1,
                    range_dialog_last_multisample, o.rm_from, o.rm_to, o.rm_out,
                    remove_multisample_range);

  // unused IN -o OUT
  auto* un = ctx.app().add_subcommand("unused", "Remove the multisamples no program uses");
  input_arg* un_in = &ctx.add_input(un, "IN");
  add_path_option(un, "-o,--output", o.unused_out, "The version-6 script to write")->required();
  un_in->output = [] { return o.unused_out; };
  ctx.when_loaded(un, *un_in, [](bank& b, terminal_host& th) {
    return save_if(remove_unused_multisamples_command(b, th), b, o.unused_out, th);
  });

  // where-used IN N
  auto* wu = ctx.app().add_subcommand("where-used", "Report the programs that use multisample N");
  input_arg* wu_in = &ctx.add_input(wu, "IN");
  wu->add_option("N", o.where_n, "Multisample number")->required()->check(CLI::Range(1, 9999));
  ctx.when_loaded(wu, *wu_in, [](bank& b, terminal_host& th) {
    where_used_report(b, th, o.where_n);
    return exit_done;
  });

  // names IN OUT.txt
  auto* nm = ctx.app().add_subcommand("names", "Write every program and multisample name");
  input_arg* nm_in = &ctx.add_input(nm, "IN");
  add_path_option(nm, "OUT", o.names_out, "The text file to write")->required();
  ctx.when_loaded(nm, *nm_in, [](bank& b, terminal_host& th) {
    export_program_names(b, o.names_out, th);
    return exit_done;
  });

  // msn IN
  auto* ms = ctx.app().add_subcommand(
      "msn", "Write the multisample-name marker files into the multisamples' folders");
  input_arg* ms_in = &ctx.add_input(ms, "IN");
  ctx.when_loaded(ms, *ms_in, [](bank& b, terminal_host& th) {
    save_multisample_name_markers(b, th);
    return exit_done;
  });

  // fix IN WHAT -o OUT
  auto* fx = ctx.app().add_subcommand("fix", "Bank-wide repair of program parameters");
  input_arg* fx_in = &ctx.add_input(fx, "IN");
  fx->add_option("WHAT", o.fix_what, "The repair")
      ->required()
      ->check(CLI::IsMember(
          std::vector<std::string>(program_fix_names.begin(), program_fix_names.end())));
  add_path_option(fx, "-o,--output", o.fix_out, "The version-6 script to write")->required();
  fx_in->output = [] { return o.fix_out; };
  ctx.when_loaded(fx, *fx_in, [](bank& b, terminal_host& th) {
    const auto at = std::find(program_fix_names.begin(), program_fix_names.end(), o.fix_what);
    run_program_fix(b, th, static_cast<program_fix>(at - program_fix_names.begin()));
    save_script(b, o.fix_out, th);
    return exit_done;
  });

  // silence IN check | silence IN apply T [--no-fade]
  auto* si = ctx.app().add_subcommand(
      "silence", "Report the silent ends of the WAV files, or trim them at threshold T");
  input_arg* si_in = &ctx.add_input(si, "IN");
  si->add_option("MODE", o.silence_mode, "check or apply")
      ->required()
      ->check(CLI::IsMember({"check", "apply"}));
  si->add_option("T", o.silence_t, "Threshold for apply: 0, 10, ... 100")
      ->check(CLI::IsMember({0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
  si->add_flag("--no-fade", o.no_fade, "Cut without the 2 ms fade-out");
  si->parse_complete_callback([] {
    if (o.silence_mode == "apply" && o.silence_t < 0)
      throw CLI::RequiredError("T (the threshold of apply)");
    if (o.silence_mode == "check" && o.silence_t >= 0)
      throw CLI::ExtrasError({std::to_string(o.silence_t)});
  });
  ctx.when_loaded(si, *si_in, [](bank& b, terminal_host& th) {
    if (o.silence_mode == "check")
      silence_check_command(b, th, !o.no_fade);
    else
      silence_apply_command(b, th, o.silence_t, !o.no_fade);
    return exit_done;
  });

  // duplicates IN | duplicates IN --remove -o OUT | duplicates IN --by-content
  auto* du = ctx.app().add_subcommand(
      "duplicates", "Report WAV paths used by several multisamples, or merge equal multisamples");
  input_arg* du_in = &ctx.add_input(du, "IN");
  auto* remove = du->add_flag("--remove", o.dup_remove, "Merge duplicated multisamples");
  auto* out = add_path_option(du, "-o,--output", o.dup_out, "The version-6 script to write");
  remove->needs(out);
  out->needs(remove);
  du_in->output = [] { return o.dup_out; };
  du->add_flag("--by-content", o.dup_content,
               "Report WAV files with identical audio under different paths")
      ->excludes(remove);
  ctx.when_loaded(du, *du_in, [](bank& b, terminal_host& th) {
    if (o.dup_content) {
      duplicate_content_command(b, th);
      return exit_done;
    }
    if (o.dup_remove)
      return save_if(remove_duplicate_multisamples_command(b, th), b, o.dup_out, th);
    duplicate_samples_command(b, th);
    return exit_done;
  });
}

}  // namespace qbank::cli
