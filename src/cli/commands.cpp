#include "cli/commands.h"

#include "bank/bank.h"
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

void command_context::when_loaded(CLI::App* cmd, input_arg& in,
                                  std::function<int(bank&, terminal_host&)> then) {
  cmd->callback([this, then = std::move(then), input = &in] {
    set_run([this, then, input] {
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
