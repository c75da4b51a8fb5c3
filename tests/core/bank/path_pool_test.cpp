#include "bank/path_pool.h"

#include <gtest/gtest.h>

#include <string>

namespace qbank {
namespace {

TEST(PathPool, InternsStablyThroughGrowthAndClears) {
  path_pool pool;
  EXPECT_EQ(pool.intern("- - -"), empty_path_id);
  std::vector<std::string_view> views;
  for (int k = 0; k < 200000; ++k) {
    const std::string text = "D:\\Library\\Instrument " + std::to_string(k % 100000) + "\\x.wav";
    const path_id id = pool.intern(text);
    if (k < 100000) {
      ASSERT_EQ(id, static_cast<path_id>(k + 1));
      views.push_back(pool.text(id));
    } else {
      ASSERT_EQ(id, static_cast<path_id>(k - 100000 + 1));  // seen before
    }
  }
  EXPECT_EQ(pool.size(), 100001u);
  EXPECT_EQ(views[12345], "D:\\Library\\Instrument 12345\\x.wav");  // views survive growth
  const std::string huge(2 << 20, 'p');
  const path_id big = pool.intern(huge);
  EXPECT_EQ(pool.text(big), huge);
  EXPECT_EQ(pool.intern(""), pool.intern(std::string()));
  pool.clear();
  EXPECT_EQ(pool.size(), 1u);
  EXPECT_EQ(pool.text(empty_path_id), "- - -");
  EXPECT_EQ(pool.intern("again"), 1u);
}

}  // namespace
}  // namespace qbank
