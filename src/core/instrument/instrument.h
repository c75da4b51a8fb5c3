// An instrument as the software samplers describe it: regions, each a sample played over a key
// and velocity window, read from an instrument file (SFZ, SoundFont 2) before it is mapped into a
// program. Nothing here touches the audio; the readers only say where it is.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/file_error.h"

namespace qbank {

// Which channels of a stereo pair a SoundFont sample holds.
enum class sample_side : std::uint8_t {
  mono,
  left,    // alone: the left half of a pair whose other half was not found
  right,   // the same for the right half
  stereo,  // `header` is the left half, `link` the right
};

// Where a region's audio lies inside a SoundFont file: frames of its `smpl` chunk (16-bit words,
// one channel; with `sm24` a low byte per frame besides).
struct embedded_sample {
  int header = 0;  // index of the sample header (shdr record)
  int link = -1;   // the other half of a pair (for `stereo` the right one); else -1
  sample_side side = sample_side::mono;
  std::uint64_t start = 0;       // the header's first frame within `smpl`
  std::uint64_t end = 0;         // one past its last frame (end > start)
  std::uint64_t link_start = 0;  // for `stereo`: the right half's frames
  std::uint64_t link_end = 0;
  std::uint32_t rate = 0;         // sample rate, Hz
  std::uint64_t smpl_offset = 0;  // byte offset of the `smpl` body (frame 0) in the file
  std::uint64_t sm24_offset = 0;  // byte offset of the `sm24` body; 0: 16-bit only
};

// One sample over a key and velocity window. Keys and velocities are MIDI numbers 0..127, both
// ends of a window included (lo <= hi).
struct region {
  // The audio file, native and absolute where the instrument file's folder is known; empty for
  // a SoundFont region, whose audio is `embedded` instead.
  std::filesystem::path sample;
  std::optional<embedded_sample> embedded;

  int lo_key = 0;
  int hi_key = 127;
  int root_key = 60;           // the key at which the sample plays at its own pitch
  bool pitch_keytrack = true;  // false: every key plays the sample at its own pitch
  int lo_vel = 0;
  int hi_vel = 127;
  int transpose = 0;  // semitones
  double tune = 0;    // cents
  double volume = 0;  // dB, 0 = as recorded
  // SFZ amplitude, percent: the level of the zone that plays the region (its zone volume, 127 =
  // 100 %), not a gain of the audio; none when the file does not give it.
  std::optional<double> amplitude;
  // The frames played, counted from the sample's first frame: from `offset` up to, not
  // including, `end` (none: to the sample's end).
  std::uint64_t offset = 0;
  std::optional<std::uint64_t> end;
  bool release_trigger = false;  // plays when the key is let go
  std::optional<double> attack;  // amplitude envelope, seconds, when the file gives it
  std::optional<double> release;

  // Where the region was defined, for reports ("piano.sfz:12", "preset 0:1 zone 3").
  std::string origin;
};

struct instrument {
  std::string name;
  std::vector<region> regions;
  // What the file holds that the regions do not carry (opcodes, generators, loops, regions that
  // could not be used), one line each, in the order first met: a report's lines.
  std::vector<std::string> not_carried_over;
  // Audio taken out of an archive for the regions to name, kept until the last copy of the
  // instrument is gone (then removed).
  std::shared_ptr<const void> extracted;
};

// An instrument file that cannot be read: the message names the file and the line (text
// formats) or the chunk (SoundFont) where reading stopped.
class instrument_error : public command_error {
 public:
  using command_error::command_error;
};

// Counts what an instrument file holds that has no place in the regions, by a short key (an
// opcode, a generator name), and gives one line per key with its count, in the order first met.
class not_carried_tally {
 public:
  void add(const std::string& key);
  // A line of its own, without a count (a region that could not be used).
  void note(const std::string& line);
  // "loop_mode (3 times)", "sample=*sine (once)".
  std::vector<std::string> lines() const;

 private:
  std::vector<std::pair<std::string, int>> counts_;
  std::unordered_map<std::string, std::size_t> index_;  // key -> its place in counts_
};

}  // namespace qbank
