// POSIX implementation of the operating system's side of file access (see file_os.h).
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/file_error.h"
#include "platform/file_os.h"

namespace qbank::os {
namespace {

int fd_of(handle h) {
  return static_cast<int>(h);
}

const char* kind_text(mode_t mode) {
  if (S_ISDIR(mode)) return "Is a directory, not a regular file";
  if (S_ISFIFO(mode)) return "Is a named pipe (FIFO), not a regular file";
  if (S_ISCHR(mode)) return "Is a character device, not a regular file";
  if (S_ISBLK(mode)) return "Is a block device, not a regular file";
  if (S_ISSOCK(mode)) return "Is a socket, not a regular file";
  return "Is not a regular file";
}

}  // namespace

handle open_read(const std::filesystem::path& path, std::uint64_t& size) {
  // O_NONBLOCK: opening a FIFO would otherwise wait for a writer forever.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw file_error::from_errno(path, errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    throw file_error::from_errno(path, err);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    throw file_error(path, kind_text(st.st_mode));
  }
  // O_NONBLOCK stays set: reads of a regular file ignore it on the systems this runs on, and
  // clearing it would cost two more system calls a file (validating 100,000 small files spends
  // its time in system calls). read_at() clears it should a read ever answer EAGAIN.
  size = static_cast<std::uint64_t>(st.st_size);
  return fd;
}

std::size_t read_at(handle h, const std::filesystem::path& path, void* buffer, std::size_t count,
                    std::uint64_t offset) {
  std::size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < count) {
    const ssize_t n =
        ::pread(fd_of(h), out + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        const int flags = ::fcntl(fd_of(h), F_GETFL);
        if (flags >= 0 && (flags & O_NONBLOCK) &&
            ::fcntl(fd_of(h), F_SETFL, flags & ~O_NONBLOCK) == 0)
          continue;
      }
      throw file_error::from_errno(path, errno);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

handle create_new(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) return fd;
  if (errno == EEXIST) return no_handle;
  throw file_error::from_errno(path, errno);
}

void write_all(handle h, const std::filesystem::path& path, const void* data, std::size_t count) {
  const char* p = static_cast<const char*>(data);
  while (count > 0) {
    const ssize_t n = ::write(fd_of(h), p, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        const int flags = ::fcntl(fd_of(h), F_GETFL);
        if (flags >= 0 && (flags & O_NONBLOCK) &&
            ::fcntl(fd_of(h), F_SETFL, flags & ~O_NONBLOCK) == 0)
          continue;
      }
      throw file_error::from_errno(path, errno);
    }
    p += n;
    count -= static_cast<std::size_t>(n);
  }
}

void sync(handle h, const std::filesystem::path& path) {
  // EINVAL: a file system that cannot sync (some special mounts) has nothing to flush.
  if (::fsync(fd_of(h)) != 0 && errno != EINVAL) throw file_error::from_errno(path, errno);
}

void close(handle h, const std::filesystem::path& path) {
  if (::close(fd_of(h)) != 0) throw file_error::from_errno(path, errno);
}

void close_quietly(handle h) noexcept {
  ::close(fd_of(h));
}

void rename_replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) throw file_error::from_errno(to, errno);
}

bool remove(const std::filesystem::path& path) {
  if (::unlink(path.c_str()) == 0) return true;
  if (errno == ENOENT) return false;
  throw file_error::from_errno(path, errno);
}

void sync_folder(const std::filesystem::path& folder) {
  const std::filesystem::path name = folder.empty() ? std::filesystem::path(".") : folder;
  const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw file_error::from_errno(name, errno);
  const int rc = ::fsync(fd);
  const int err = errno;
  ::close(fd);
  if (rc != 0 && err != EINVAL && err != EBADF) throw file_error::from_errno(name, err);
}

file_kind kind_of(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return file_kind::missing;
  if (S_ISREG(st.st_mode)) return file_kind::regular;
  if (S_ISDIR(st.st_mode)) return file_kind::folder;
  return file_kind::other;
}

void refuse_unwritable(const std::filesystem::path& path) {
  // The effective rights, as open() would judge them (ACLs, a read-only mount, an immutable
  // file included): the superuser may write a file whose bits say no, as in place.
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) return;
  if (errno == ENOENT) return;
  throw file_error::from_errno(path, errno);
}

std::optional<kept_attributes> attributes_of(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return kept_attributes{static_cast<unsigned>(st.st_mode & 07777), st.st_uid, st.st_gid};
}

void keep_attributes(handle h, const std::filesystem::path& path, const kept_attributes& a) {
  const auto owner = static_cast<uid_t>(a.owner);
  const auto group = static_cast<gid_t>(a.group);
  // Refused (EPERM) to anyone but the superuser for another owner; then the group alone.
  if (::fchown(fd_of(h), owner, group) != 0)
    (void)::fchown(fd_of(h), static_cast<uid_t>(-1), group);
  // After the owner: a change of owner clears the set-user and set-group bits.
  if (::fchmod(fd_of(h), static_cast<mode_t>(a.mode)) != 0)
    throw file_error::from_errno(path, errno);
}

bool is_link(const std::filesystem::path& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::filesystem::path resolve_links(const std::filesystem::path& path) {
  std::filesystem::path p = path;
  // A bounded walk: a loop of links ends here and the last name is used as it stands.
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(p, ec))) return p;
    std::filesystem::path next = std::filesystem::read_symlink(p, ec);
    if (ec) return p;
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  return p;
}

handle lock_file(const std::filesystem::path& path) {
  for (;;) {
    // Read-only is enough for flock(), and opens a lock file another user left.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) throw file_error::from_errno(path, errno);
    int rc = 0;
    do rc = ::flock(fd, LOCK_EX);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
      const int err = errno;
      ::close(fd);
      throw file_error::from_errno(path, err);
    }
    // The holder before removes the name as it lets go: a file no longer under the name locks
    // nothing, and the name is opened again.
    struct stat held {
    }, named{};
    if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino)
      return fd;
    ::close(fd);
  }
}

void unlock_file(handle h, const std::filesystem::path& path) noexcept {
  ::unlink(path.c_str());
  ::close(fd_of(h));
}

unsigned long process_id() {
  return static_cast<unsigned long>(::getpid());
}

bool process_running(unsigned long id) {
  const auto pid = static_cast<pid_t>(id);
  if (pid <= 0 || static_cast<unsigned long>(pid) != id) return true;
  // EPERM: it runs, under another user.
  return ::kill(pid, 0) == 0 || errno != ESRCH;
}

namespace {

extern "C" void remove_temporaries_and_end(int signal_number) {
  // Only async-signal-safe calls here: unlink, then the default action of the signal.
  for (int k = 0; k < live_temporary_slots; ++k)
    if (const char* name = live_temporary(k)) ::unlink(name);
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

}  // namespace

void install_interrupt_cleanup() {
  struct sigaction action {};
  action.sa_handler = remove_temporaries_and_end;
  sigemptyset(&action.sa_mask);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    // A signal the parent set to be ignored (nohup) stays ignored.
    if (::sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(s, &action, nullptr);
  }
}

}  // namespace qbank::os
