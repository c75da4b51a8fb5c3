#include "bank/param_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "bank/bank.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

TEST(SystemParameterFile, SavesAndReadsBackTheRecordByteForByte) {
  testing::temp_dir dir;
  testing::recording_host h;
  bank b;
  for (int k = 0; k < 2048; ++k) b.globals().bytes[k] = static_cast<std::uint8_t>(k * 13);
  save_system_parameters(b, dir / "a.qsp", h);
  const auto file = read_whole_file(dir / "a.qsp");
  ASSERT_EQ(file.size(), 2048u);
  EXPECT_EQ(std::memcmp(file.data(), b.globals().bytes, 2048), 0);

  bank other;
  read_system_parameters(other, dir / "a.qsp", h);
  EXPECT_EQ(std::memcmp(other.globals().bytes, b.globals().bytes, 2048), 0);
  EXPECT_EQ(h.progress_kinds, (std::vector<char>{'w', 'r'}));
  EXPECT_EQ(h.progress_titles,
            (std::vector<std::string>{"Saving QSP file...", "Reading QSP file..."}));
  EXPECT_FALSE(h.progress_open);
}

TEST(SystemParameterFile, AShortFileChangesOnlyItsBytesAndALongOneOnly2048) {
  testing::temp_dir dir;
  testing::recording_host h;
  bank b;
  const global_parameter before = b.globals();
  testing::write_file(dir / "short.qsp", testing::bytes(100, 0xEE));
  read_system_parameters(b, dir / "short.qsp", h);
  for (int k = 0; k < 100; ++k) ASSERT_EQ(b.globals().bytes[k], 0xEE);
  EXPECT_EQ(std::memcmp(b.globals().bytes + 100, before.bytes + 100, 1948), 0);

  testing::write_file(dir / "long.qsp", testing::bytes(3000, 0x11));
  read_system_parameters(b, dir / "long.qsp", h);
  for (int k = 0; k < 2048; ++k) ASSERT_EQ(b.globals().bytes[k], 0x11);
}

TEST(SystemParameterFile, AMissingFileThrowsAndLeavesTheBank) {
  testing::temp_dir dir;
  testing::recording_host h;
  bank b;
  const global_parameter before = b.globals();
  EXPECT_THROW(read_system_parameters(b, dir / "none.qsp", h), file_error);
  EXPECT_EQ(std::memcmp(b.globals().bytes, before.bytes, 2048), 0);
  EXPECT_FALSE(h.progress_open);
}

}  // namespace
}  // namespace qbank
