#include "platform/paths.h"

#include <algorithm>
#include <cctype>

#include "platform/codepage.h"
#include "platform/file_error.h"

namespace qbank {

std::filesystem::path path_from_utf8(std::string_view utf8) {
  return std::filesystem::path(
      std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string path_to_utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string native_path_text(std::string_view stored) {
  std::string text = to_utf8(stored);
#ifndef _WIN32
  std::replace(text.begin(), text.end(), '\\', '/');
#endif
  return text;
}

std::filesystem::path native_path(std::string_view stored) {
  return path_from_utf8(native_path_text(stored));
}

std::string stored_path(const std::filesystem::path& native) {
  std::string bad;
  const std::string utf8 = path_to_utf8(native);
  std::optional<std::string> text = from_utf8(utf8, &bad);
  if (!text)
    throw command_error("The path \"" + utf8 + "\" holds the character \"" + bad +
                        "\", which the code page " + std::to_string(active_codepage()) +
                        " cannot store.");
  return *text;
}

std::string_view stored_file_name(std::string_view path) {
  const std::size_t sep = path.find_last_of("\\/");
  return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

std::string_view stored_folder(std::string_view path) {
  const std::size_t sep = path.find_last_of("\\/");
  return sep == std::string_view::npos ? std::string_view{} : path.substr(0, sep);
}

std::string replace_extension(std::string_view path, std::string_view extension) {
  const std::size_t name_start = path.size() - stored_file_name(path).size();
  const std::size_t dot = path.rfind('.');
  std::string out(
      path.substr(0, dot != std::string_view::npos && dot >= name_start ? dot : path.size()));
  out += extension;
  return out;
}

std::filesystem::path path_with_extension(const std::filesystem::path& path,
                                          std::string_view extension) {
  return path_from_utf8(replace_extension(path_to_utf8(path), extension));
}

bool has_extension(std::string_view path, std::string_view extension) {
  const std::string_view name = stored_file_name(path);
  if (name.size() < extension.size()) return false;
  const std::string_view tail = name.substr(name.size() - extension.size());
  return std::equal(tail.begin(), tail.end(), extension.begin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  });
}

}  // namespace qbank
