// Small SoundFont 2 files for tests: presets, instruments and samples described as values, the
// RIFF chunks built from them. Damaged files are made by editing the bytes afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qbank::testing {

using sf2_gens = std::vector<std::pair<std::uint16_t, std::uint16_t>>;  // generator, amount

struct sf2_zone {
  sf2_gens gens;    // without the instrument / sampleID generator
  int target = -1;  // instrument or sample index; -1 for a global zone
};

struct sf2_sample_header {
  std::string name;
  std::uint32_t start = 0, end = 0;
  std::uint32_t rate = 44100;
  std::uint8_t pitch = 60;
  std::int8_t correction = 0;
  std::uint16_t link = 0;
  std::uint16_t type = 1;  // 1 mono, 2 right, 4 left
};

struct sf2_contents {
  struct preset {
    std::string name;
    int program = 0, bank = 0;
    std::vector<sf2_zone> zones;
  };
  struct instrument {
    std::string name;
    std::vector<sf2_zone> zones;
  };
  std::vector<preset> presets;
  std::vector<instrument> instruments;
  std::vector<sf2_sample_header> samples;
  std::uint32_t frames = 1000;  // of smpl
  bool sm24 = false;
  // The frames of smpl as 24-bit values (the top 16 bits in smpl, the low byte in sm24); those
  // not given are 0.
  std::vector<std::int32_t> audio;
};

// The whole file.
std::vector<std::uint8_t> sf2_bytes(const sf2_contents& c);

// A key or velocity range as a generator amount.
constexpr std::uint16_t sf2_range(int lo, int hi) {
  return static_cast<std::uint16_t>(lo | hi << 8);
}

}  // namespace qbank::testing
