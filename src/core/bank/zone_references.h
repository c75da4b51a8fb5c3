// The multisample references of a program record: every operation that follows, counts,
// renumbers or copies them walks them in this one order.
#pragma once

#include <array>
#include <cstdint>
#include <type_traits>

#include "bank/bank_format.h"

namespace qbank {

// 8 basic zones, the legato zone, the release zone and 4 modulation zones.
inline constexpr int zone_reference_count = 14;

namespace detail {
template <typename Blend>
auto zone_references_of(Blend& p) {
  using field = std::conditional_t<std::is_const_v<Blend>, const std::uint16_t, std::uint16_t>;
  std::array<field*, zone_reference_count> refs{};
  for (int i = 0; i < 8; ++i) refs[i] = &p.zones[i].multisample;
  refs[8] = &p.legato_zone.multisample;
  refs[9] = &p.release_zone.multisample;
  for (int i = 0; i < 4; ++i) refs[10 + i] = &p.mod_zones[i].multisample;
  return refs;
}
}  // namespace detail

// The `multisample` fields of program `p`: index 0..7 the basic zones, 8 legato, 9 release,
// 10..13 the modulation zones 1..4. The pointers stay valid as long as the record.
inline std::array<std::uint16_t*, zone_reference_count> multisample_references(blend& p) {
  return detail::zone_references_of(p);
}
inline std::array<const std::uint16_t*, zone_reference_count> multisample_references(
    const blend& p) {
  return detail::zone_references_of(p);
}

}  // namespace qbank
