#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/file_error.h"

namespace qbank {

std::size_t memory_source::read(void* buffer, std::size_t count) {
  if (position_ >= size_) return 0;
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - position_));
  std::memcpy(buffer, data_ + position_, n);
  position_ += n;
  return n;
}

input_file::input_file(const std::filesystem::path& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw file_error::from_errno(path, errno);
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    const int err = errno;
    ::close(fd_);
    throw file_error::from_errno(path, err);
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd_);
    throw file_error(path, "Is a directory");
  }
  size_ = static_cast<std::uint64_t>(st.st_size);
}

input_file::~input_file() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t input_file::read(void* buffer, std::size_t count) {
  std::size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < count) {
    const ssize_t n = ::pread(fd_, out + done, count - done, static_cast<off_t>(position_));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw file_error::from_errno(path_, errno);
    }
    done += static_cast<std::size_t>(n);
    position_ += static_cast<std::uint64_t>(n);
    // At the size the file had when it was opened, one more call would only return 0: many
    // small files are read whole (validation of every WAV file), so that call is saved.
    if (n == 0 || position_ >= size_) break;
  }
  return done;
}

namespace {

std::atomic<unsigned> temp_counter{0};

void write_all(int fd, const char* data, std::size_t count, const std::filesystem::path& target) {
  while (count > 0) {
    const ssize_t n = ::write(fd, data, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw file_error::from_errno(target, errno);
    }
    data += n;
    count -= static_cast<std::size_t>(n);
  }
}

}  // namespace

atomic_output_file::atomic_output_file(std::filesystem::path target) : target_(std::move(target)) {
  std::filesystem::path folder = target_.parent_path();
  if (folder.empty()) folder = ".";
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temp_ = folder / ("." + target_.filename().string() + ".tmp" + std::to_string(::getpid()) +
                      "-" + std::to_string(temp_counter++));
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) throw file_error::from_errno(target_, errno);
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
  if (::fsync(fd_) != 0 && errno != EINVAL) throw file_error::from_errno(target_, errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) throw file_error::from_errno(target_, errno);
}

void atomic_output_file::commit() {
  close();
  if (std::rename(temp_.c_str(), target_.c_str()) != 0)
    throw file_error::from_errno(target_, errno);
  done_ = true;
}

void atomic_output_file::abandon() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!done_) ::unlink(temp_.c_str());
  done_ = true;
}

bool file_exists(const std::filesystem::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
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
