#include "audio/conform_manifest.h"

#include <charconv>
#include <vector>

#include "platform/file_io.h"
#include "platform/paths.h"

namespace qbank {
namespace {

constexpr std::string_view first_line =
    "# qbank conform: files below this folder converted from sources; do not edit";

std::string escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '%':
        out += "%25";
        break;
      case '\t':
        out += "%09";
        break;
      case '\r':
        out += "%0D";
        break;
      case '\n':
        out += "%0A";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool unescape(std::string_view text, std::string& out) {
  out.clear();
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (text[k] != '%') {
      out += text[k];
      continue;
    }
    if (k + 2 >= text.size()) return false;
    const std::string_view code = text.substr(k + 1, 2);
    if (code == "25")
      out += '%';
    else if (code == "09")
      out += '\t';
    else if (code == "0D")
      out += '\r';
    else if (code == "0A")
      out += '\n';
    else
      return false;
    k += 2;
  }
  return true;
}

template <class Number>
bool number(std::string_view text, Number& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', begin);
    out.push_back(line.substr(begin, tab == std::string_view::npos ? tab : tab - begin));
    if (tab == std::string_view::npos) return out;
    begin = tab + 1;
  }
}

}  // namespace

conform_manifest conform_manifest::read(const std::filesystem::path& folder) {
  const std::filesystem::path file = folder / path_from_utf8(conform_manifest_name);
  if (!file_exists(file)) return {};
  const std::vector<std::uint8_t> bytes = read_whole_file(file);
  return parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

conform_manifest conform_manifest::parse(std::string_view text) {
  conform_manifest m;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(begin, end - begin);
    begin = end + 1;
    if (line.empty() || line.front() == '#') continue;
    const std::vector<std::string_view> f = fields(line);
    manifest_entry e;
    if (f.size() != 5 || !unescape(f[0], e.result) || !unescape(f[1], e.source) ||
        e.result.empty() || !number(f[2], e.source_stamp.size) ||
        !number(f[3], e.source_stamp.modified) || !number(f[4], e.result_size))
      continue;
    m.put(std::move(e));
  }
  return m;
}

const manifest_entry* conform_manifest::find(std::string_view result) const {
  const auto it = entries_.find(result);
  return it == entries_.end() ? nullptr : &it->second;
}

void conform_manifest::put(manifest_entry e) {
  std::string key = e.result;
  entries_.insert_or_assign(std::move(key), std::move(e));
}

void conform_manifest::erase(std::string_view result) {
  const auto it = entries_.find(result);
  if (it != entries_.end()) entries_.erase(it);
}

std::string conform_manifest::text() const {
  std::string out(first_line);
  out += '\n';
  for (const auto& [key, e] : entries_) {
    out += escaped(e.result) + '\t' + escaped(e.source) + '\t' +
           std::to_string(e.source_stamp.size) + '\t' + std::to_string(e.source_stamp.modified) +
           '\t' + std::to_string(e.result_size) + '\n';
  }
  return out;
}

}  // namespace qbank
