// Splits a byte source into text lines, from its current position to its end. A line ends at
// CR LF, CR or LF; a last line without an ending still counts; an ending at the very end of the
// source does not start another line. Reads in large blocks and looks at every byte once, so it
// is fast on 100 MB texts whatever their line ends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_error.h"
#include "platform/file_io.h"

namespace qbank {

// The longest line accepted, in bytes. A stored path is a Windows path, which even in its long
// form holds at most 32767 characters; anything longer is not a path list.
inline constexpr std::size_t max_line_bytes = 32767;

// A line longer than max_line_bytes: reading stops there rather than hold it in memory.
class line_too_long : public command_error {
 public:
  explicit line_too_long(std::uint64_t line);
  std::uint64_t line() const { return line_; }

 private:
  std::uint64_t line_;
};

class line_reader {
 public:
  explicit line_reader(byte_source& source, std::size_t block = 4 << 20);
  // The next line without its ending; none at the end. The view lasts until the next call.
  // Throws line_too_long.
  std::optional<std::string_view> next();
  // Lines returned so far.
  std::uint64_t lines() const { return lines_; }
  // Bytes of the source taken by the lines returned so far, their endings included.
  std::uint64_t consumed() const { return block_base_ + begin_; }

 private:
  bool fill();
  std::string_view take(std::string_view line);

  byte_source& source_;
  std::vector<char> buffer_;
  std::uint64_t block_base_ = 0;  // bytes of the source before the current block
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  // Where the next LF and CR at or after begin_ lie in the block (end_ when there is none);
  // kept between lines so that no byte is searched twice.
  std::size_t next_lf_ = 0;
  std::size_t next_cr_ = 0;
  bool eof_ = false;
  bool skip_lf_ = false;  // the previous line ended in CR at a block edge
  std::uint64_t lines_ = 0;
  std::string carry_;
};

}  // namespace qbank
