// The code page tables built into the program (see codepage.h).
#pragma once

#include <array>

namespace qbank {

constexpr int first_codepage = 1250;
constexpr int codepage_count = 9;  // 1250 .. 1258

// codepage_upper_halves[cp - first_codepage][b - 0x80]: the character of byte b in code page cp.
extern const std::array<std::array<char16_t, 128>, codepage_count> codepage_upper_halves;

}  // namespace qbank
