// Small text helpers shared by reports and messages.
#pragma once

#include <cstdint>
#include <string>

namespace qbank {

// Decimal with a single space between groups of three digits counted from the right:
// 1234567 -> "1 234 567", 999 -> "999".
std::string group_thousands(std::uint64_t value);

// printf into a std::string.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace qbank
