#include <cstdlib>
#include <new>

#include "platform/large_memory.h"

namespace qbank {

// Large pages on Windows need a privilege that users do not hold: plain zeroed memory.
void large_memory_deleter::operator()(char* p) const noexcept {
  std::free(p);
}

large_memory allocate_large(std::size_t bytes) {
  auto* p = static_cast<char*>(std::calloc(bytes == 0 ? 1 : bytes, 1));
  if (!p) throw std::bad_alloc();
  return large_memory(p, large_memory_deleter{bytes});
}

}  // namespace qbank
