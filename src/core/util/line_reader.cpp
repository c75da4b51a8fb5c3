#include "util/line_reader.h"

#include <algorithm>
#include <cstring>

#include "util/text_format.h"

namespace qbank {

line_too_long::line_too_long(std::uint64_t line)
    : command_error(format("line %llu is longer than %zu bytes",
                           static_cast<unsigned long long>(line), max_line_bytes)),
      line_(line) {}

namespace {

// The first `c` at or after `from` in [from, end); `end` when there is none.
std::size_t find_from(const std::vector<char>& buffer, std::size_t from, std::size_t end, char c) {
  const void* p = std::memchr(buffer.data() + from, c, end - from);
  return p ? static_cast<std::size_t>(static_cast<const char*>(p) - buffer.data()) : end;
}

// The block, no larger than what the source has left (and one byte more, to see its end), so
// a short text does not cost a block of megabytes.
std::size_t fitted_block(const byte_source& source, std::size_t block) {
  const std::uint64_t left =
      source.size() > source.position() ? source.size() - source.position() : 0;
  return static_cast<std::size_t>(
      std::clamp<std::uint64_t>(left + 1, 64, std::max<std::size_t>(block, 64)));
}

}  // namespace

line_reader::line_reader(byte_source& source, std::size_t block)
    : source_(source), buffer_(fitted_block(source, block)) {}

bool line_reader::fill() {
  if (eof_) return false;
  block_base_ += end_;
  begin_ = 0;
  end_ = source_.read(buffer_.data(), buffer_.size());
  next_lf_ = find_from(buffer_, 0, end_, '\n');
  next_cr_ = find_from(buffer_, 0, end_, '\r');
  if (end_ == 0) eof_ = true;
  return end_ > 0;
}

std::string_view line_reader::take(std::string_view line) {
  ++lines_;
  return line;
}

std::optional<std::string_view> line_reader::next() {
  carry_.clear();
  bool have_any = false;
  for (;;) {
    if (begin_ == end_ && !fill()) {
      if (have_any) return take(carry_);
      return std::nullopt;
    }
    if (skip_lf_) {
      skip_lf_ = false;
      if (buffer_[begin_] == '\n') {
        ++begin_;
        continue;
      }
    }
    if (next_lf_ < begin_) next_lf_ = find_from(buffer_, begin_, end_, '\n');
    if (next_cr_ < begin_) next_cr_ = find_from(buffer_, begin_, end_, '\r');
    const std::size_t eol = std::min(next_lf_, next_cr_);
    if (carry_.size() + (eol - begin_) > max_line_bytes) throw line_too_long(lines_ + 1);
    if (eol == end_) {
      carry_.append(buffer_.data() + begin_, buffer_.data() + end_);
      have_any = true;
      begin_ = end_;
      continue;
    }
    std::string_view line;
    if (have_any) {
      carry_.append(buffer_.data() + begin_, buffer_.data() + eol);
      line = carry_;
    } else {
      line = std::string_view(buffer_.data() + begin_, eol - begin_);
    }
    begin_ = eol + 1;
    if (buffer_[eol] == '\r') {
      if (begin_ < end_) {
        if (buffer_[begin_] == '\n') ++begin_;
      } else {
        skip_lf_ = true;
      }
    }
    return take(line);
  }
}

}  // namespace qbank
