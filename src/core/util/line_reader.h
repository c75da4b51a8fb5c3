// Splits a byte source into text lines, from its current position to its end. A line ends at
// CR LF, CR or LF; a last line without an ending still counts; an ending at the very end of the
// source does not start another line. Reads in large blocks, so it is fast on 100 MB texts.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"

namespace qbank {

class line_reader {
 public:
  explicit line_reader(byte_source& source, std::size_t block = 4 << 20);
  // The next line without its ending; none at the end. The view lasts until the next call.
  std::optional<std::string_view> next();

 private:
  bool fill();

  byte_source& source_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  bool skip_lf_ = false;  // the previous line ended in CR at a block edge
  std::string carry_;
};

}  // namespace qbank
