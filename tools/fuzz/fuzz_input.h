// Taking a fuzz input apart: little-endian numbers and byte runs from the front, the rest as a
// span. A field past the end of the input reads as zeros, so every input means something.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace qbank::fuzz {

class input {
 public:
  input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint64_t number(int bytes) {
    std::uint64_t v = 0;
    for (int k = 0; k < bytes; ++k)
      if (at_ < size_) v |= std::uint64_t{data_[at_++]} << (8 * k);
    return v;
  }
  std::uint8_t byte() { return static_cast<std::uint8_t>(number(1)); }
  std::span<const std::uint8_t> take(std::size_t count) {
    count = count < size_ - at_ ? count : size_ - at_;
    const std::span<const std::uint8_t> s(data_ + at_, count);
    at_ += count;
    return s;
  }
  std::span<const std::uint8_t> rest() { return take(size_ - at_); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// A broken promise of the code under test: reported as a crash, so the fuzzer keeps the input.
#define QBANK_FUZZ_CHECK(condition)                                                      \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

}  // namespace qbank::fuzz
