#include "platform/codepage.h"

#include <iconv.h>

#include <array>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>

namespace qbank {
namespace {

constexpr char32_t replacement = 0xFFFD;

int guess_codepage() {
  if (const char* forced = std::getenv("QBANK_CODEPAGE"); forced && *forced) {
    const int cp = std::atoi(forced);
    if (cp >= 1250 && cp <= 1258) return cp;
  }
  const char* locale = nullptr;
  for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) {
      locale = v;
      break;
    }
  }
  if (!locale) return 1252;
  std::string lang;
  for (const char* p = locale; *p && std::isalpha(static_cast<unsigned char>(*p)); ++p)
    lang += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
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

struct codepage_table {
  std::array<char32_t, 256> to_unicode{};
  std::unordered_map<char32_t, unsigned char> from_unicode;
};

codepage_table build_table(int codepage) {
  codepage_table t;
  for (int b = 0; b < 128; ++b) t.to_unicode[b] = static_cast<char32_t>(b);
  for (int b = 128; b < 256; ++b) t.to_unicode[b] = replacement;
  const std::string name = "CP" + std::to_string(codepage);
  iconv_t cd = iconv_open("UTF-32LE", name.c_str());
  if (cd != reinterpret_cast<iconv_t>(-1)) {
    for (int b = 128; b < 256; ++b) {
      char in = static_cast<char>(b);
      unsigned char out[16];
      char* inp = &in;
      char* outp = reinterpret_cast<char*>(out);
      std::size_t in_left = 1, out_left = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &inp, &in_left, &outp, &out_left) != static_cast<std::size_t>(-1) &&
          sizeof out - out_left == 4) {
        t.to_unicode[b] = out[0] | (out[1] << 8) | (out[2] << 16) | (char32_t{out[3]} << 24);
      }
    }
    iconv_close(cd);
  }
  for (int b = 0; b < 256; ++b)
    if (t.to_unicode[b] != replacement) t.from_unicode.emplace(t.to_unicode[b], b);
  return t;
}

std::atomic<int> chosen{0};
std::mutex tables_mutex;

const codepage_table& table() {
  static std::unordered_map<int, codepage_table> tables;
  const int cp = active_codepage();
  std::lock_guard lock(tables_mutex);
  auto it = tables.find(cp);
  if (it == tables.end()) it = tables.emplace(cp, build_table(cp)).first;
  return it->second;
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
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
  i += 1 + extra;
  return true;
}

}  // namespace

int active_codepage() {
  int cp = chosen.load();
  if (cp == 0) {
    cp = guess_codepage();
    chosen.store(cp);
  }
  return cp;
}

void set_active_codepage(int codepage) {
  chosen.store(codepage);
}

std::string to_utf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size());
  bool ascii = true;
  for (char ch : ansi) ascii &= static_cast<unsigned char>(ch) < 0x80;
  if (ascii) return std::string(ansi);
  const codepage_table& t = table();
  for (char ch : ansi) append_utf8(out, t.to_unicode[static_cast<unsigned char>(ch)]);
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
    if (!t) t = &table();
    auto it = t->from_unicode.find(c);
    if (it == t->from_unicode.end()) {
      if (bad) *bad = std::string(utf8.substr(start, i - start));
      return std::nullopt;
    }
    out += static_cast<char>(it->second);
  }
  return out;
}

}  // namespace qbank
