// What the system itself makes of a code page byte, to hold the built-in tables against.
#pragma once

#include <optional>

namespace qbank::testing {

// The character Windows decodes `byte` of `codepage` to (MultiByteToWideChar); none on
// systems other than Windows.
std::optional<char32_t> system_decodes(int codepage, unsigned char byte);

}  // namespace qbank::testing
