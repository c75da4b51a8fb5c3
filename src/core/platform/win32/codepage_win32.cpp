// The system's code page on Windows: the ANSI code page the original program stored its texts in.
#include <windows.h>

#include "platform/codepage.h"

namespace qbank {

int system_codepage() {
  const int cp = static_cast<int>(::GetACP());
  return codepage_supported(cp) ? cp : 1252;
}

}  // namespace qbank
