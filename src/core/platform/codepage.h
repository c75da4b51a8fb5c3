// Text in the Windows ANSI code page of the user's language <-> UTF-8, through tables built into
// the program, so that the same bytes give the same text on every system.
//
// Supported code pages: 1250 (Central European), 1251 (Cyrillic), 1252 (Western), 1253 (Greek),
// 1254 (Turkish), 1255 (Hebrew), 1256 (Arabic), 1257 (Baltic), 1258 (Vietnamese). Bytes that a
// code page leaves undefined decode as Windows decodes them (MultiByteToWideChar without
// best-fit): 0x81, 0x8D, 0x8F, 0x90 and 0x9D of 1252 become U+0081 ..., the holes of 1253, 1255
// and 1257 become Windows' private-use characters. Every byte thus has exactly one character,
// and every stored text converts to UTF-8 and back to the same bytes.
//
// The code page in use: QBANK_CODEPAGE (for example "1251") when it names a supported one;
// otherwise the system's (see system_codepage()). Programs refuse to run with a value that names
// none (see unknown_forced_codepage()).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qbank {

// The code page in use (1250..1258), chosen once per process.
int active_codepage();
// For tests: use `codepage` from now on (0 goes back to the choice above).
void set_active_codepage(int codepage);

// True for the code pages listed above.
bool codepage_supported(int codepage);
// The supported code pages as a list for messages: "1250, 1251, ..., 1258".
std::string supported_codepages_text();
// The value of QBANK_CODEPAGE when it is set but names no supported code page ("437", "1251x");
// none when it is unset, empty or supported.
std::optional<std::string> unknown_forced_codepage();

// The system's choice: on Windows the ANSI code page (GetACP); elsewhere a guess from the locale
// (LC_ALL, LC_CTYPE, LANG): 1251 for Cyrillic languages, 1250 for Central European ones, 1253
// Greek, 1254 Turkish, 1255 Hebrew, 1256 Arabic, 1257 Baltic, 1258 Vietnamese. 1252 when the
// system names none of the supported code pages.
int system_codepage();

// The code page of a locale name such as "ru_RU.UTF-8" (1252 for languages not listed above).
int codepage_of_locale(std::string_view locale);

// Code-page bytes -> UTF-8.
std::string to_utf8(std::string_view ansi);

// UTF-8 -> code-page bytes; none when a character has no form in the code page or the text
// is not valid UTF-8. `bad` receives the first offending character (as UTF-8) when given.
std::optional<std::string> from_utf8(std::string_view utf8, std::string* bad = nullptr);

}  // namespace qbank
