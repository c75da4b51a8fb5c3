// Win32 implementation of the operating system's side of file access (see file_os.h).
//
// Every file is opened with FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, so that a
// file one part of the program reads can still be replaced or removed by another, as on POSIX
// systems. Windows keeps the name of a file with open handles until the last one closes, so a
// replaced or removed file first moves aside (a rename, which open handles allow) and is deleted
// there; readers holding it go on reading the old bytes.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file_error.h"
#include "platform/file_os.h"
#include "platform/paths.h"
#include "platform/win32/wide_text.h"

namespace qbank::os {
namespace {

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE win(handle h) {
  return reinterpret_cast<HANDLE>(h);
}

handle ours(HANDLE h) {
  return reinterpret_cast<handle>(h);
}

[[noreturn]] void fail(const std::filesystem::path& path, DWORD err = ::GetLastError()) {
  throw file_error::from_system(path, err);
}

std::atomic<unsigned> aside_counter{0};

// FileRenameInfoEx of Windows 10 1607, which the mingw-w64 headers declare only for newer targets.
constexpr auto file_rename_info_ex = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);

// A name beside `path` for a file on its way out. Not a temporary of the file layer, so that a
// leftover (a run killed between the two renames of a replace) is never removed unseen: it is
// the old file, kept.
std::filesystem::path aside_name(const std::filesystem::path& path) {
  return path.parent_path() / path_from_utf8("." + path_to_utf8(path.filename()) + ".qbank-old-" +
                                             std::to_string(::GetCurrentProcessId()) + "-" +
                                             std::to_string(aside_counter++));
}

// The rename of Windows 10 and later that replaces a file even while it has open handles, the
// way rename() does on POSIX systems. False where the system or the file system lacks it.
bool posix_rename(const std::filesystem::path& from, const std::filesystem::path& to) {
  const HANDLE h = ::CreateFileW(from.c_str(), DELETE | SYNCHRONIZE, share_all, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::wstring target = std::filesystem::absolute(to).wstring();
  if (target.size() > 2 && target[1] == L':') target = L"\\\\?\\" + target;
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, target.c_str(), target.size() * sizeof(wchar_t));
  const BOOL done =
      ::SetFileInformationByHandle(h, file_rename_info_ex, info, static_cast<DWORD>(buffer.size()));
  ::CloseHandle(h);
  return done != 0;
}

}  // namespace

handle open_read(const std::filesystem::path& path, std::uint64_t& size) {
  // FILE_FLAG_BACKUP_SEMANTICS opens a folder too, so that the refusal can say what it is.
  const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, share_all, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) fail(path);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(h, &info)) {
    const DWORD err = ::GetLastError();
    ::CloseHandle(h);
    fail(path, err);
  }
  const char* refusal = nullptr;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    refusal = "Is a directory, not a regular file";
  else if (::GetFileType(h) != FILE_TYPE_DISK)
    refusal = "Is not a regular file";
  if (refusal) {
    ::CloseHandle(h);
    throw file_error(path, refusal);
  }
  size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  return ours(h);
}

std::size_t read_at(handle h, const std::filesystem::path& path, void* buffer, std::size_t count,
                    std::uint64_t offset) {
  std::size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < count) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
    DWORD n = 0;
    if (!::ReadFile(win(h), out + done, chunk, &n, &at)) {
      const DWORD err = ::GetLastError();
      if (err == ERROR_HANDLE_EOF) break;
      fail(path, err);
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

handle create_new(const std::filesystem::path& path) {
  const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, share_all, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) return ours(h);
  const DWORD err = ::GetLastError();
  if (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS) return no_handle;
  fail(path, err);
}

void write_all(handle h, const std::filesystem::path& path, const void* data, std::size_t count) {
  const char* p = static_cast<const char*>(data);
  while (count > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
    DWORD n = 0;
    if (!::WriteFile(win(h), p, chunk, &n, nullptr)) fail(path);
    p += n;
    count -= n;
  }
}

void sync(handle h, const std::filesystem::path& path) {
  if (!::FlushFileBuffers(win(h))) fail(path);
}

void close(handle h, const std::filesystem::path& path) {
  if (!::CloseHandle(win(h))) fail(path);
}

void close_quietly(handle h) noexcept {
  ::CloseHandle(win(h));
}

void rename_replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  // A folder in the way is never replaced (the move-aside below would carry it off, as a
  // rename over it fails on POSIX).
  const DWORD target = ::GetFileAttributesW(to.c_str());
  if (target != INVALID_FILE_ATTRIBUTES && (target & FILE_ATTRIBUTE_DIRECTORY))
    fail(to, ERROR_ACCESS_DENIED);
  if (posix_rename(from, to)) return;
  if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return;
  DWORD err = ::GetLastError();
  if (err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION) {
    // `to` has open handles and this Windows cannot replace it: the old file moves aside, the
    // new one takes its name, and the old one goes when its last handle closes.
    const std::filesystem::path aside = aside_name(to);
    if (::MoveFileExW(to.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH)) {
      if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(aside.c_str());
        return;
      }
      err = ::GetLastError();
      ::MoveFileExW(aside.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH);
    }
  }
  fail(to, err);
}

bool remove(const std::filesystem::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD err = ::GetLastError();
    if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return false;
    fail(path, err);
  }
  // Moved aside first, so that the name is free at once even while a reader holds the file.
  const std::filesystem::path aside = aside_name(path);
  const std::filesystem::path& doomed =
      ::MoveFileExW(path.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH) ? aside : path;
  if (::DeleteFileW(doomed.c_str())) return true;
  const DWORD err = ::GetLastError();
  if (err == ERROR_FILE_NOT_FOUND) return false;
  if (&doomed == &aside) ::MoveFileExW(aside.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
  fail(path, err);
}

void sync_folder(const std::filesystem::path&) {
  // Windows writes a folder's entries through with the MOVEFILE_WRITE_THROUGH renames above and
  // NTFS journals them; a folder cannot be flushed like a file.
}

file_kind kind_of(const std::filesystem::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return file_kind::missing;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return file_kind::folder;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return file_kind::other;
  return file_kind::regular;
}

void refuse_unwritable(const std::filesystem::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  // A read-only file refuses a write in place; its replacement is refused the same way.
  if (attributes & FILE_ATTRIBUTE_READONLY) fail(path, ERROR_ACCESS_DENIED);
  // So does a file whose access list denies this user writing. Opening it for writing, without
  // writing, asks exactly that; a file another program holds open is not refused here.
  const HANDLE h = ::CreateFileW(path.c_str(), FILE_WRITE_DATA, share_all, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    ::CloseHandle(h);
    return;
  }
  const DWORD err = ::GetLastError();
  if (err == ERROR_ACCESS_DENIED) fail(path, err);
}

std::optional<kept_attributes> attributes_of(const std::filesystem::path&) {
  // Windows files have no permission bits or POSIX owner to carry over; their access lists
  // stay with the folder's inheritance, as with any program's saved files.
  return std::nullopt;
}

void keep_attributes(handle, const std::filesystem::path&, const kept_attributes&) {}

bool is_link(const std::filesystem::path& path) {
  // Symbolic links, junctions and mount points all carry the reparse point attribute, which the
  // attributes of the name itself show (GetFileAttributesW does not follow it).
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::filesystem::path resolve_links(const std::filesystem::path& path) {
  std::filesystem::path p = path;
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
  // Opened sharing nothing: a second opener is refused until the first closes it, and the file
  // goes with the last handle (also when its process ends).
  for (int denied = 0;; ::Sleep(50)) {
    const HANDLE h =
        ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) return ours(h);
    const DWORD err = ::GetLastError();
    // Held by another process; or closed by it a moment ago and not yet gone (access is denied
    // while the deletion is pending), which passes at once, unlike a folder that refuses.
    if (err == ERROR_SHARING_VIOLATION) continue;
    if (err == ERROR_ACCESS_DENIED && ++denied < 100) continue;
    fail(path, err);
  }
}

void unlock_file(handle h, const std::filesystem::path&) noexcept {
  ::CloseHandle(win(h));
}

unsigned long process_id() {
  return ::GetCurrentProcessId();
}

bool process_running(unsigned long id) {
  const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (process == nullptr) return ::GetLastError() != ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const BOOL known = ::GetExitCodeProcess(process, &code);
  ::CloseHandle(process);
  return !known || code == STILL_ACTIVE;
}

namespace {

BOOL WINAPI remove_temporaries(DWORD) {
  // Runs on a thread of its own, not in a signal: converting and deleting is safe here.
  for (int k = 0; k < live_temporary_slots; ++k)
    if (const char* name = live_temporary(k)) ::DeleteFileW(win32::widen(name).c_str());
  return FALSE;  // and then the default handling ends the process
}

}  // namespace

void install_interrupt_cleanup() {
  ::SetConsoleCtrlHandler(remove_temporaries, TRUE);
}

}  // namespace qbank::os
