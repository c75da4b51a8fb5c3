#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_error.h"
#include "platform/replace_file.h"

namespace qbank {

void replace_file(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) throw file_error::from_errno(to, errno);
  std::filesystem::path folder = to.parent_path();
  if (folder.empty()) folder = ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;  // the rename is done; a folder we cannot open is not worth failing for
  ::fsync(fd);
  ::close(fd);
}

}  // namespace qbank
