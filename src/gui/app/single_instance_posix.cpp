#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>

#include "app/single_instance.h"

namespace qbank::gui {

single_instance_lock::single_instance_lock(const std::filesystem::path& folder,
                                           std::string_view name)
    : path_(folder / (std::string(name) + ".lock")) {
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    // A lock that cannot even be created must not keep the user from working.
    acquired_ = true;
    return;
  }
  if (::flock(static_cast<int>(fd_), LOCK_EX | LOCK_NB) != 0) {
    ::close(static_cast<int>(fd_));
    fd_ = -1;
    return;
  }
  acquired_ = true;
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(static_cast<int>(fd_), 0) == 0) {
    // The process id is only a hint for people and tests; the lock works without it.
    [[maybe_unused]] auto written = ::pwrite(static_cast<int>(fd_), pid.data(), pid.size(), 0);
  }
}

single_instance_lock::~single_instance_lock() {
  if (fd_ >= 0) ::close(static_cast<int>(fd_));
}

}  // namespace qbank::gui
