#include "platform/large_memory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qbank {
namespace {

// Small blocks come from the heap and large ones are mapped in whole huge pages: on both sides
// of that line, every byte asked for is there, zeroed and writable, and freeing one block
// leaves the others intact.
TEST(LargeMemory, BlocksOfEverySizeAreZeroedWritableAndIndependent) {
  for (std::size_t size :
       {std::size_t{0}, std::size_t{1}, std::size_t{4096}, (std::size_t{2} << 20) - 1,
        std::size_t{2} << 20, (std::size_t{2} << 20) + 1, std::size_t{9} << 20}) {
    large_memory kept = allocate_large(size);
    large_memory block = allocate_large(size);
    ASSERT_NE(block.get(), nullptr) << size;
    const std::size_t usable = size == 0 ? 1 : size;
    for (std::size_t at : {std::size_t{0}, usable / 2, usable - 1})
      EXPECT_EQ(block[at], 0) << size << " at " << at;
    for (std::size_t at : {std::size_t{0}, usable / 2, usable - 1}) {
      block[at] = 'q';
      kept[at] = 'k';
    }
    EXPECT_EQ(block[usable - 1], 'q') << size;
    block.reset();
    EXPECT_EQ(kept[usable - 1], 'k') << size;
  }
}

}  // namespace
}  // namespace qbank
