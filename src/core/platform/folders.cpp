#include "platform/folders.h"

#include <algorithm>
#include <atomic>
#include <system_error>

#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/file_os.h"
#include "platform/paths.h"

namespace qbank {

std::uint64_t free_space(const std::filesystem::path& folder) {
  std::error_code ec;
  const std::filesystem::space_info info = std::filesystem::space(folder, ec);
  if (ec) throw file_error(folder, ec.message());
  return info.available;
}

namespace {

bool folder_step_allowed(const std::filesystem::path& folder) {
  try {
    return file_step_allowed(file_step::create_folder, folder);
  } catch (const file_error&) {
    return false;
  }
}

}  // namespace

bool create_folders(const std::filesystem::path& folder) {
  if (!folder_step_allowed(folder)) return false;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return !ec && std::filesystem::is_directory(folder, ec);
}

bool create_folders_below(const std::filesystem::path& base, const std::filesystem::path& folder) {
  if (!folder_step_allowed(folder)) return false;
  const std::filesystem::path rest = folder.lexically_relative(base);
  if (rest.empty() || *rest.begin() == "..") return false;
  std::filesystem::path at = base;
  // One name at a time, each looked at without following it: an existing link is never
  // entered, and a folder made here is a folder.
  for (const std::filesystem::path& name : rest) {
    if (name.empty() || name == ".") continue;
    at /= name;
    std::error_code ec;
    std::filesystem::create_directory(at, ec);
    if (ec || os::is_link(at) || os::kind_of(at) != os::file_kind::folder) return false;
  }
  return true;
}

std::filesystem::path create_temporary_folder(std::string_view prefix) {
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) throw file_error(std::filesystem::path(), "no temporary folder: " + ec.message());
  static std::atomic<unsigned> counter{0};
  const std::string stem = std::string(prefix) + std::to_string(os::process_id()) + "-";
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::filesystem::path folder = base / path_from_utf8(stem + std::to_string(++counter));
    if (!folder_step_allowed(folder)) throw file_error(folder, "cannot create the folder");
    // create_directory is false, without an error, when the name is taken: try the next one.
    if (!std::filesystem::create_directory(folder, ec)) {
      if (ec) throw file_error(folder, ec.message());
      continue;
    }
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, ec);
    return folder;
  }
  throw file_error(base, "no free name for a temporary folder");
}

bool remove_folder_tree(const std::filesystem::path& folder) noexcept {
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return !ec;
}

bool same_file(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

std::vector<std::filesystem::path> files_with_extension(const std::filesystem::path& folder,
                                                        std::string_view extension) {
  std::vector<std::filesystem::path> found;
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  if (error) return found;
  for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (error) break;
    std::error_code type_error;
    if (!it->is_regular_file(type_error)) continue;
    const std::u8string name = it->path().filename().u8string();
    if (has_extension(std::string_view(reinterpret_cast<const char*>(name.data()), name.size()),
                      extension))
      found.push_back(it->path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace qbank
