#include <windows.h>

#include <string>

#include "app/single_instance.h"

namespace qbank::gui {

namespace {

// The lock covers one byte far past the process id the file holds, so that others can still
// read the id while the range is locked.
constexpr DWORD lock_offset_high = 1;

HANDLE handle_of(std::intptr_t fd) {
  return reinterpret_cast<HANDLE>(fd);
}

}  // namespace

single_instance_lock::single_instance_lock(const std::filesystem::path& folder,
                                           std::string_view name)
    : path_(folder / (std::string(name) + ".lock")) {
  HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    // A lock that cannot even be created must not keep the user from working.
    acquired_ = true;
    return;
  }
  OVERLAPPED at{};
  at.OffsetHigh = lock_offset_high;
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    CloseHandle(file);
    return;
  }
  fd_ = reinterpret_cast<std::intptr_t>(file);
  acquired_ = true;
  // The process id is only a hint for people and tests; the lock works without it.
  const std::string pid = std::to_string(GetCurrentProcessId()) + "\n";
  DWORD written = 0;
  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 && SetEndOfFile(file))
    WriteFile(file, pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr);
}

single_instance_lock::~single_instance_lock() {
  // Closing the last handle releases the lock.
  if (fd_ != -1) CloseHandle(handle_of(fd_));
}

}  // namespace qbank::gui
