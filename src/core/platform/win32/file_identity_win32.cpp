#include <windows.h>

#include "platform/file_identity.h"

namespace qbank {

std::optional<file_identity> identity_of(const std::filesystem::path& path) {
  // No access rights asked for: the identity of a file the user may not read is still known.
  // Backup semantics let the call open folders too.
  const HANDLE h =
      ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
  ::CloseHandle(h);
  if (!ok) return std::nullopt;
  return file_identity{info.dwVolumeSerialNumber,
                       (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

}  // namespace qbank
