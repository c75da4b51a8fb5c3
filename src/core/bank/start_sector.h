// The start sector of first-generation bank files: a fixed 512-byte template whose last byte
// is the version code. Readers compare bytes 0..510 with the template.
//
//   0x000  48  "Quorvatek Ample Tone Sampler Bank File 1.00     "
//   0x030  16  0x55      0x040  16  0xAA      0x050  16  0x11      0x060  16  0xF1
//   0x070  16  0x80      0x080  16  0x44      0x090  16  0xC3
//   0x0A0  16  F0 22 55 00 00 FF FF F0 FF 13 B6 F0 55 44 22 11
//   0x0B0  64  0x00      0x0F0  16  55 AA repeated      0x100 240  0x00
//   0x1F0  15  55 AA 55 ... 55                          0x1FF   1  version code
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace qbank {

class bank;

using sector_bytes = std::array<std::uint8_t, 512>;

// Version code at byte 0x1FF: 0xA8 + version for versions 2..6; version 1 shares 0xAA with 2.
inline constexpr std::uint8_t version_code(int version) {
  return static_cast<std::uint8_t>(0xA8 + (version < 2 ? 2 : version));
}

// The template's layout with `text` (48 bytes, padded with spaces) at 0x000 and `last_byte` at
// 0x1FF; second-generation bank files share the fill patterns.
sector_bytes start_sector_layout(std::string_view text, std::uint8_t last_byte);

// The 512 bytes of the template with byte 0x1FF set to the code of `version` (1..6).
const sector_bytes& start_sector_template(int version);

// The version (2..6) of a sector whose bytes 0..510 equal the template; none otherwise.
std::optional<int> bank_file_version(std::span<const std::uint8_t> sector);

// Programs and multisample records stored by a bank file or script of `version` (1..6).
int programs_in_version(int version);
int multisamples_in_version(int version);

// Bytes before the audio area of a bank file of `version`:
// 512 + 2048 + 512 x programs + 1024 x multisample records.
std::uint64_t header_size(int version);

// Where the slots with audio (first_sector not 0) of multisamples 0..multisample_limit-1 lie:
// `end` is the end of the audio area, the largest (first_sector + sector_count) x 512, and
// `first` the lowest first_sector x 512; both 0 when no slot has audio. One pass over the slot
// tables, which a read of a large bank walks once.
struct audio_extent {
  std::uint64_t first = 0;
  std::uint64_t end = 0;
};
audio_extent find_audio_extent(const bank& b, int multisample_limit = 10000);

}  // namespace qbank
