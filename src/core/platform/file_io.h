// Files: a read-only byte source, the atomic output file every writer uses, and small queries.
// All sizes and positions are 64-bit byte counts. Failures throw file_error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_error.h"

namespace qbank {

// A readable, seekable stream of bytes. Reads at the end are short and raise no error.
class byte_source {
 public:
  virtual ~byte_source() = default;
  // Reads up to `count` bytes at the position and advances; returns the bytes read.
  virtual std::size_t read(void* buffer, std::size_t count) = 0;
  virtual std::uint64_t size() const = 0;
  virtual std::uint64_t position() const = 0;
  // Moves to `position`; a position past the end is allowed (the next read is empty).
  virtual void seek(std::uint64_t position) = 0;
};

// Everything in `source` from its first byte, as text (the bytes as they are); a source that
// ends early gives what it held.
std::string read_all(byte_source& source);

// A byte source over memory the caller keeps alive.
class memory_source : public byte_source {
 public:
  memory_source(const void* data, std::size_t size)
      : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
  std::size_t read(void* buffer, std::size_t count) override;
  std::uint64_t size() const override { return size_; }
  std::uint64_t position() const override { return position_; }
  void seek(std::uint64_t position) override { position_ = position; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::uint64_t position_ = 0;
};

// Several spans of memory the caller keeps alive, read as one stream of bytes, joined.
class joined_source : public byte_source {
 public:
  explicit joined_source(std::vector<std::span<const std::uint8_t>> pieces);
  std::size_t read(void* buffer, std::size_t count) override;
  std::uint64_t size() const override { return size_; }
  std::uint64_t position() const override { return position_; }
  void seek(std::uint64_t position) override { position_ = position; }

 private:
  std::vector<std::span<const std::uint8_t>> pieces_;
  std::uint64_t size_ = 0;
  std::uint64_t position_ = 0;
};

// A file opened read-only.
class input_file : public byte_source {
 public:
  // Throws file_error when the file cannot be opened.
  explicit input_file(const std::filesystem::path& path);
  ~input_file() override;
  input_file(const input_file&) = delete;
  input_file& operator=(const input_file&) = delete;

  std::size_t read(void* buffer, std::size_t count) override;
  std::uint64_t size() const override { return size_; }
  std::uint64_t position() const override { return position_; }
  void seek(std::uint64_t position) override { position_ = position; }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::intptr_t handle_ = -1;
  std::uint64_t size_ = 0;
  std::uint64_t position_ = 0;
};

// Writes a file under a temporary name in the target's folder; commit() flushes it to disk and
// renames it over the target, so the target is never seen half-written. Destroyed without
// commit() (an exception, a refusal), it removes the temporary file and the target stays as it was.
// A target that is a symbolic link stays one: the file it points at is replaced. A target the
// user may not write is refused, as a write in place would be. The new file gets the permission
// bits of the file it replaces, and its owner and group where the process may set them. Temporary
// names are recognisable (see is_temporary_of), and an interruption of the process (Ctrl-C) removes
// them when the program installed install_interrupt_cleanup().
class atomic_output_file {
 public:
  // Creates the temporary file; throws file_error (naming the target) when it cannot.
  explicit atomic_output_file(const std::filesystem::path& target);
  // For a file whose path is made from stored names below `folder`, a folder the user chose:
  // no name below `folder` is followed where it is a link; link_in_the_way is thrown instead.
  // `folder` itself and the folders above it may be links.
  atomic_output_file(const std::filesystem::path& target, const std::filesystem::path& folder);
  ~atomic_output_file();
  atomic_output_file(const atomic_output_file&) = delete;
  atomic_output_file& operator=(const atomic_output_file&) = delete;

  // Appends bytes (buffered). Throws file_error on a failed write, for example a full disk.
  void write(const void* data, std::size_t count);
  void write(std::string_view text) { write(text.data(), text.size()); }
  // Bytes written so far.
  std::uint64_t size() const { return written_; }
  // Flushes and closes the temporary file; the target is not touched yet.
  void close();
  // close(), then renames the temporary file over the target and syncs the folder.
  void commit();
  // close(), then hands the temporary file over to the caller, which renames or removes it (the
  // commit of a set of files); it is no longer removed on an interruption or by abandon().
  std::filesystem::path release();
  // Removes the temporary file; the target is untouched.
  void abandon();
  // The file that commit() replaces (a symbolic link already followed).
  const std::filesystem::path& target() const { return target_; }
  const std::filesystem::path& temporary() const { return temp_; }

 private:
  void flush();
  void write_through(const void* data, std::size_t count);

  std::filesystem::path target_;
  std::filesystem::path temp_;
  std::intptr_t handle_ = -1;
  int live_slot_ = -1;
  bool done_ = false;
  std::vector<char> buffer_;
  std::uint64_t written_ = 0;
};

bool file_exists(const std::filesystem::path& path);

// A symbolic link (on Windows any reparse point) where a file made from stored names would be
// created or replaced; path() names the link, reason() is link_in_the_way_reason.
inline constexpr std::string_view link_in_the_way_reason = "a link is in the way";
class link_in_the_way : public file_error {
 public:
  explicit link_in_the_way(const std::filesystem::path& link)
      : file_error(link, std::string(link_in_the_way_reason)) {}
};
// The first name of `path` below `folder` that is a link, so that a file or folder made there
// would land elsewhere; none when there is none. `folder` and what lies above it are the
// user's choice and not looked at; a `path` that is not below `folder` is looked at by its last
// name only.
std::optional<std::filesystem::path> link_below(const std::filesystem::path& folder,
                                                const std::filesystem::path& path);

// The part of `target`'s file name that its temporary names carry: the name itself, cut short
// where a temporary name would otherwise be too long for the file system.
std::string name_for_temporary(const std::filesystem::path& target);
// True when `name` (a file name) is a temporary file of an atomic_output_file for `target`.
bool is_temporary_of(const std::filesystem::path& name, const std::filesystem::path& target);
// Removes the temporary files that earlier, interrupted runs left for any of `targets` (all in
// one folder); files this process is writing now are kept. Returns how many were removed.
int remove_leftover_temporaries(std::span<const std::filesystem::path> targets);

// Renames `from` over `to` in one step, then syncs the folder of `to`.
void rename_replace(const std::filesystem::path& from, const std::filesystem::path& to);
// Removes a file; false when there was none.
bool remove_file(const std::filesystem::path& path);
void sync_folder(const std::filesystem::path& folder);

// Makes an interruption of the process (Ctrl-C, a termination request) remove the temporary
// files being written before the process ends. For programs, once at start.
void install_interrupt_cleanup();

// Whole small files, for tests and tools. Both throw file_error.
std::vector<std::uint8_t> read_whole_file(const std::filesystem::path& path);
void write_whole_file(const std::filesystem::path& path, const void* data, std::size_t size);

}  // namespace qbank
