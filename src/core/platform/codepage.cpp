#include "platform/codepage.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/codepage_tables.h"

namespace qbank {
namespace {

// One code page both ways: the upper half as characters, and the same pairs sorted by character
// for the way back.
struct codepage_table {
  const std::array<char16_t, 128>* to_unicode = nullptr;
  std::array<std::pair<char16_t, unsigned char>, 128> from_unicode{};
};

const codepage_table& table_of(int codepage) {
  static const std::array<codepage_table, codepage_count> tables = [] {
    std::array<codepage_table, codepage_count> all{};
    for (int i = 0; i < codepage_count; ++i) {
      all[i].to_unicode = &codepage_upper_halves[i];
      for (int b = 0; b < 128; ++b)
        all[i].from_unicode[b] = {codepage_upper_halves[i][b],
                                  static_cast<unsigned char>(0x80 + b)};
      std::sort(all[i].from_unicode.begin(), all[i].from_unicode.end());
    }
    return all;
  }();
  return tables[codepage - first_codepage];
}

// QBANK_CODEPAGE: none when unset or empty, else its text and the code page it names (0 when
// none: only the digits of a supported one name it).
std::optional<std::pair<std::string, int>> forced_codepage() {
  const char* forced = std::getenv("QBANK_CODEPAGE");
  if (!forced || !*forced) return std::nullopt;
  const std::string text = forced;
  int cp = 0;
  if (text.size() == 4 &&
      std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
    cp = std::stoi(text);
  return std::pair{text, codepage_supported(cp) ? cp : 0};
}

int chosen_codepage() {
  if (const auto forced = forced_codepage(); forced && forced->second != 0) return forced->second;
  const int cp = system_codepage();
  return codepage_supported(cp) ? cp : 1252;
}

std::atomic<int> chosen{0};

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 character at `i`; returns false on malformed input.
bool decode_utf8(std::string_view s, std::size_t& i, char32_t& c) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  int extra = 0;
  if (b0 < 0x80) {
    c = b0;
  } else if ((b0 & 0xE0) == 0xC0) {
    c = b0 & 0x1F, extra = 1;
  } else if ((b0 & 0xF0) == 0xE0) {
    c = b0 & 0x0F, extra = 2;
  } else if ((b0 & 0xF8) == 0xF0) {
    c = b0 & 0x07, extra = 3;
  } else {
    return false;
  }
  if (extra > 0 && i + extra >= s.size()) return false;
  for (int k = 1; k <= extra; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return false;
    c = (c << 6) | (b & 0x3F);
  }
  // Overlong forms (a hidden "/" or NUL), surrogates and values past U+10FFFF are not UTF-8.
  static constexpr char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
  if (c < smallest[extra] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return false;
  i += 1 + extra;
  return true;
}

}  // namespace

bool codepage_supported(int codepage) {
  return codepage >= first_codepage && codepage < first_codepage + codepage_count;
}

std::string supported_codepages_text() {
  std::string text;
  for (int cp = first_codepage; cp < first_codepage + codepage_count; ++cp)
    text += (text.empty() ? "" : ", ") + std::to_string(cp);
  return text;
}

std::optional<std::string> unknown_forced_codepage() {
  const auto forced = forced_codepage();
  if (!forced || forced->second != 0) return std::nullopt;
  return forced->first;
}

int codepage_of_locale(std::string_view locale) {
  std::string lang;
  for (char ch : locale) {
    if (!std::isalpha(static_cast<unsigned char>(ch))) break;
    lang += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  }
  static const std::unordered_map<std::string, int> by_language = {
      {"ru", 1251}, {"uk", 1251}, {"be", 1251}, {"bg", 1251}, {"sr", 1251}, {"mk", 1251},
      {"kk", 1251}, {"ky", 1251}, {"mn", 1251}, {"tt", 1251}, {"pl", 1250}, {"cs", 1250},
      {"sk", 1250}, {"hu", 1250}, {"sl", 1250}, {"hr", 1250}, {"ro", 1250}, {"bs", 1250},
      {"sq", 1250}, {"el", 1253}, {"tr", 1254}, {"az", 1254}, {"he", 1255}, {"iw", 1255},
      {"ar", 1256}, {"fa", 1256}, {"ur", 1256}, {"lt", 1257}, {"lv", 1257}, {"et", 1257},
      {"vi", 1258}};
  auto it = by_language.find(lang);
  return it == by_language.end() ? 1252 : it->second;
}

int active_codepage() {
  int cp = chosen.load();
  if (cp == 0) {
    cp = chosen_codepage();
    chosen.store(cp);
  }
  return cp;
}

void set_active_codepage(int codepage) {
  chosen.store(codepage_supported(codepage) ? codepage : 0);
}

std::string to_utf8(std::string_view ansi) {
  bool ascii = true;
  for (char ch : ansi) ascii &= static_cast<unsigned char>(ch) < 0x80;
  if (ascii) return std::string(ansi);
  const codepage_table& t = table_of(active_codepage());
  std::string out;
  out.reserve(ansi.size() + ansi.size() / 2);
  for (char ch : ansi) {
    const auto b = static_cast<unsigned char>(ch);
    append_utf8(out, b < 0x80 ? char32_t{b} : char32_t{(*t.to_unicode)[b - 0x80]});
  }
  return out;
}

std::optional<std::string> from_utf8(std::string_view utf8, std::string* bad) {
  std::string out;
  out.reserve(utf8.size());
  const codepage_table* t = nullptr;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t start = i;
    char32_t c = 0;
    if (!decode_utf8(utf8, i, c)) {
      if (bad) *bad = std::string(utf8.substr(start, 1));
      return std::nullopt;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    if (!t) t = &table_of(active_codepage());
    const auto it =
        std::lower_bound(t->from_unicode.begin(), t->from_unicode.end(),
                         std::pair<char16_t, unsigned char>{static_cast<char16_t>(c), 0});
    if (c > 0xFFFF || it == t->from_unicode.end() || it->first != c) {
      if (bad) *bad = std::string(utf8.substr(start, i - start));
      return std::nullopt;
    }
    out += static_cast<char>(it->second);
  }
  return out;
}

}  // namespace qbank
