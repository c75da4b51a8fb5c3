// Second-generation bank files made by hand for tests: records set in an image, written in the
// layout of version 1, 2, 3 or 4, with the audio area, names sector, names text and end sector
// the reader expects. Tests damage the bytes afterwards to reach each refusal.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "manager/s2_format.h"

namespace qbank::testing {

class s2_file_builder {
 public:
  // An image with the reset values; byte 511 of the start sector is `version`.
  explicit s2_file_builder(int version);

  s2_image& image() { return *image_; }
  // Entry j of multisample m in the names text (default "- - -").
  void set_name(int m, int j, std::string text) { names_[{m, j}] = std::move(text); }
  // Gives slot j of multisample m audio at `first_sector` (absolute), `count` sectors.
  void set_audio(int m, int j, std::uint32_t first_sector, std::uint16_t count);

  // The layout the records are written in (default: the version in the start sector).
  int layout = 0;
  // header_size written into bank_file_info; 0 (default) writes the version's own.
  std::uint64_t header_size = 0;
  // Lines of the names text; the full 1,280,000 by default.
  std::size_t name_lines = 10000 * 128;

  // Bytes of the records (start sector to slot bytes) in the version's layout, with
  // bank_file_info filled from the rest of the file.
  std::vector<std::uint8_t> head() const;
  // The names sector, names text and end sector.
  std::vector<std::uint8_t> tail() const;
  // Where the tail starts: the end of the last slot's audio, or the end of the head.
  std::uint64_t tail_position() const;
  std::uint64_t total_size() const { return tail_position() + tail().size(); }

  // The whole file in memory (for files without far-away audio).
  std::vector<std::uint8_t> bytes() const;
  // Writes the file at `path`, split into parts of `part_limit` bytes like the bank writer
  // does; the audio area is left as a hole, so files of several gigabytes cost no disk space.
  void write(const std::filesystem::path& path, std::uint64_t part_limit = 4'293'918'720ull) const;

 private:
  std::vector<std::uint8_t> names_text() const;

  std::unique_ptr<s2_image> image_;
  std::map<std::pair<int, int>, std::string> names_;
};

}  // namespace qbank::testing
