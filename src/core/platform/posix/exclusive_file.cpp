#include "platform/exclusive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qbank {
namespace {

write_failure failure_of(int err) {
  write_failure f;
  if (err == EEXIST)
    f.kind = write_failure::exists;
  else if (err == ENOSPC || err == EDQUOT)
    f.kind = write_failure::no_space;
  f.reason = std::strerror(err);
  return f;
}

void sync_folder_of(const std::filesystem::path& path) {
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // Some file systems cannot sync a folder (EINVAL); the rename is done either way.
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

exclusive_file::exclusive_file(const std::filesystem::path& path) : path_(path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) throw failure_of(errno);
  handle_ = fd;
}

exclusive_file::~exclusive_file() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

void exclusive_file::write(const void* data, std::size_t count) {
  const char* p = static_cast<const char*>(data);
  while (count > 0) {
    const ssize_t n = ::write(static_cast<int>(handle_), p, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw failure_of(errno);
    }
    p += n;
    count -= static_cast<std::size_t>(n);
  }
}

void exclusive_file::finish() {
  const int fd = static_cast<int>(handle_);
  handle_ = -1;
  if (::fsync(fd) != 0 && errno != EINVAL) {
    const int err = errno;
    ::close(fd);
    throw failure_of(err);
  }
  if (::close(fd) != 0) throw failure_of(errno);
  // Synced pages are clean, so dropping them makes the read-back come from the medium.
  const int again = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (again >= 0) {
    ::posix_fadvise(again, 0, 0, POSIX_FADV_DONTNEED);
    ::close(again);
  }
}

void rename_no_replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL && errno != ENOSYS) throw failure_of(errno);
    // A file system without the no-replace rename: look first (a race here is harmless, the
    // card is not shared while the assistant writes it).
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) throw failure_of(EEXIST);
    if (::rename(from.c_str(), to.c_str()) != 0) throw failure_of(errno);
  }
  sync_folder_of(to);
}

}  // namespace qbank
