// The file layer on Windows. Files are opened with FILE_SHARE_READ | FILE_SHARE_WRITE |
// FILE_SHARE_DELETE, so that a file one command reads can still be replaced by another, as on
// POSIX systems. The int members of the classes hold C runtime descriptors over the Win32
// handles (_open_osfhandle), which keeps the declarations the same on both systems.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstring>

#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/replace_file.h"

namespace qbank {
namespace {

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE handle_of(int fd) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

// Wraps `h` in a descriptor; closes `h` and throws when that fails.
int descriptor_of(HANDLE h, const std::filesystem::path& path) {
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(h);
    throw file_error(path, "Too many open files");
  }
  return fd;
}

void write_all(int fd, const char* data, std::size_t count, const std::filesystem::path& target) {
  const HANDLE h = handle_of(fd);
  while (count > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
    DWORD done = 0;
    if (!::WriteFile(h, data, chunk, &done, nullptr))
      throw file_error::from_system(target, ::GetLastError());
    data += done;
    count -= done;
  }
}

std::atomic<unsigned> temp_counter{0};

}  // namespace

std::size_t memory_source::read(void* buffer, std::size_t count) {
  if (position_ >= size_) return 0;
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - position_));
  std::memcpy(buffer, data_ + position_, n);
  position_ += n;
  return n;
}

input_file::input_file(const std::filesystem::path& path) : path_(path) {
  const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, share_all, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw file_error::from_system(path, ::GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(h, &info)) {
    const DWORD err = ::GetLastError();
    ::CloseHandle(h);
    throw file_error::from_system(path, err);
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    ::CloseHandle(h);
    throw file_error(path, "Is a directory");
  }
  size_ = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  fd_ = descriptor_of(h, path);
}

input_file::~input_file() {
  if (fd_ >= 0) ::_close(fd_);
}

std::size_t input_file::read(void* buffer, std::size_t count) {
  const HANDLE h = handle_of(fd_);
  std::size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < count) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(position_);
    at.OffsetHigh = static_cast<DWORD>(position_ >> 32);
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
    DWORD n = 0;
    if (!::ReadFile(h, out + done, chunk, &n, &at)) {
      const DWORD err = ::GetLastError();
      if (err == ERROR_HANDLE_EOF) break;
      throw file_error::from_system(path_, err);
    }
    done += n;
    position_ += n;
    // At the size the file had when it was opened, one more call would only return 0.
    if (n == 0 || position_ >= size_) break;
  }
  return done;
}

atomic_output_file::atomic_output_file(std::filesystem::path target) : target_(std::move(target)) {
  std::filesystem::path folder = target_.parent_path();
  if (folder.empty()) folder = ".";
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temp_ = folder / path_from_utf8("." + path_to_utf8(target_.filename()) + ".tmp" +
                                    std::to_string(::GetCurrentProcessId()) + "-" +
                                    std::to_string(temp_counter++));
    const HANDLE h = ::CreateFileW(temp_.c_str(), GENERIC_WRITE, share_all, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD err = ::GetLastError();
      if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS)
        throw file_error::from_system(target_, err);
      continue;
    }
    fd_ = descriptor_of(h, target_);
  }
  if (fd_ < 0) throw file_error(target_, "cannot create a temporary file");
  buffer_.reserve(1 << 20);
}

atomic_output_file::~atomic_output_file() {
  if (!done_) abandon();
}

void atomic_output_file::flush() {
  if (!buffer_.empty()) {
    write_all(fd_, buffer_.data(), buffer_.size(), target_);
    buffer_.clear();
  }
}

void atomic_output_file::write(const void* data, std::size_t count) {
  if (fd_ < 0) throw file_error(target_, "write after close");
  const char* p = static_cast<const char*>(data);
  if (buffer_.size() + count > buffer_.capacity()) {
    flush();
    if (count >= buffer_.capacity()) {
      write_all(fd_, p, count, target_);
      written_ += count;
      return;
    }
  }
  buffer_.insert(buffer_.end(), p, p + count);
  written_ += count;
}

void atomic_output_file::close() {
  if (fd_ < 0) return;
  flush();
  if (!::FlushFileBuffers(handle_of(fd_))) throw file_error::from_system(target_, ::GetLastError());
  const int fd = fd_;
  fd_ = -1;
  if (::_close(fd) != 0) throw file_error(target_, "cannot close the file");
}

void atomic_output_file::commit() {
  close();
  replace_file(temp_, target_);
  done_ = true;
}

void atomic_output_file::abandon() {
  if (fd_ >= 0) {
    ::_close(fd_);
    fd_ = -1;
  }
  if (!done_) ::DeleteFileW(temp_.c_str());
  done_ = true;
}

bool file_exists(const std::filesystem::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::uint8_t> read_whole_file(const std::filesystem::path& path) {
  input_file in(path);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(in.size()));
  bytes.resize(in.read(bytes.data(), bytes.size()));
  return bytes;
}

void write_whole_file(const std::filesystem::path& path, const void* data, std::size_t size) {
  atomic_output_file out(path);
  out.write(data, size);
  out.commit();
}

}  // namespace qbank
