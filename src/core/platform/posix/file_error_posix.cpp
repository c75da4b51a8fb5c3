#include <cstring>

#include "platform/file_error.h"

namespace qbank {

file_error file_error::from_system(const std::filesystem::path& path, unsigned long code) {
  return file_error(path, std::strerror(static_cast<int>(code)));
}

}  // namespace qbank
