// The single-instance rule: a lock named after the application, held until the process ends.
// It is a lock on a file (flock() on POSIX systems, LockFileEx() on Windows), so the system
// releases it when the holder dies: a crashed copy never blocks the next start.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace qbank::gui {

inline constexpr std::string_view single_instance_name =
    "Quorvatek_AmpleToneSamplerEditor_Single_Instance_mutex";

class single_instance_lock {
 public:
  // Tries to take the lock `name` in `folder`; acquired() tells whether it was free. The holder
  // writes its process id into the file.
  single_instance_lock(const std::filesystem::path& folder, std::string_view name);
  ~single_instance_lock();
  single_instance_lock(const single_instance_lock&) = delete;
  single_instance_lock& operator=(const single_instance_lock&) = delete;

  bool acquired() const { return acquired_; }
  const std::filesystem::path& path() const { return path_; }

  // Where the window keeps its lock: QBANK_GUI_LOCK_DIR when set (tests), else the user's
  // runtime folder, else the temporary folder.
  static std::filesystem::path default_folder();

 private:
  std::filesystem::path path_;
  std::intptr_t fd_ = -1;  // the lock file: a descriptor, or a HANDLE on Windows
  bool acquired_ = false;
};

}  // namespace qbank::gui
