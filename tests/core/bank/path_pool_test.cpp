#include "bank/path_pool.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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
  // A small pool is emptied in place: texts from before the clear are new again.
  EXPECT_EQ(pool.intern("D:\\x.wav"), 2u);
  pool.clear();
  EXPECT_EQ(pool.intern("D:\\y.wav"), 1u);
  EXPECT_EQ(pool.intern("D:\\x.wav"), 2u);
  EXPECT_EQ(pool.intern("again"), 3u);
  EXPECT_EQ(pool.text(2), "D:\\x.wav");
}

TEST(PathPool, TextsOfEveryStoredSizeWidthComeBackWhole) {
  path_pool pool;
  std::vector<std::pair<path_id, std::string>> kept;
  // Lengths around the edges of the one-, two- and three-byte stored sizes, and near the block.
  for (std::size_t n : {1u, 126u, 127u, 128u, 129u, 16383u, 16384u, 16385u, 262143u, 262145u}) {
    std::string text(n, 'a');
    text.back() = static_cast<char>(0x80 | (n & 0x7F));  // code-page bytes above 127 too
    kept.emplace_back(pool.intern(text), text);
  }
  for (const auto& [id, text] : kept) {
    EXPECT_EQ(pool.text(id), text) << text.size();
    EXPECT_EQ(pool.intern(text), id) << text.size();
  }
  // Texts that differ only in their last byte, or only in length, stay apart.
  EXPECT_NE(pool.intern("D:\\Lib\\a.wav"), pool.intern("D:\\Lib\\b.wav"));
  EXPECT_NE(pool.intern(std::string("x\0", 2)), pool.intern("x"));
}

TEST(PathPool, InternAllGivesTheIdsOfInternOneByOne) {
  path_pool batch, single;
  std::vector<std::string> texts;
  for (int k = 0; k < 5000; ++k) texts.push_back("E:\\Set\\" + std::to_string(k % 1500) + ".wav");
  texts[10] = "- - -";
  texts[11] = texts[12] = "new twice in one batch";
  std::vector<std::string_view> views(texts.begin(), texts.end());
  std::vector<path_id> ids(views.size());
  // Batches of a file list's size, the pool growing between and within them.
  for (std::size_t at = 0; at < views.size(); at += 128) {
    const std::size_t n = std::min<std::size_t>(128, views.size() - at);
    batch.intern_all(std::span(views).subspan(at, n), std::span(ids).subspan(at, n));
  }
  for (std::size_t k = 0; k < views.size(); ++k) ASSERT_EQ(ids[k], single.intern(views[k])) << k;
  EXPECT_EQ(ids[10], empty_path_id);
  EXPECT_EQ(ids[11], ids[12]);
  EXPECT_EQ(batch.size(), single.size());
  batch.intern_all({}, {});
  EXPECT_EQ(batch.size(), single.size());
}

// A pool told what is coming sizes its table and entries once; texts beyond the hint, pools
// exchanged mid-fill and cleared pools must behave as if nothing had been set aside.
TEST(PathPool, ReservedPoolsKeepEveryTextThroughSwapsAndClears) {
  path_pool a, b;
  a.reserve(300000, 300000 * 40);
  b.reserve(10, 100);
  std::vector<std::pair<path_id, std::string>> in_a;
  // About 12 MB of text: past the small blocks into the big ones, and past a's hint of ids.
  for (int k = 0; k < 320000; ++k) {
    std::string text = "F:\\Big Library\\Set " + std::to_string(k) + std::string(16, 'x') + ".wav";
    if (k % 1000 == 0) text.append(200, 'y');  // a two-byte stored size now and then
    in_a.emplace_back(a.intern(text), std::move(text));
  }
  const std::string_view early = a.text(in_a[5].first);
  const path_id in_b = b.intern("only in b");
  for (int k = 0; k < 5000; ++k) b.intern("b " + std::to_string(k));  // b outgrows its hint
  a.swap(b);
  EXPECT_EQ(b.size(), 320001u);
  EXPECT_EQ(a.size(), 5002u);
  EXPECT_EQ(early, in_a[5].second);  // views follow their texts into the other pool
  for (const auto& [id, text] : in_a) ASSERT_EQ(b.text(id), text);
  for (const auto& [id, text] : in_a) ASSERT_EQ(b.intern(text), id);
  EXPECT_EQ(a.intern("only in b"), in_b);
  EXPECT_EQ(a.intern(in_a[7].second), 5002u);  // new to a
  b.clear();
  b.reserve(4, 40);
  EXPECT_EQ(b.intern(in_a[9].second), 1u);
  EXPECT_EQ(b.intern("- - -"), empty_path_id);
  EXPECT_EQ(b.size(), 2u);
}

}  // namespace
}  // namespace qbank
