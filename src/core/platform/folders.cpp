#include "platform/folders.h"

#include <system_error>

#include "platform/file_error.h"

namespace qbank {

std::uint64_t free_space(const std::filesystem::path& folder) {
  std::error_code ec;
  const std::filesystem::space_info info = std::filesystem::space(folder, ec);
  if (ec) throw file_error(folder, ec.message());
  return info.available;
}

bool create_folders(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return !ec && std::filesystem::is_directory(folder, ec);
}

bool same_file(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace qbank
