// The system's code page on POSIX systems: a guess from the locale, which has no ANSI code page.
#include <cstdlib>

#include "platform/codepage.h"

namespace qbank {

int system_codepage() {
  for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return codepage_of_locale(v);
  }
  return 1252;
}

}  // namespace qbank
