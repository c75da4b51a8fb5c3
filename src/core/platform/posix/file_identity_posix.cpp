#include <sys/stat.h>

#include "platform/file_identity.h"

namespace qbank {

std::optional<file_identity> identity_of(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return file_identity{static_cast<std::uint64_t>(st.st_dev),
                       static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace qbank
