// Importing an instrument into a program: its velocity layers become the basic zones, its
// release samples the release zone, each with a multisample of its own whose slots hold the
// audio of every key the layer's regions cover, conformed to what the instrument plays.
//
// The audio goes below a folder the user chose, as DIR/<instrument>/<layer>/<instrument> NNN.wav
// (NNN the note number of the slot, so placement by number and duplicate detection read it).
// A file already there with the same bytes is used again; one with other bytes is never
// replaced (the new file gets a numbered name, "Piano 060 (2).wav").
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bank/bank_format.h"
#include "instrument/instrument.h"

namespace qbank {

class bank;
class host;

inline constexpr std::string_view import_report_title = "Report: Imported Instrument";
inline constexpr std::string_view import_unavailable_text =
    "Importing instruments is not available in this build: it needs libsndfile and libsoxr.";
// At most this many velocity layers fit the program's basic zones.
inline constexpr int max_import_layers = 8;

// What fills the keys of a region other than its root key.
enum class fill_mode {
  render,   // the sample pitched to the key
  nearest,  // the root key's audio unchanged (kits, one-shots)
  root,     // nothing: only root keys are filled
};

struct import_options {
  int program = 0;             // 0..9998
  std::filesystem::path into;  // the folder the audio goes below
  fill_mode fill = fill_mode::render;
  std::filesystem::path file;  // the instrument file; a SoundFont's audio is read from it
};

// A layer of the program to be: a basic zone (or the release zone) and its multisample.
struct import_layer {
  bool release = false;
  int velo_low = 0, velo_high = 127;
  int key_low = 127, key_high = 0;  // the union of its regions' key ranges
  int volume = 127;                 // the zone's volume: from its first region's amplitude
  std::vector<int> regions;         // indices into the instrument's regions
  // The region whose audio each slot holds (-1: none); the first region of the layer that
  // covers the key.
  std::array<int, slots_per_multisample> slot_region{};
  int multisample = 0;
  std::string name;    // of the multisample, UTF-8, at most 16 characters
  std::string folder;  // below DIR/<instrument>
};

struct import_plan {
  std::string name;                  // the instrument's name, fit for a file name and the code page
  std::vector<import_layer> layers;  // basic layers by ascending velocity, then the release one
  std::optional<int> attack_ms, release_ms;
  std::vector<std::string> notes;  // merges, overlaps, envelope choices: report lines
};

// Maps `inst` onto layers and finds their multisamples in `b` (an equal one, else the first
// free from 1, as a program transfer does). Nothing is written. Throws command_error when the
// instrument has no region or the bank has too few free multisamples.
import_plan plan_import(const bank& b, const instrument& inst);

struct import_totals {
  unsigned files_written = 0;
  unsigned files_reused = 0;
};

// Imports `inst` into program options.program of `b` and shows "Report: Imported Instrument"
// through `h`. The bank changes only once every file is in place; a failure (a sample that
// cannot be read: instrument_error naming the region; a folder or file that cannot be written:
// file_error) leaves it as it was and removes the files this run wrote.
import_totals import_instrument(bank& b, const instrument& inst, const import_options& options,
                                host& h);

}  // namespace qbank
