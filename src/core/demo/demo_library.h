// The demo library: a small set of synthesised WAV files and a version-6 script that uses them,
// so that a fresh checkout has something to open, validate, build and play without any audio
// of its own. Everything is computed, never stored: the same call writes the same bytes on
// every run and every machine (integer arithmetic and a fixed-seed noise generator only).
//
//   DIR/Lead 048.wav ... Lead 084.wav   mono lead, notes 48..84 every 3 semitones
//   DIR/Pad 048.wav ... Pad 072.wav     stereo pad, detuned voices, slow attack
//   DIR/Bass 028.wav ... Bass 052.wav   mono plucked bass, every 6 semitones
//   DIR/Drums 036 Kick.wav ...          mono drum kit: kick, snare, clap, hats, tom (note in name)
//   DIR/Demo.qbs                        the script: named multisamples and programs
#pragma once

#include <cstdint>
#include <filesystem>

namespace qbank {

class host;

struct demo_library {
  std::filesystem::path script;  // DIR/Demo.qbs, absolute
  std::uint32_t wav_files = 0;   // WAV files written
  std::uint64_t wav_bytes = 0;   // their total size in bytes, headers included
};

// Writes the demo library into `dir` (created with missing parents), replacing files of the
// same names atomically. The script refers to each WAV file by its absolute path, stored in the
// active code page. Shows the script save's progress through `h`. Throws file_error when a file
// cannot be created or written, and command_error, before anything is written, when the
// folder's path has a character the code page cannot store.
demo_library write_demo_library(const std::filesystem::path& dir, host& h);

}  // namespace qbank
