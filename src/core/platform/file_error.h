// The one exception for a file that cannot be opened, created, read or written. It stops the
// current command; the window shows it in its top-level error display, `qbank` exits with 3.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace qbank {

class file_error : public std::runtime_error {
 public:
  // `path` is native (UTF-8); `reason` is the system's text, for example strerror(errno).
  file_error(const std::filesystem::path& path, const std::string& reason);
  // Builds the reason from errno.
  static file_error from_errno(const std::filesystem::path& path, int err);
  // Builds the reason from the system's error code: errno on POSIX, GetLastError() on Windows.
  static file_error from_system(const std::filesystem::path& path, unsigned long code);

  const std::filesystem::path& path() const { return path_; }
  const std::string& reason() const { return reason_; }

 private:
  std::filesystem::path path_;
  std::string reason_;
};

// An error the window shows in its top-level error display (and `qbank` with exit 1): a command
// that cannot go on for a reason other than a file that cannot be opened.
class command_error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace qbank
