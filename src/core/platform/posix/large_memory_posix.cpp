#include <sys/mman.h>

#include <cstdlib>
#include <new>

#include "platform/large_memory.h"

namespace qbank {
namespace {

constexpr std::size_t huge_page = std::size_t{2} << 20;

// Blocks of at least one huge page are mapped on their own, in whole huge pages: the system
// places such mappings on huge-page boundaries. Smaller ones come from the heap.
bool mapped(std::size_t bytes) {
  return bytes >= huge_page;
}

std::size_t mapped_size(std::size_t bytes) {
  return (bytes + huge_page - 1) / huge_page * huge_page;
}

}  // namespace

void large_memory_deleter::operator()(char* p) const noexcept {
  if (!p) return;
  if (mapped(size))
    ::munmap(p, mapped_size(size));
  else
    std::free(p);
}

large_memory allocate_large(std::size_t bytes) {
  if (bytes == 0) bytes = 1;
  if (!mapped(bytes)) {
    auto* p = static_cast<char*>(std::calloc(bytes, 1));
    if (!p) throw std::bad_alloc();
    return large_memory(p, large_memory_deleter{bytes});
  }
  const std::size_t size = mapped_size(bytes);
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
  // Only advice: where huge pages are off, the block works with small pages.
  ::madvise(p, size, MADV_HUGEPAGE);
#endif
  return large_memory(static_cast<char*>(p), large_memory_deleter{bytes});
}

}  // namespace qbank
