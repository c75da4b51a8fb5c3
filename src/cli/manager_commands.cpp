// The bank manager's subcommands: transfer, s2 info, s2 import, export.
#include <cstdio>
#include <filesystem>
#include <string>

#include "bank/bank.h"
#include "bank/bank_reader.h"
#include "bank/script_file.h"
#include "cli/commands.h"
#include "manager/program_transfer.h"
#include "manager/s2_bank.h"
#include "manager/wav_export.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/folders.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace qbank::cli {
namespace {

struct manager_options {
  fs::path source, s2_path, out, export_dir;
  input_options source_options;
  int from = -1, count = 1, to = -1;
  std::string sounds;
  int export_multisample = -1;
  bool export_all = false;
};

// Fills the manager bank as the bank manager's load commands do: a bank file through the
// manager variant of the reader, a script through the script loader. False when the source did
// not load completely (the reader has said why): nothing may be taken from it then.
bool load_source(bank& b, const fs::path& path, const input_options& options, host& h) {
  if (detect_input(path, options) == input_kind::bank)
    return open_bank_file(b, path, h, nullptr, reader_variant::manager);
  open_script(b, path, options.from_version == 0 ? 6 : options.from_version, h);
  return true;
}

// Reads the second-generation bank; a file that cannot be opened throws file_error.
s2_read_result load_s2(s2_bank& s2, const fs::path& path, host& h) {
  input_file{path};
  return s2.read(path, h);
}

// "A" or "A-B" with 0 <= A <= B <= 9998.
bool parse_sounds(const std::string& text, int& top, int& bottom) {
  try {
    std::size_t used = 0;
    top = std::stoi(text, &used);
    bottom = top;
    if (used < text.size()) {
      if (text[used] != '-') return false;
      std::size_t more = 0;
      const std::string rest = text.substr(used + 1);
      bottom = std::stoi(rest, &more);
      if (more != rest.size()) return false;
    }
  } catch (const std::exception&) {
    return false;
  }
  return top >= 0 && top <= bottom && bottom <= last_program;
}

folder_chooser folder_of(const fs::path& dir) {
  return [dir](std::string_view, std::string_view) -> std::optional<fs::path> {
    if (!create_folders(dir)) throw file_error(dir, "The folder cannot be created.");
    return fs::absolute(dir);
  };
}

}  // namespace

void add_manager_commands(command_context& ctx) {
  static manager_options o;

  // transfer MAIN SOURCE --from S [--count K] [--to D] -o OUT
  auto* cmd_tr = ctx.app().add_subcommand(
      "transfer", "Transfer programs with their multisamples from SOURCE into MAIN");
  input_arg* tr_main = &ctx.add_input(cmd_tr, "MAIN");
  add_path_option(cmd_tr, "SOURCE", o.source, "Script or bank file to take the programs from")
      ->required();
  cmd_tr
      ->add_option("--source-version", o.source_options.from_version,
                   "Read SOURCE as a script of this layout version")
      ->check(CLI::Range(1, 6));
  cmd_tr->add_option("--from", o.from, "First source program (0..9998)")
      ->required()
      ->check(CLI::Range(0, last_program));
  cmd_tr->add_option("--count", o.count, "Number of programs (default 1)")
      ->check(CLI::Range(1, program_count));
  cmd_tr->add_option("--to", o.to, "First destination program (default: the source number)")
      ->check(CLI::Range(0, last_program));
  add_path_option(cmd_tr, "-o,--output", o.out, "The version-6 script to write")->required();
  tr_main->output = [] { return o.out; };
  ctx.when_loaded(cmd_tr, *tr_main, [](bank& main, terminal_host& th) {
    const int bottom = o.from + o.count - 1;
    if (bottom > last_program) {
      std::fprintf(stderr, "qbank: --from %d --count %d passes the last program %d\n", o.from,
                   o.count, last_program);
      return exit_usage;
    }
    bank source;
    if (!load_source(source, o.source, o.source_options, th)) {
      // The bank manager's reader says nothing of a file without data; the refusal must.
      if (!th.saw_error())
        std::fprintf(stderr, "qbank: %s holds no bank; nothing is transferred\n",
                     path_to_utf8(o.source).c_str());
      return exit_refused;
    }
    if (th.saw_error()) return exit_refused;
    const int to = o.to < 0 ? o.from : o.to;
    if (!transfer_range(main, source, to, o.from, bottom, th)) return exit_refused;
    save_script(main, o.out, th);
    return exit_done;
  });

  // s2 info S2BANK | s2 import MAIN S2BANK --sounds A[-B] -o OUT
  auto* cmd_s2 = ctx.app().add_subcommand("s2", "Second-generation bank files");
  cmd_s2->require_subcommand(1);
  auto* cmd_s2_info = cmd_s2->add_subcommand("info", "Read a second-generation bank, summarise");
  add_path_option(cmd_s2_info, "S2BANK", o.s2_path, "The second-generation bank file")->required();
  cmd_s2_info->callback([&ctx] {
    ctx.set_run([&ctx] {
      terminal_host& th = ctx.host();
      s2_bank s2;
      const s2_read_result r = load_s2(s2, o.s2_path, th);
      if (!r.loaded) return exit_refused;
      int sounds = 0, multisamples = 0;
      std::uint64_t slots = 0, sectors = 0;
      for (int n = 0; n < s2_sound_count; ++n)
        for (const zone& z : s2.sound(n).zones)
          if (z.multisample != 0 && z.volume != 0) {
            ++sounds;
            break;
          }
      for (int m = 0; m < s2_multisample_count; ++m) {
        bool any = false;
        for (int j = 0; j < slots_per_multisample; ++j) {
          if (!s2.slot_is_empty(m, j)) any = true, ++slots;
          if (s2.multisample(m).slots[j].first_sector() != 0)
            sectors += s2.multisample(m).slots[j].sector_count;
        }
        multisamples += any;
      }
      std::printf(
          "version: %d\nbank size: %llu\nsounds playing multisamples: %d\n"
          "multisamples holding files: %d\nused slots: %llu\naudio sectors: %llu\n",
          r.version, static_cast<unsigned long long>(s2.image().bank_file_info.bank_size), sounds,
          multisamples, static_cast<unsigned long long>(slots),
          static_cast<unsigned long long>(sectors));
      return exit_done;
    });
  });
  auto* cmd_s2_import = cmd_s2->add_subcommand(
      "import", "Import sounds A..B of S2BANK with their multisamples into MAIN");
  input_arg* imp_main = &ctx.add_input(cmd_s2_import, "MAIN");
  add_path_option(cmd_s2_import, "S2BANK", o.s2_path, "The second-generation bank file")
      ->required();
  cmd_s2_import->add_option("--sounds", o.sounds, "A sound number or a range A-B (0..9998)")
      ->required();
  add_path_option(cmd_s2_import, "-o,--output", o.out, "The version-6 script to write")->required();
  imp_main->output = [] { return o.out; };
  ctx.when_loaded(cmd_s2_import, *imp_main, [](bank& main, terminal_host& th) {
    int top = 0, bottom = 0;
    if (!parse_sounds(o.sounds, top, bottom)) {
      std::fprintf(stderr, "qbank: --sounds %s: give A or A-B with 0 <= A <= B <= %d\n",
                   o.sounds.c_str(), last_program);
      return exit_usage;
    }
    s2_bank s2;
    if (!load_s2(s2, o.s2_path, th).loaded) return exit_refused;
    // The window's current rows are the range's first sound and the program of its number.
    if (!import_sound_range(main, s2, {top, top}, top, bottom, th)) return exit_refused;
    save_script(main, o.out, th);
    return exit_done;
  });

  // export BANK --multisample N DIR | export BANK --all DIR
  auto* cmd_ex = ctx.app().add_subcommand(
      "export", "Write the audio of one multisample or of the whole library as WAV files");
  input_arg* ex_bank = &ctx.add_input(cmd_ex, "BANK");
  add_path_option(cmd_ex, "DIR", o.export_dir, "The folder to write into")->required();
  auto* one = cmd_ex->add_option("--multisample", o.export_multisample, "Multisample number")
                  ->check(CLI::Range(0, multisample_count - 1));
  auto* all = cmd_ex->add_flag("--all", o.export_all, "Every multisample of the bank");
  one->excludes(all);
  ctx.when_loaded(cmd_ex, *ex_bank, [](bank& b, terminal_host& th) {
    if (!o.export_all && o.export_multisample < 0) {
      std::fprintf(stderr, "qbank: export needs --multisample N or --all\n");
      return exit_usage;
    }
    const folder_chooser choose = folder_of(o.export_dir);
    export_counts done;
    if (o.export_all) {
      done = export_library(b, choose, th);
      if (done.written > 0) std::printf("%u WAV files exported\n", done.written);
    } else {
      done = export_multisample(b, o.export_multisample, choose, th);
    }
    return done.not_exported > 0 ? exit_refused : exit_done;
  });
}

}  // namespace qbank::cli
