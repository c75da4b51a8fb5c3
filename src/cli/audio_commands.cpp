// The subcommands of the audio tools: waveform.
#include <cstdio>
#include <filesystem>
#include <string>

#include "audio/slot_audio.h"
#include "audio/wave_plot.h"
#include "bank/bank.h"
#include "cli/commands.h"
#include "cli/forwarding_host.h"
#include "util/text_format.h"

namespace fs = std::filesystem;

namespace qbank::cli {
namespace {

// The options of these subcommands, bound by the parser; they live as long as the run.
struct audio_options {
  int multisample = -1;
  int slot = -1;
  int width = plot_width;
  int height = plot_height;
  int zoom = 1;
  bool json = false;
};

// Passes everything to the terminal except the reader's "Info" notices, which would only stand
// between the user and the waveform.
class quiet_notices_host : public forwarding_host {
 public:
  explicit quiet_notices_host(terminal_host& to) : forwarding_host(to) {}
  void process_events() override {}
  void report_hide() override {}
  void message(std::string_view text, std::string_view caption) override {
    if (caption != "Info") forwarding_host::message(text, caption);
  }
};

std::string waveform_text(const wave_peaks& p, const std::vector<column_height>& h, int level) {
  std::string out = format("frames: %u\nstereo: %s\nzoom: %s\nduration: %s\ncolumns: %zu\n",
                           p.frames, p.stereo ? "yes" : "no", zoom_text(level).c_str(),
                           duration_text(p.frames).c_str(), h.size());
  for (std::size_t x = 0; x < h.size(); ++x) {
    out += format("%zu: %d %d", x, h[x].above[0], h[x].below[0]);
    if (p.stereo) out += format(" %d %d", h[x].above[1], h[x].below[1]);
    out += '\n';
  }
  return out;
}

std::string waveform_json(const wave_peaks& p, const std::vector<column_height>& h, int level) {
  std::string out = format(
      "{\"frames\": %u, \"stereo\": %s, \"zoom\": \"%s\", \"duration\": \"%s\", \"columns\": [",
      p.frames, p.stereo ? "true" : "false", zoom_text(level).c_str(),
      duration_text(p.frames).c_str());
  for (std::size_t x = 0; x < h.size(); ++x) {
    if (x) out += ", ";
    out += format("[%d, %d", h[x].above[0], h[x].below[0]);
    if (p.stereo) out += format(", %d, %d", h[x].above[1], h[x].below[1]);
    out += ']';
  }
  out += "]}\n";
  return out;
}

}  // namespace

void add_audio_commands(command_context& ctx) {
  static audio_options o;
  // waveform SOURCE [--multisample N --slot J] [--width W] [--height H] [--zoom Z] [--json]
  auto* cmd = ctx.app().add_subcommand(
      "waveform",
      "The player's waveform columns of a WAV file, or of a slot of a bank file (of a script: "
      "the slot's WAV file)");
  input_arg* in = &ctx.add_input(cmd, "SOURCE");
  auto* ms = cmd->add_option("--multisample", o.multisample, "Multisample number (1 to 9999)")
                 ->check(CLI::Range(1, multisample_count - 1));
  auto* slot = cmd->add_option("--slot", o.slot, "Slot (0 to 127)")
                   ->check(CLI::Range(0, slots_per_multisample - 1));
  ms->needs(slot);
  slot->needs(ms);
  cmd->add_option("--width", o.width, "Plot width in pixels (default 628)")
      ->check(CLI::Range(1, 100000));
  cmd->add_option("--height", o.height, "Plot height in pixels (default 88)")
      ->check(CLI::Range(1, 100000));
  cmd->add_option("--zoom", o.zoom, "Vertical zoom, 1 to 20")->check(CLI::Range(1, 20));
  cmd->add_flag("--json", o.json, "Print the columns as JSON");
  cmd->callback([&ctx, in] {
    ctx.set_run([&ctx, in] {
      terminal_host& th = ctx.host();
      slot_audio audio;
      if (o.multisample < 0) {
        audio = load_wav_audio(in->path);
      } else {
        quiet_notices_host quiet(th);
        bank b;
        load_input(b, in->path, in->options, quiet);
        if (th.saw_error()) return exit_refused;
        const bool from_bank = detect_input(in->path, in->options) == input_kind::bank;
        // The player plays the bank file it names; here that is the file just read.
        if (from_bank) b.set_loaded_file_name(in->path.string());
        audio =
            load_selected_slot(b, o.multisample, o.slot, 1,
                               from_bank ? audio_source::bank_file : audio_source::wav_file, quiet);
        if (th.saw_error()) return exit_refused;
      }
      if (!audio.loaded()) {
        th.message(audio.message, "Plot");
        return exit_refused;
      }
      const int level = o.zoom - 1;
      const wave_peaks peaks =
          compute_wave_peaks(audio.samples.data(), audio.length, audio.stereo, o.width);
      const std::vector<column_height> heights = column_heights(peaks, level, o.height);
      std::fputs(
          (o.json ? waveform_json(peaks, heights, level) : waveform_text(peaks, heights, level))
              .c_str(),
          stdout);
      return exit_done;
    });
  });
}

}  // namespace qbank::cli
