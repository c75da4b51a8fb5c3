#include "support/system_codepage.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace qbank::testing {

std::optional<char32_t> system_decodes(int codepage, unsigned char byte) {
#ifdef _WIN32
  const char in = static_cast<char>(byte);
  wchar_t out[4] = {};
  if (::MultiByteToWideChar(static_cast<UINT>(codepage), 0, &in, 1, out, 4) != 1)
    return char32_t{0xFFFF};
  return static_cast<char32_t>(out[0]);
#else
  (void)codepage, (void)byte;
  return std::nullopt;
#endif
}

}  // namespace qbank::testing
