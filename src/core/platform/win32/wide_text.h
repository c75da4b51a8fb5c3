// UTF-8 <-> UTF-16 for the wide Win32 calls.
#pragma once

#include <string>
#include <string_view>

namespace qbank::win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace qbank::win32
