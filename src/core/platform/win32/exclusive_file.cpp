#include "platform/exclusive_file.h"

#include <windows.h>

#include <system_error>

namespace qbank {
namespace {

write_failure failure_of(DWORD err) {
  write_failure f;
  if (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS)
    f.kind = write_failure::exists;
  else if (err == ERROR_DISK_FULL || err == ERROR_HANDLE_DISK_FULL)
    f.kind = write_failure::no_space;
  f.reason = std::system_category().message(static_cast<int>(err));
  return f;
}

HANDLE handle_of(std::intptr_t h) {
  return reinterpret_cast<HANDLE>(h);
}

}  // namespace

exclusive_file::exclusive_file(const std::filesystem::path& path) : path_(path) {
  const HANDLE h = ::CreateFileW(path.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw failure_of(::GetLastError());
  handle_ = reinterpret_cast<std::intptr_t>(h);
}

exclusive_file::~exclusive_file() {
  if (handle_ != -1) ::CloseHandle(handle_of(handle_));
}

void exclusive_file::write(const void* data, std::size_t count) {
  const char* p = static_cast<const char*>(data);
  while (count > 0) {
    const DWORD chunk = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
    DWORD written = 0;
    if (!::WriteFile(handle_of(handle_), p, chunk, &written, nullptr))
      throw failure_of(::GetLastError());
    p += written;
    count -= written;
  }
}

void exclusive_file::finish() {
  const HANDLE h = handle_of(handle_);
  handle_ = -1;
  if (!::FlushFileBuffers(h)) {
    const DWORD err = ::GetLastError();
    ::CloseHandle(h);
    throw failure_of(err);
  }
  if (!::CloseHandle(h)) throw failure_of(::GetLastError());
}

void rename_no_replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  // Without MOVEFILE_REPLACE_EXISTING the move fails when `to` exists.
  if (!::MoveFileExW(from.wstring().c_str(), to.wstring().c_str(), MOVEFILE_WRITE_THROUGH))
    throw failure_of(::GetLastError());
}

}  // namespace qbank
