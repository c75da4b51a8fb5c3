#include "cli/commands.h"

#include <cstdio>

#include "bank/bank.h"
#include "platform/folders.h"
#include "platform/paths.h"

namespace qbank::cli {

command_context::command_context(CLI::App& app) : app_(app), quiet_host_(false) {
  app_.add_flag("-i,--interactive", interactive_, "Ask every question on the terminal")
      ->trigger_on_parse();
}

terminal_host& command_context::host() {
  if (interactive_ && !asking_host_) asking_host_ = std::make_unique<terminal_host>(true);
  terminal_host& h = interactive_ ? *asking_host_ : quiet_host_;
  if (output_for_data_) h.set_output(stderr);
  return h;
}

CLI::Option* add_path_option(CLI::App* cmd, const std::string& name, std::filesystem::path& target,
                             const std::string& description) {
  return cmd
      ->add_option_function<std::string>(
          name, [&target](const std::string& text) { target = path_from_utf8(text); }, description)
      ->type_name("PATH");
}

input_arg& command_context::add_input(CLI::App* cmd, const char* name) {
  input_arg& in = inputs_.emplace_back();
  add_path_option(cmd, name, in.path, "Script or bank file")->required();
  cmd->add_option("--from-version", in.options.from_version,
                  "Read the input as a script of this layout version")
      ->check(CLI::Range(1, 6));
  cmd->add_flag("--bank", in.options.bank, "Read the input as a bank file");
  return in;
}

namespace {

// True (and says why) when the output is the input itself and of the other kind: a script
// written over a bank file would lose its audio, a bank file over a script the script.
bool replaces_input_with_other_kind(const input_arg& in) {
  if (!in.output) return false;
  const std::filesystem::path out = in.output();
  if (out.empty() || !same_file(in.path, out)) return false;
  const input_kind kind = detect_input(in.path, in.options);
  if (kind == in.output_kind) return false;
  const auto name = [](input_kind k) { return k == input_kind::bank ? "a bank file" : "a script"; };
  std::fprintf(stderr,
               "qbank: %s is the input, %s: writing %s there would replace it; give another "
               "output\n",
               path_to_utf8(out).c_str(), name(kind), name(in.output_kind));
  return true;
}

}  // namespace

void command_context::when_loaded(CLI::App* cmd, input_arg& in,
                                  std::function<int(bank&, terminal_host&)> then) {
  cmd->callback([this, then = std::move(then), input = &in] {
    set_run([this, then, input] {
      if (replaces_input_with_other_kind(*input)) return exit_refused;
      terminal_host& th = host();
      bank b;
      input->version_read = load_input(b, input->path, input->options, th);
      if (th.saw_error()) return exit_refused;
      const int code = then(b, th);
      return code == exit_done && th.saw_error() ? exit_refused : code;
    });
  });
}

}  // namespace qbank::cli
