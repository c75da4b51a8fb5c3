// Zeroed memory for large stores that fill up as they are used, such as the path pool's texts
// and table. Where the system allows it, a large block is backed by huge pages, so that filling
// it costs one page fault per 2 MiB instead of one per 4 KiB: on virtual machines a page fault
// can cost tens of microseconds, and a full bank's 100 MB of paths would otherwise spend most
// of its loading time in them. A block only uses memory where it has been written.
#pragma once

#include <cstddef>
#include <memory>

namespace qbank {

struct large_memory_deleter {
  std::size_t size = 0;  // the size allocate_large was asked for
  void operator()(char* p) const noexcept;
};

using large_memory = std::unique_ptr<char[], large_memory_deleter>;

// `bytes` zeroed bytes (at least one). Throws std::bad_alloc when there is no memory.
large_memory allocate_large(std::size_t bytes);

}  // namespace qbank
