#include "platform/file_error.h"

#include <cstring>

#include "platform/paths.h"

namespace qbank {

file_error::file_error(const std::filesystem::path& path, const std::string& reason)
    : std::runtime_error(path_to_utf8(path) + ": " + reason), path_(path), reason_(reason) {}

file_error file_error::from_errno(const std::filesystem::path& path, int err) {
  return file_error(path, std::strerror(err));
}

}  // namespace qbank
