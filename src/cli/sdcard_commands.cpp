// The subcommand that fills an SD card: sd-write.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/forwarding_host.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/volume.h"
#include "sdcard/sd_write_assistant.h"

namespace fs = std::filesystem;

namespace qbank::cli {
namespace {

struct sdcard_options {
  fs::path dest, bank;
  std::vector<fs::path> os, mp3;
};

// The volume facts come from the system, except in tests: QBANK_FAKE_VOLUME describes a volume
// that stands in for every destination (see parse_volume_description), so that a plain folder
// can play a FAT32 card of any size. Its "root:PATH" says where that volume's root is; without
// it the destination itself counts as the root. A test hook only; nothing else reads it.
std::unique_ptr<volume_layer> destination_volumes() {
  const char* fake = std::getenv("QBANK_FAKE_VOLUME");
  if (!fake) return make_system_volume_layer();
  std::optional<std::optional<volume_stat>> stat = parse_volume_description(fake);
  if (!stat) throw std::runtime_error(std::string("QBANK_FAKE_VOLUME cannot be read: ") + fake);
  return std::make_unique<fixed_volume_layer>(*stat);
}

// Ctrl-C during the copy is the progress window's "Cancel": the copy in progress stops between
// blocks and leaves nothing behind, and the run ends with the cancelled notice.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void on_interrupt(int) {
  interrupted = 1;
}

// Hands Ctrl-C to the cancel flag while it lives; the system's handling comes back after.
class interrupt_scope {
 public:
  interrupt_scope() : previous_(std::signal(SIGINT, on_interrupt)) { interrupted = 0; }
  ~interrupt_scope() { std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_); }
  interrupt_scope(const interrupt_scope&) = delete;
  interrupt_scope& operator=(const interrupt_scope&) = delete;

 private:
  void (*previous_)(int);
};

// The terminal's host, with Ctrl-C handed to the cancel flag each time events are processed.
class interruptible_host : public forwarding_host {
 public:
  explicit interruptible_host(host& inner) : forwarding_host(inner) {}
  void progress_show(char kind, std::int32_t* cancel_flag) override {
    flag_ = cancel_flag;
    forwarding_host::progress_show(kind, cancel_flag);
  }
  void process_events() override {
    if (interrupted && flag_) *flag_ = 1;
    forwarding_host::process_events();
  }

 private:
  std::int32_t* flag_ = nullptr;
};

void print_line(const std::string& line) {
  put_text(stdout, line + "\n");
}

}  // namespace

void add_sdcard_commands(command_context& ctx) {
  static sdcard_options o;
  auto* cmd = ctx.app().add_subcommand(
      "sd-write", "SD card assistant: check the card mounted at DEST and copy the bank onto it");
  cmd->add_option("DEST", o.dest, "The card's folder (where it is mounted)")->required();
  cmd->add_option("--bank", o.bank, "The bank file; its part files and script come with it")
      ->required();
  cmd->add_option("--os", o.os, "Operating-system files of the instrument (.bin)");
  cmd->add_option("--mp3", o.mp3, "MP3 files and MP3_LIST.TXT, copied into the folder Mp3");
  cmd->callback([&ctx, cmd] {
    ctx.set_run([&ctx, cmd] {
      terminal_host& th = ctx.host();
      // A window's dialogs offer only files that exist; a name typed wrong stops the command.
      for (const std::vector<fs::path>* files : {&o.os, &o.mp3})
        for (const fs::path& file : *files)
          if (!file_exists(file)) throw file_error(file, "No such file");
      if (!file_exists(o.bank)) throw file_error(o.bank, "No such file");
      std::unique_ptr<volume_layer> volumes = destination_volumes();
      sd_write_assistant assistant;
      assistant.choose_destination(o.dest, *volumes);
      const destination_display& d = assistant.destination();
      const std::u8string root = d.root.u8string();
      print_line(std::string(root.begin(), root.end()));
      for (const std::string* field : {&d.name, &d.file_system, &d.free_space})
        if (!field->empty()) print_line(*field);

      assistant.choose_bank(o.bank);
      for (const std::string& line : assistant.bank_lines()) print_line(line);
      std::fflush(stdout);
      if (cmd->count("--os") > 0) {
        assistant.set_os_ticked(true);
        assistant.choose_os_files(o.os, th);
      }
      if (cmd->count("--mp3") > 0) {
        assistant.set_mp3_ticked(true);
        assistant.choose_mp3_files(o.mp3);
      }
      std::int32_t cancel_flag = 0;
      const interrupt_scope ctrl_c;
      interruptible_host h(th);
      return assistant.write(h, cancel_flag) == write_result::complete ? exit_done : exit_refused;
    });
  });
}

}  // namespace qbank::cli
