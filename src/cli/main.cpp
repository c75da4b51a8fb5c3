// qbank: the bank manager's operations from the command line.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"

using namespace qbank;
using namespace qbank::cli;

int main(int argc, char** argv) {
  console_setup();
  std::vector<std::string> args = utf8_arguments(argc, argv);
  std::vector<char*> arg_pointers;
  for (std::string& a : args) arg_pointers.push_back(a.data());

  CLI::App app{"qbank: the Quorvatek Samplers bank manager for the command line"};
  // "/x" is a path on every system, never an option.
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", "qbank 3.54");
  app.require_subcommand(1);
  // Ctrl-C or a termination request removes the temporary files of a build or save in progress.
  install_interrupt_cleanup();
  command_context ctx(app);
  add_file_commands(ctx);
  add_edit_commands(ctx);
  add_bulk_commands(ctx);
  add_manager_commands(ctx);
  add_audio_commands(ctx);
  add_sdcard_commands(ctx);
  add_conform_commands(ctx);
  add_instrument_commands(ctx);
  add_export_instrument_commands(ctx);

  try {
    app.parse(static_cast<int>(arg_pointers.size()), arg_pointers.data());
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? exit_done : exit_usage;
  }
  if (!ctx.run()) return exit_usage;
  // Texts would be read and written in another code page than the one asked for.
  if (const auto unknown = unknown_forced_codepage()) {
    std::fprintf(stderr, "qbank: QBANK_CODEPAGE=%s names no known code page; known: %s\n",
                 unknown->c_str(), supported_codepages_text().c_str());
    return exit_usage;
  }
  try {
    return ctx.run()();
  } catch (const file_error& e) {
    std::fflush(stdout);
    put_text(stderr, "qbank: " + path_to_utf8(e.path()) + ": " + e.reason() + "\n");
    return exit_file;
  } catch (const std::exception& e) {
    std::fflush(stdout);
    put_text(stderr, "qbank: " + std::string(e.what()) + "\n");
    return exit_refused;
  }
}
