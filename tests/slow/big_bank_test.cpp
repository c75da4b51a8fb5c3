#include <gtest/gtest.h>

#include <cstring>

#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/bank_reader.h"
#include "bank/split_file.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

// 128 slots of the longest audio a slot can hold make a bank just past the real part limit.
TEST(BigBank, BuildsPastThePartLimitAndReadsBack) {
  testing::temp_dir dir;
  constexpr std::uint32_t longest = 65535u * 512;
  testing::write_sparse_wav(dir / "mono.wav", 1, longest);
  testing::write_sparse_wav(dir / "stereo.wav", 2, 2 * longest);
  bank b;
  for (int j = 0; j < 128; ++j)
    b.set_file(0, j, path_to_utf8(dir / (j % 2 == 0 ? "mono.wav" : "stereo.wav")));

  testing::recording_host h;
  const fs::path path = dir / "BIG.qbb";
  ASSERT_TRUE(build_bank_file(b, path, h));
  const std::uint64_t audio = 128ull * longest;
  std::uint64_t path_area = (1'280'000ull - 128) * 7;
  for (int j = 0; j < 128; ++j) path_area += b.file(0, j).size() + 2;
  const std::uint64_t expected = 15'362'048 + audio + path_area;
  EXPECT_EQ(fs::file_size(path), default_part_limit);
  EXPECT_EQ(fs::file_size(path) + fs::file_size(split_part_path(path, 1)), expected);
  EXPECT_FALSE(fs::exists(split_part_path(path, 2)));

  bank loaded;
  testing::recording_host rh;
  ASSERT_TRUE(read_bank_file(loaded, path, reader_variant::main, rh));
  EXPECT_EQ(rh.messages, std::vector<std::string>{"[Info] Bank loading OK!"});
  EXPECT_EQ(std::memcmp(loaded.image_bytes(), b.image_bytes(), 15'362'048), 0);
  EXPECT_EQ(loaded.file(0, 127), b.file(0, 127));

  // The slot that straddles the part boundary is silence on both sides of it.
  const slot& last = loaded.multisample(0).slots[127];
  const std::uint64_t at = std::uint64_t{last.first_sector} * 512;
  ASSERT_LT(at, default_part_limit);
  ASSERT_GT(at + longest, default_part_limit);
  MySplitFileReaderClass r(rh);
  ASSERT_TRUE(r.Open(path, true));
  ASSERT_TRUE(r.GoToPosition(at));
  std::vector<std::uint8_t> bytes(longest);
  ASSERT_EQ(r.Read(bytes.data(), bytes.size()), bytes.size());
  for (std::size_t k = 0; k < bytes.size(); k += 2)
    ASSERT_EQ(bytes[k] | bytes[k + 1] << 8, 0x8000) << k;
}

}  // namespace
}  // namespace qbank
