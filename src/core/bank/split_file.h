// Split part files. A bank file larger than the part limit is kept as a chain of parts: part 0 is
// the file the user named (BANK.qbb), part k has the extension replaced by ".Q%02u" (BANK.Q01 ..
// BANK.Q98). The logical file is the parts concatenated without gaps or headers; records are cut
// at the byte where the limit falls. At most 99 parts (0..98) exist.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_commit.h"
#include "platform/file_io.h"

namespace qbank {

class host;

inline constexpr int max_split_parts = 99;
// Largest part file, 4 GiB less 1 MiB (a multiple of 512).
inline constexpr std::uint64_t default_part_limit = 4'293'918'720ull;

// The name of part `index` (0..98) of the bank file `path`.
std::filesystem::path split_part_path(const std::filesystem::path& path, int index);

// Writes the chain as a builder: Open, Write / WriteList in order, then Close (renames every
// part into place and removes the parts of an earlier, longer bank of the same name) or Abandon
// (removes them). Until Close every part lives under a temporary name, so a failed or
// interrupted build leaves the previous bank file untouched. Close commits the parts as one set
// through a journal beside the bank (platform/file_commit.h): readers of this system see the
// old bank or the new one, never a mix. The destructor abandons.
class MySplitFileWriter {
 public:
  // `part_limit` bytes at most in one part when splitting (a positive multiple of 512 keeps
  // part boundaries on sector boundaries).
  explicit MySplitFileWriter(std::uint64_t part_limit = default_part_limit);
  ~MySplitFileWriter();
  MySplitFileWriter(const MySplitFileWriter&) = delete;
  MySplitFileWriter& operator=(const MySplitFileWriter&) = delete;

  // Abandons anything open, completes a commit of `path` that an earlier run left half done,
  // removes the temporary files of killed runs, then creates part 0 of `path`. False when any
  // of that fails (the reason is in last_error()); reports nothing.
  bool Open(const std::filesystem::path& path, bool split);
  // Appends bytes to the logical file, starting new parts as the limit is reached; a part is
  // created only when bytes remain for it. Throws file_error on a failed write and
  // command_error when the data would need more than 99 parts.
  void Write(const void* bytes, std::size_t count);
  // Appends each line followed by CR LF.
  void WriteList(std::span<const std::string_view> lines);
  // Finishes the file: flushes and syncs every part, then commits them as one set, removing
  // stale parts. Throws file_error saying what state the bank's files were left in.
  void Close();
  // Removes every part written since Open; the previous files stay as they were.
  void Abandon();

  // Bytes written since Open, over all parts.
  std::uint64_t Size() const { return written_; }
  // Parts written since Open.
  int PartCount() const { return static_cast<int>(parts_.size()); }
  const std::string& last_error() const { return last_error_; }

 private:
  void start_part();

  std::uint64_t part_limit_;
  std::filesystem::path path_;
  bool split_ = false;
  std::optional<file_set_lock> lock_;  // held from Open to the end of Close or Abandon
  std::vector<std::unique_ptr<atomic_output_file>> parts_;
  std::uint64_t part_written_ = 0;
  std::uint64_t written_ = 0;
  std::string last_error_;
  std::string text_;
};

// Where the reader finds the parts of a bank: files beside the bank, or memory.
class part_opener {
 public:
  virtual ~part_opener() = default;
  // The bank's name (part 0), for messages and the names of the other parts.
  virtual const std::filesystem::path& bank_path() const = 0;
  // Runs once before the parts are opened.
  virtual void prepare() {}
  // True when part `index` (0..98) is present, whether or not it can be read.
  virtual bool exists(int index) = 0;
  // Part `index`; null when it is missing or cannot be opened.
  virtual std::unique_ptr<byte_source> open(int index) = 0;
};

// The part files of the bank file `path`. prepare() completes a build that stopped while
// replacing the parts, so a reader never sees a mix of two builds.
class file_part_opener : public part_opener {
 public:
  explicit file_part_opener(std::filesystem::path path) : path_(std::move(path)) {}
  const std::filesystem::path& bank_path() const override { return path_; }
  void prepare() override;
  bool exists(int index) override;
  std::unique_ptr<byte_source> open(int index) override;

 private:
  std::filesystem::path path_;
};

// Parts held in memory the caller keeps alive: the logical file is `pieces` joined, cut into
// parts of `part_limit` bytes (the last one shorter), as the writer cuts them. A named part
// may be left out (`missing`) to stand for a part file that is not there.
class memory_part_opener : public part_opener {
 public:
  memory_part_opener(std::vector<std::span<const std::uint8_t>> pieces, std::uint64_t part_limit,
                     std::filesystem::path name = "memory.qbb");
  const std::filesystem::path& bank_path() const override { return name_; }
  bool exists(int index) override;
  std::unique_ptr<byte_source> open(int index) override;
  // Leaves part `index` out, as if its file were missing.
  void set_missing(int index) { missing_.at(static_cast<std::size_t>(index)) = true; }

 private:
  class part_source;

  std::vector<std::span<const std::uint8_t>> pieces_;
  std::uint64_t total_ = 0;
  std::uint64_t part_limit_;
  std::filesystem::path name_;
  std::array<bool, max_split_parts> missing_{};
};

// Reads the chain as one continuous byte space. Failures are shown through the host with the
// reader's own messages (caption "Error"); a failed Read leaves the buffer unchanged.
class MySplitFileReaderClass {
 public:
  explicit MySplitFileReaderClass(host& h);
  ~MySplitFileReaderClass();
  MySplitFileReaderClass(const MySplitFileReaderClass&) = delete;
  MySplitFileReaderClass& operator=(const MySplitFileReaderClass&) = delete;

  // Closes everything, then opens part 0 and, with `all_parts`, parts 1..98. A part that is
  // missing or cannot be opened counts as empty and does not end the scan. True when the parts
  // hold at least one byte.
  bool Open(const std::filesystem::path& path, bool all_parts);
  bool Open(part_opener& parts, bool all_parts);
  // Moves to logical byte `target` (0..TotalSize()); false with a message otherwise.
  bool GoToPosition(std::uint64_t target);
  // Reads `count` bytes at the position and advances; a read that crosses part boundaries is
  // served from every part it touches. Returns the bytes read; 0 with a message when the read
  // would pass the end.
  std::size_t Read(void* buffer, std::size_t count);

  std::uint64_t TotalSize() const { return total_size; }
  std::uint64_t Position() const { return position; }
  // The open file of the current part; null when none is open.
  byte_source* CurrentStream() const { return parts[current_part].get(); }
  void CloseAll();

  // Sizes of parts 0..98 (0 for a missing part).
  const std::array<std::uint64_t, max_split_parts>& PartSizes() const { return part_sizes; }

 private:
  host& host_;
  std::array<std::unique_ptr<byte_source>, max_split_parts> parts;
  std::array<std::uint64_t, max_split_parts> part_sizes{};
  std::uint64_t total_size = 0;
  std::uint64_t position = 0;
  std::uint64_t part_offset = 0;
  std::uint8_t current_part = 0;
};

// The logical file from the reader's position to its end as a byte source (for line readers).
class split_file_source : public byte_source {
 public:
  explicit split_file_source(MySplitFileReaderClass& reader) : reader_(reader) {}
  std::size_t read(void* buffer, std::size_t count) override;
  std::uint64_t size() const override { return reader_.TotalSize(); }
  std::uint64_t position() const override { return reader_.Position(); }
  void seek(std::uint64_t position) override;

 private:
  MySplitFileReaderClass& reader_;
};

}  // namespace qbank
