#include "platform/file_error.h"

#include <cstring>

namespace qbank {

file_error file_error::from_errno(const std::filesystem::path& path, int err) {
  return file_error(path, std::strerror(err));
}

}  // namespace qbank
