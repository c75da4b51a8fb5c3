// Text in the Windows ANSI code page of the user's language <-> UTF-8.
// The code page is guessed from the locale (LC_ALL, LC_CTYPE, LANG): Windows-1251 for Cyrillic
// languages, 1250 for Central European ones, 1253 Greek, 1254 Turkish, 1255 Hebrew, 1256 Arabic,
// 1257 Baltic, 1258 Vietnamese, 1252 otherwise. QBANK_CODEPAGE (for example "1251") overrides.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qbank {

// The code page in use (1250..1258), chosen once per process.
int active_codepage();
// For tests: use `codepage` from now on (0 goes back to the guess).
void set_active_codepage(int codepage);

// Code-page bytes -> UTF-8. Bytes without a character in the code page become U+FFFD.
std::string to_utf8(std::string_view ansi);

// UTF-8 -> code-page bytes; none when a character has no form in the code page or the text
// is not valid UTF-8. `bad` receives the first offending character (as UTF-8) when given.
std::optional<std::string> from_utf8(std::string_view utf8, std::string* bad = nullptr);

}  // namespace qbank
