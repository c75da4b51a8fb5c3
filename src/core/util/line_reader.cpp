#include "util/line_reader.h"

#include <algorithm>
#include <cstring>

namespace qbank {

line_reader::line_reader(byte_source& source, std::size_t block)
    : source_(source), buffer_(block) {}

bool line_reader::fill() {
  if (eof_) return false;
  begin_ = 0;
  end_ = source_.read(buffer_.data(), buffer_.size());
  if (end_ == 0) eof_ = true;
  return end_ > 0;
}

std::optional<std::string_view> line_reader::next() {
  carry_.clear();
  bool have_any = false;
  for (;;) {
    if (begin_ == end_ && !fill()) {
      if (have_any) return std::string_view(carry_);
      return std::nullopt;
    }
    if (skip_lf_) {
      skip_lf_ = false;
      if (buffer_[begin_] == '\n') {
        ++begin_;
        continue;
      }
    }
    const char* start = buffer_.data() + begin_;
    const char* stop = buffer_.data() + end_;
    // memchr twice beats a byte loop by far on long texts.
    const char* eol = static_cast<const char*>(std::memchr(start, '\n', stop - start));
    if (!eol) eol = stop;
    if (const void* cr = std::memchr(start, '\r', eol - start)) eol = static_cast<const char*>(cr);
    if (eol == stop) {
      carry_.append(start, stop);
      have_any = true;
      begin_ = end_;
      continue;
    }
    std::string_view line;
    if (have_any) {
      carry_.append(start, eol);
      line = carry_;
    } else {
      line = std::string_view(start, static_cast<std::size_t>(eol - start));
    }
    begin_ = static_cast<std::size_t>(eol - buffer_.data()) + 1;
    if (*eol == '\r') {
      if (begin_ < end_) {
        if (buffer_[begin_] == '\n') ++begin_;
      } else {
        skip_lf_ = true;
      }
    }
    return line;
  }
}

}  // namespace qbank
