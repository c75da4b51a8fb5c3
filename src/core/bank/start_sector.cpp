#include "bank/start_sector.h"

#include <algorithm>
#include <cstring>

#include "bank/bank.h"

namespace qbank {
sector_bytes start_sector_layout(std::string_view text, std::uint8_t last_byte) {
  sector_bytes s{};
  std::fill_n(s.begin(), 48, ' ');
  std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 48), s.begin());
  const std::uint8_t fills[] = {0x55, 0xAA, 0x11, 0xF1, 0x80, 0x44, 0xC3};
  for (std::size_t k = 0; k < std::size(fills); ++k)
    std::fill_n(s.begin() + 0x30 + 16 * k, 16, fills[k]);
  const std::uint8_t group[16] = {0xF0, 0x22, 0x55, 0x00, 0x00, 0xFF, 0xFF, 0xF0,
                                  0xFF, 0x13, 0xB6, 0xF0, 0x55, 0x44, 0x22, 0x11};
  std::memcpy(s.data() + 0xA0, group, 16);
  for (int k = 0; k < 16; ++k) s[0xF0 + k] = (k % 2 == 0) ? 0x55 : 0xAA;
  for (int k = 0; k < 15; ++k) s[0x1F0 + k] = (k % 2 == 0) ? 0x55 : 0xAA;
  s[0x1FF] = last_byte;
  return s;
}

const sector_bytes& start_sector_template(int version) {
  static const std::array<sector_bytes, 7> templates = [] {
    std::array<sector_bytes, 7> t{};
    for (int v = 0; v <= 6; ++v)
      t[v] = start_sector_layout("Quorvatek Ample Tone Sampler Bank File 1.00", version_code(v));
    return t;
  }();
  return templates[std::clamp(version, 0, 6)];
}

std::optional<int> bank_file_version(std::span<const std::uint8_t> sector) {
  if (sector.size() < 512) return std::nullopt;
  const sector_bytes& t = start_sector_template(6);
  if (!std::equal(t.begin(), t.begin() + 511, sector.begin())) return std::nullopt;
  const int code = sector[511];
  if (code < 0xAA || code > 0xAE) return std::nullopt;
  return code - 0xA8;
}

int programs_in_version(int version) {
  switch (version) {
    case 3:
      return 256;
    case 4:
      return 999;
    case 5:
    case 6:
      return 9999;
    default:
      return 128;
  }
}

int multisamples_in_version(int version) {
  return version == 6 ? 10000 : 2048;
}

std::uint64_t header_size(int version) {
  return 512 + 2048 + 512ull * programs_in_version(version) +
         1024ull * multisamples_in_version(version);
}

audio_extent find_audio_extent(const bank& b, int multisample_limit) {
  std::uint64_t first = UINT64_MAX;
  std::uint64_t end = 0;
  for (int n = 0; n < std::min(multisample_limit, multisample_count); ++n) {
    const auto& slots = b.multisample(n).slots;
    if (all_zero_bytes(slots, sizeof slots)) continue;
    for (const slot& s : slots) {
      const std::uint32_t at = s.first_sector;
      if (at == 0) continue;
      first = std::min<std::uint64_t>(first, at);
      end = std::max(end, (std::uint64_t{at} + s.sector_count) * sector_size);
    }
  }
  return end == 0 ? audio_extent{} : audio_extent{first * sector_size, end};
}

}  // namespace qbank
